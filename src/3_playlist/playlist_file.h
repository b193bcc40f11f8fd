// Playlist files: the 15 bytes "XQ PLAYING LIST", a line feed, then one
// "dir/name" line per entry, each ended by a line feed.
#pragma once

#include "1_player/atomic_save.h"

#include <cstddef>
#include <functional>

#include "1_player/settings.h"

// Writes the list to `path` with save_atomically: through a symbolic link
// to its target, never over something that is not a regular file, and so
// that the old file stays whole when any step fails. Leaves the text for
// the user in `message` ("'%s' saved." or the reason). Returns 0 or -1.
int store_playlist(const char *path, char *message, std::size_t message_size);

// What reading a playlist file found besides its entries.
struct PlaylistReading {
    int status;       // 0: read (the list replaced); -1: not read (the list unchanged)
    int skipped;      // lines longer than 255 characters or holding a zero byte, or otherwise refused
    int directories;  // lines ending in "/": a directory, no file
    bool full;        // the list filled up; the reading stopped there
};

// Reads `path` into the list. Leaves the text for the user in `message`:
// the reason when status is -1, a note on skipped lines and entries left
// out, or "" when the whole file was taken.
//
// Only a regular file is read, and opening it never waits (a FIFO, a
// device or a directory is refused with its name in the message). The
// reading stops once the list is full, and at a quit request.
//
// After the magic one byte is skipped, whatever it is. Each line that ends
// in a line feed is split at its last "/" into dir and name; bytes after
// the last line feed are dropped, empty lines are skipped, and a line
// without any "/" names a file in the playlist file's own directory.
// Carriage returns are kept.
PlaylistReading read_playlist(const char *path, char *message, std::size_t message_size);

// store_playlist and read_playlist on `path`, with the outcome in a message
// box: a failure beeps and shows in red, a save in green, a load that left
// lines or entries out in red; a complete load shows nothing. A name ending
// in ".m3u" or ".m3u8" is saved as an M3U playlist, and M3U and PLS files
// are loaded as such (playlist_formats.h). `show_list`, when given, draws
// the list as loaded before any box opens.
void playlist_save(const char *path);
void playlist_load(const char *path, const std::function<void()> &show_list = {});
