// Loading a module file into the player: the one place that replaces the
// module being played.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mikmod.h>
#include <vector>

#include "1_player/settings.h"

extern MODULE *module;  // the module being played; set by the first load, never null afterwards
extern bool playing;    // a module is loaded and running; the idle step does nothing while clear
extern char module_path[kPathCapacity];  // the file the module being played came from, made absolute
extern bool stopped;           // the stop command ran; the next play restarts the player
extern int show_real_volume;   // 1: the table shows the real (mixed) volume, 0: the voice volume
extern int mute_all_next;      // 1: the next mute-all mutes, 0: it unmutes
extern int song_position;  // the song position last reached by the position keys; 0 after a load

// `path` as it names the file from anywhere: a relative path is taken from
// `cwd`. A result that would not fit in `size` is `path` itself.
void absolute_path(char *out, std::size_t size, const char *path, const char *cwd);

// The part of `path` after its last "/", or the whole path.
const char *file_name_of(const char *path);

// The text after "File   : ":
// "%s  [ %d smp, %d ins, %lld bytes, %.1f KB ]".
void format_file_info(char *out, std::size_t size, const char *file_name, int samples,
                      int instruments, long long bytes);

// The bracket after the name: "  [ %d smp, %d ins, %lld bytes, %.1f KB ]".
void format_file_sizes(char *out, std::size_t size, int samples, int instruments, long long bytes);

// The largest module file loaded: a module is read into memory whole and
// kept there while it plays.
inline constexpr long long kMaxModuleBytes = 256LL << 20;

// Reads the module file at `file_path` into `data`, without blocking on
// something that is not a regular file. Returns 0, or -1 with the reason
// for the user in `message`.
int read_module_file(const char *file_path, std::vector<char> &data, char *message, std::size_t size);

// What a load reports: whether the new module plays, and when it does not,
// the text for the user, "'name': reason".
struct LoadResult {
    bool loaded = false;
    long long bytes = 0;  // the size of the file loaded
    char message[kPathCapacity] = {};
};

// Loads and starts the module at `file_path`, drawing nothing. On success
// the new module replaces and frees the old one, song_position goes back
// to 0 and module_path names the file; the caller sets playing once the
// screen shows the new module. On failure it keeps
// the file and the reason for last_load_failure; the old module stays, and
// plays on if it was playing.
//
// The file is opened without waiting, and only a regular file is read
// (a FIFO, a device or a directory is "Not a file.").
LoadResult play_module_file(const char *file_path);

// The file and the reason of the last load that failed.
struct LoadFailure {
    char path[256];
    char reason[256];
};
const LoadFailure &last_load_failure();

// The text of a failed load's box: "'name': reason", with the file's name
// alone (no directory), cut to its last 40 characters behind a "~".
void format_load_failure(char *out, std::size_t size, const char *path, const char *reason);
