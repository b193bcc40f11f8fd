// The command line: xq [ -h | -v ] module
#pragma once

#include <cstdio>

inline constexpr const char *kVersion = "0.6";

// What the first argument asks for. Only its first two characters are
// looked at, so "-help" asks for the usage and "-verbose" for the version;
// "--help" and "--version" are their long forms; anything else, "-x" and
// "--verbose" included, is a module path.
enum class ArgumentKind { missing, usage, version, path };

ArgumentKind classify_argument(const char *argument);

// Writes the version line and the usage text to standard error.
void print_usage();

// Writes ":: XQ v0.6 ::" and a line feed to `stream`.
void print_version_line(FILE *stream);
