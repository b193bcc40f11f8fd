// Reading module files and telling what a load did: the file's bytes, the
// texts of the File row, the reason a load failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "1_player/module_info.h"
#include "1_player/settings.h"

// `path` as it names the file from anywhere: a relative path is taken from
// `cwd`. A result that would not fit in `size` is `path` itself.
void absolute_path(char *out, std::size_t size, const char *path, const char *cwd);

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
// something that is not a regular file. A path through an archive, a
// compressed file and a one-module zip are read unpacked (archive_path.h). Returns 0, or -1 with the reason
// for the user in `message`.
int read_module_file(const char *file_path, std::vector<char> &data, char *message, std::size_t size);

// The file and the reason of the last load that failed.
struct LoadFailure {
    char path[256];
    char reason[256];
};
const LoadFailure &last_load_failure();

// Keeps `path` and `reason` as the last load that failed, and writes the
// text of its box into `message`.
void note_load_failure(const char *path, const char *reason, char *message, std::size_t size);

// The text of a failed load's box: "'name': reason", with the file's name
// alone (no directory), cut to its last 40 characters behind a "~".
void format_load_failure(char *out, std::size_t size, const char *path, const char *reason);
