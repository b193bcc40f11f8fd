// The command line: xq [ -h | -v ] [ module | playlist | directory ]...
//
// One module is loaded and played; anything more becomes the playlist,
// played entry after entry from the first (command_arguments.h). With
// --render the modules are written to WAV files instead (render.h);
// --remote sends a command to the xq that runs (remote_client.h); --resume
// starts where the last run ended (resume.h).
#pragma once

#include <cstdio>

#include "1_player/version.h"

// What the first argument asks for. Only its first two characters are
// looked at, so "-help" asks for the usage and "-verbose" for the version;
// "--help" and "--version" are their long forms; anything else, "-x" and
// "--verbose" included, is a module path. "--help" asks for the usage on
// standard output, so that it can be piped into a pager; "-h" for the usage
// on standard error.
enum class ArgumentKind { missing, usage, long_help, version, path };

ArgumentKind classify_argument(const char *argument);

// True when the first argument is --remote: the words after it are a
// request for the running xq.
bool wants_remote(int argc, char *const *argv);

// True when the first argument is --resume.
bool wants_resume(int argc, char *const *argv);

// Writes the version line and the usage text to `stream`.
void print_usage(FILE *stream);

// Writes ":: XQ v0.6 ::" and a line feed to `stream`.
void print_version_line(FILE *stream);

// Fills the playlist from the paths of the command line, relative ones
// taken from `cwd` (collect_arguments). A path that cannot be read, or
// cannot be kept in the playlist, is reported on `errors` and left out.
// Returns the number of entries.
int add_command_line_files(int count, char *const *paths, const char *cwd, FILE *errors);
