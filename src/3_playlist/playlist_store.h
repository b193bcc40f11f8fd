// The playlist in memory: up to kPlaylistCapacity entries in play order,
// each owning its directory, name and full path.
#pragma once

#include "1_player/settings.h"

inline constexpr int kPlaylistCapacity = 4096;

struct PlaylistEntry {
    char dir[kPathCapacity];   // the directory of the module file ("" for a file in "/")
    char name[kPathCapacity];  // the file name within that directory
    char path[kPathCapacity];  // dir + "/" + name: what playback loads
};

// The playlist, owned by the functions below (the main path's): the
// panel, the playlist files, playback, the remote control and the resume
// file read it.
extern PlaylistEntry playlist[kPlaylistCapacity];  // entries 0 to playlist_count - 1 are in use
extern int playlist_count;                         // entries in use, 0 to kPlaylistCapacity

// The 15 bytes a playlist file of our own begins with, "XQ PLAYING LIST",
// without a terminator.
inline constexpr char playlist_magic[15] = {'X', 'Q', ' ', 'P', 'L', 'A', 'Y', 'I', 'N', 'G', ' ', 'L', 'I', 'S', 'T'};

// Why an entry was not added.
enum class AddResult {
    added,
    full,       // the list already holds kPlaylistCapacity entries
    too_long,   // dir + "/" + name would exceed 255 characters
    line_feed,  // a line feed cannot be stored in a playlist file's lines
    empty,      // no name
};

// Adds dir + "/" + name at the end of the list. A directory of "/" is kept
// as "", so the path is "/name" and reads back the same from a file.
// Nothing is added unless the result is AddResult::added. Neither the
// file's existence nor duplicates are checked.
AddResult playlist_add_file(const char *dir, const char *name);

// Adds a full path, split at its last "/" as a playlist file's lines are:
// "/m/a.mod" gives "/m" and "a.mod". A path without any "/", or ending in
// "/", has no name: AddResult::empty.
AddResult playlist_add_path(const char *path);

// What playlist_add_dir did.
struct AddDirResult {
    int added;      // regular files added
    int left_out;   // regular files that found the list full, and entries the listing could not hold
    int refused;    // regular files whose path is too long or whose name holds a line feed
};

// Adds every regular file of a directory's listing, `names[0..count)`
// (relative to the working directory, which the file selector leaves on
// the listed directory), in listing order, with `dir` as their directory;
// links to regular files count as regular files, and packs (named like
// one) are left out. `left_out` entries that the listing itself could not
// hold are counted as left out. Inside a pack the names are no files of
// the working directory: `is_file` then says which are members to add
// (nullptr: look each name up). The sound plays on meanwhile, on its own
// thread.
AddDirResult playlist_add_dir(const char *dir, const char (*names)[kPathCapacity], int count, int left_out,
                              const bool *is_file = nullptr);

// Removes entry `index`; later entries move down one slot.
void playlist_remove(int index);

// Swaps entry `index` with the one before (after); nothing at the list's
// first (last) entry or outside the list.
void playlist_move_up(int index);
void playlist_move_down(int index);

// Empties the list.
void playlist_clear();

// The message for an add that was refused ("" for AddResult::added).
const char *add_result_message(AddResult result);
