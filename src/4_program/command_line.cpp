#include "4_program/command_line.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "4_program/command_arguments.h"

ArgumentKind classify_argument(const char *argument) {
    if (!argument) return ArgumentKind::missing;
    // The long forms users type first.
    if (std::strcmp(argument, "--help") == 0) return ArgumentKind::long_help;
    if (std::strcmp(argument, "--version") == 0) return ArgumentKind::version;
    if (argument[0] == '-' && argument[1] == 'h') return ArgumentKind::usage;
    if (argument[0] == '-' && argument[1] == 'v') return ArgumentKind::version;
    return ArgumentKind::path;
}

bool wants_remote(int argc, char *const *argv) { return argc > 1 && std::strcmp(argv[1], "--remote") == 0; }

bool wants_resume(int argc, char *const *argv) { return argc > 1 && std::strcmp(argv[1], "--resume") == 0; }

void print_version_line(FILE *stream) { std::fprintf(stream, ":: XQ v%s ::\n", kVersion); }

void print_usage(FILE *stream) {
    print_version_line(stream);
    std::fputs("Usage: xq [ -h | -v ] [ module | playlist | directory ]...\n"
               "       xq --render OUT.wav [ --loops N ] [ module | playlist | directory ]...\n"
               "       xq --resume\n"
               "       xq --remote COMMAND [ ARG ]\n"
               "  -h, --help          help\n"
               "  -v, --version       version\n"
               "  module              .xm, .it, .mod...; one alone plays by itself\n"
               "  playlist            .pli, .m3u, .m3u8, .pls: its entries join the playlist\n"
               "  directory           the module files below it, sorted by name\n"
               "  -o, --render OUT    write each module to a WAV file instead of playing it:\n"
               "                      OUT itself for one module, OUT-NAME.wav for several,\n"
               "                      or NAME.wav inside OUT when OUT is a directory\n"
               "  --loops N           with --render: play each song N times (default 1)\n"
               "  --rate HZ           with --render: mixing frequency (default 44100)\n"
               "  --resume            play what played when xq last ended, from where it was\n"
               "  --remote COMMAND    tell the running xq: play, pause, toggle, stop, next, prev,\n"
               "                      forward, back, volume +N|-N|N, quit, or status\n",
               stream);
}

int add_command_line_files(int count, char *const *paths, const char *cwd, FILE *errors) {
    return collect_arguments(count, paths, cwd, errors).entries;
}
