// Opening a file the user named without ever waiting on it: a FIFO without
// a writer, a device or a directory is refused at once instead of being read.
#pragma once

#include <cstdio>

// The failure code of a path that names something other than a regular
// file (beside the errno values).
inline constexpr int kNotRegularFile = -1;

// Opens `path` for reading, without blocking and without making it the
// controlling terminal, and keeps it only when it is a regular file (a
// symbolic link to one counts). Returns the stream, or nullptr with
// `failure` set to the errno value or kNotRegularFile.
std::FILE *open_regular_file(const char *path, int &failure);

// The reason for a failure code, for a message: strerror's text, or "not a
// regular file".
const char *file_failure_text(int failure);
