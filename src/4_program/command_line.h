// The command line: xq [ -h | -v ] [ module | playlist | directory ]...
//
// One module is loaded and played; anything more becomes the playlist,
// played entry after entry from the first (command_arguments.h). With
// --render the modules are written to WAV files instead (render.h);
// --remote sends a command to the xq that runs (remote_client.h); --resume
// starts where the last run ended (resume.h); --colors NAME picks the colour
// scheme for the run.
#pragma once

#include <cstdio>

#include "1_player/color_scheme.h"
#include "1_player/version.h"

// What one argument is. "--help" and "--version" are the long forms of
// -h and -v; any argument that begins with "-h" asks for the usage as -h
// does, and any that begins with "-v" for the version, so "-help" and
// "-verbose" keep working. "--help" asks for the usage on standard output,
// so that it can be piped into a pager; "-h" for the usage on standard
// error. "--" ends the options; "-" alone and "" are paths; any other
// argument that begins with "-" is an unknown option (a file of such a
// name is "./-name", or follows a "--").
enum class ArgumentKind {
    missing,          // no argument at all
    usage,            // -h, -help, -hx...
    long_help,        // --help
    version,          // -v, -verbose, --version
    path,             // a module, playlist or directory
    options_end,      // --
    render_option,    // --render, -o, --loops, --rate: the argument after it is its value
    resume,           // --resume
    remote,           // --remote: the words after it are a request for the running xq
    colors_option,    // --colors, --subsong: the argument after it names a colour scheme, a song
    unknown,          // any other argument that begins with "-"
};

ArgumentKind classify_argument(const char *argument);

// The argument of argv[1..argc) that settles the run before any module is
// played or rendered: the first, up to a "--", that asks for the usage or
// the version, that is an unknown option, or that is --resume or --remote
// anywhere but first (both take the whole command line). The values of
// the render options and of --colors are skipped. Returns its kind with its index in `at`;
// ArgumentKind::missing without any argument, ArgumentKind::path when no
// argument settles the run (`at` is then 0).
ArgumentKind settling_argument(int argc, char *const *argv, int &at);

// What the command line asks of the colours.
struct ColorsOption {
    bool given = false;           // a --colors came with a scheme's name
    ColorScheme scheme = ColorScheme::dark;
    const char *bad = nullptr;    // the name that is no scheme, "" for a --colors without one
};

// Takes every "--colors NAME" before a "--" out of argv[1..argc), moving
// the arguments after it down, and returns the number of arguments left
// (argc counts argv[0]). The last NAME counts; one that names no scheme,
// or a --colors at the end, is left in `option.bad`.
int take_colors_option(int argc, char **argv, ColorsOption &option);

// "--subsong N" (counted from 1, as the time box shows it) or "--subsong
// all": the song of a module that holds several to play, or to render.
struct SubsongOption {
    bool given = false;
    bool all = false;
    int number = 0;             // 1 to kMostSubsongOption
    const char *bad = nullptr;  // what is neither, "" for a --subsong without anything after it
};
inline constexpr int kMostSubsongOption = 256;

// Takes every "--subsong X" before a "--" out of argv[1..argc) as
// take_colors_option takes --colors; returns the number left.
int take_subsong_option(int argc, char **argv, SubsongOption &option);

// Takes the first "--" out of argv[1..argc), moving the arguments after it
// down one place, and returns the number of arguments left after argv[0].
// For a command line that holds no option but "--": what is left are
// paths.
int paths_without_options_end(int argc, char **argv);

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
