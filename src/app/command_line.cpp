#include "app/command_line.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "filesel/directory_path.h"
#include "playlist/playlist_store.h"

ArgumentKind classify_argument(const char *argument) {
    if (!argument) return ArgumentKind::missing;
    // The long forms users type first.
    if (std::strcmp(argument, "--help") == 0) return ArgumentKind::long_help;
    if (std::strcmp(argument, "--version") == 0) return ArgumentKind::version;
    if (argument[0] == '-' && argument[1] == 'h') return ArgumentKind::usage;
    if (argument[0] == '-' && argument[1] == 'v') return ArgumentKind::version;
    return ArgumentKind::path;
}

void print_version_line(FILE *stream) { std::fprintf(stream, ":: XQ v%s ::\n", kVersion); }

void print_usage(FILE *stream) {
    print_version_line(stream);
    std::fputs("Usage: xq [ -h | -v ] module...\n"
               "  -h, --help     help\n"
               "  -v, --version  version\n"
               "  module         .xm, .it, .mod...; two or more play as a playlist\n",
               stream);
}

int add_command_line_files(int count, char *const *paths, const char *cwd, FILE *errors) {
    for (int i = 0; i < count; ++i) {
        const char *given = paths[i];
        if (access(given, R_OK) != 0) {
            std::fprintf(errors, "XQ: Can't open '%s'\n", given);
            continue;
        }
        char path[kPathCapacity];
        const AddResult result = file_path_in(path, cwd, given) == 0 ? playlist_add_path(path) : AddResult::too_long;
        if (result != AddResult::added) std::fprintf(errors, "XQ: Left out '%s': %s\n", given, add_result_message(result));
    }
    return playlist_count;
}
