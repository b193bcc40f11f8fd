// The playlist formats besides our own: M3U (and its UTF-8 form M3U8) and
// PLS. Recognising which kind a file is, reading the entries of any of the
// three kinds, and writing an M3U playlist.
#pragma once

#include <cstddef>

#include "1_player/settings.h"
#include "3_playlist/playlist_store.h"

enum class PlaylistKind {
    none,  // not a playlist: a module, or anything else
    xq,    // "XQ PLAYING LIST" and one "dir/name" line per entry
    m3u,   // one path per line, "#" lines are comments
    pls,   // "[playlist]" and "FileN=path" lines
};

// The kind of a file from its first bytes (`head`, `length` of them) and
// its name. The content decides first: the magic, an "#EXTM3U" first line,
// a "[playlist]" first line (a UTF-8 byte-order mark and leading blanks
// allowed, case ignored); then the name: ".m3u" or ".m3u8", ".pls" (case
// ignored).
PlaylistKind recognise_playlist(const char *head, std::size_t length, const char *name);

// recognise_playlist on the first bytes of the regular file at `path`;
// none for anything that cannot be opened or is not a regular file.
PlaylistKind playlist_kind(const char *path);

// True when `path` ends in ".m3u" or ".m3u8" (case ignored): the name
// asks for an M3U playlist when the list is saved.
bool names_m3u(const char *path);

// Receives each entry of a playlist in order: its full path, plain and
// absolute when the playlist's own path was. Returns how the entry fared.
using EntrySink = AddResult (*)(const char *path, void *context);

// What reading a playlist's entries found.
struct EntryReading {
    int status;    // 0: read; -1: could not be opened (no entry was handed on)
    int taken;     // entries the sink added
    int skipped;   // lines too long or not text, entries the sink refused
    int left_out;  // entries the sink found no room for (AddResult::full)
};

// Reads the entries of the playlist at `path` of kind `kind` (not none),
// in order, and hands each to `sink`. Relative entries are taken from the
// playlist's own folder; ".", ".." and doubled "/" are resolved in the
// text. M3U: blank lines and "#" lines are skipped, a "file://" URL is
// taken as its path, other URLs are skipped. PLS: the "FileN=" entries in
// the order of N (at most kPlaylistCapacity of them are kept). XQ: the
// lines after the magic line; a line without any "/" names a file in the
// playlist's folder. Carriage returns at line ends are dropped.
EntryReading read_playlist_entries(const char *path, PlaylistKind kind, EntrySink sink, void *context);

// Replaces the list with the entries of the M3U or PLS playlist at `path`.
// Returns false, touching nothing, when the file is not one of those two
// kinds (the caller reads it as our own format). Otherwise leaves the text
// for the user in `message` ("" when every entry was taken) and `result`.
bool load_foreign_playlist(const char *path, char *message, std::size_t message_size, int &result);

// Writes the list to `path` as an M3U playlist: "#EXTM3U", then one
// absolute path per line. Goes through a temporary file renamed over the
// old one, so the old file stays whole when anything fails. Leaves the
// text for the user in `message` ("'%s' saved." or the reason). Returns 0
// or -1.
int store_m3u_playlist(const char *path, char *message, std::size_t message_size);
