#include "app/command_line.h"

#include <cstdio>
#include <cstring>

ArgumentKind classify_argument(const char *argument) {
    if (!argument) return ArgumentKind::missing;
    // The long forms users type first.
    if (std::strcmp(argument, "--help") == 0) return ArgumentKind::usage;
    if (std::strcmp(argument, "--version") == 0) return ArgumentKind::version;
    if (argument[0] == '-' && argument[1] == 'h') return ArgumentKind::usage;
    if (argument[0] == '-' && argument[1] == 'v') return ArgumentKind::version;
    return ArgumentKind::path;
}

void print_version_line(FILE *stream) { std::fprintf(stream, ":: XQ v%s ::\n", kVersion); }

void print_usage() {
    print_version_line(stderr);
    std::fputs("Usage: xq [ -h | -v ]... [ module | playlist ]...\n"
               "  -h           help\n"
               "  -v           version\n"
               "  module       .xm, .it, .mod...\n"
               "  playlist     .pli\n",
               stderr);
}
