#include "4_program/command_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "4_program/command_arguments.h"

ArgumentKind classify_argument(const char *argument) {
    if (!argument) return ArgumentKind::missing;
    if (argument[0] != '-' || argument[1] == '\0') return ArgumentKind::path;
    const struct {
        const char *name;
        ArgumentKind kind;
    } options[] = {
        {"--help", ArgumentKind::long_help},      {"--version", ArgumentKind::version},
        {"--", ArgumentKind::options_end},        {"--render", ArgumentKind::render_option},
        {"-o", ArgumentKind::render_option},      {"--loops", ArgumentKind::render_option},
        {"--rate", ArgumentKind::render_option},  {"--resume", ArgumentKind::resume},
        {"--remote", ArgumentKind::remote},       {"--colors", ArgumentKind::colors_option},
        {"--subsong", ArgumentKind::colors_option},
    };
    for (const auto &option : options)
        if (std::strcmp(argument, option.name) == 0) return option.kind;
    if (argument[1] == 'h') return ArgumentKind::usage;
    if (argument[1] == 'v') return ArgumentKind::version;
    return ArgumentKind::unknown;
}

ArgumentKind settling_argument(int argc, char *const *argv, int &at) {
    at = 0;
    if (argc < 2) return ArgumentKind::missing;
    for (int i = 1; i < argc; ++i) {
        const ArgumentKind kind = classify_argument(argv[i]);
        switch (kind) {
        case ArgumentKind::options_end: return ArgumentKind::path;
        case ArgumentKind::render_option:
        case ArgumentKind::colors_option: ++i; break;
        case ArgumentKind::path:
        case ArgumentKind::missing: break;
        case ArgumentKind::resume:
        case ArgumentKind::remote:
            if (i == 1) break;
            [[fallthrough]];
        case ArgumentKind::usage:
        case ArgumentKind::long_help:
        case ArgumentKind::version:
        case ArgumentKind::unknown: at = i; return kind;
        }
    }
    return ArgumentKind::path;
}

namespace {

// Takes argv[at..at+count) out of argv[0..argc), moving the arguments after
// them down; returns the number left.
int drop_arguments(int argc, char **argv, int at, int count) {
    for (int j = at; j + count < argc; ++j) argv[j] = argv[j + count];
    return argc - count;
}

}  // namespace

int take_colors_option(int argc, char **argv, ColorsOption &option) {
    int i = 1;
    while (i < argc) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--colors") != 0) {
            ++i;
            continue;
        }
        const int taken = i + 1 < argc ? 2 : 1;
        if (taken == 1) {
            option.bad = "";
        } else if (parse_color_scheme(argv[i + 1], option.scheme)) {
            option.given = true;
        } else {
            option.bad = argv[i + 1];
        }
        argc = drop_arguments(argc, argv, i, taken);
    }
    return argc;
}

int take_subsong_option(int argc, char **argv, SubsongOption &option) {
    int i = 1;
    while (i < argc) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--subsong") != 0) {
            ++i;
            continue;
        }
        const int taken = i + 1 < argc ? 2 : 1;
        option = SubsongOption{};
        if (taken == 1) {
            option.bad = "";
        } else if (std::strcmp(argv[i + 1], "all") == 0) {
            option.given = option.all = true;
        } else {
            char *end = nullptr;
            errno = 0;
            const long n = std::strtol(argv[i + 1], &end, 10);
            if (errno == 0 && end != argv[i + 1] && *end == '\0' && n >= 1 && n <= kMostSubsongOption) {
                option.given = true;
                option.number = static_cast<int>(n);
            } else {
                option.bad = argv[i + 1];
            }
        }
        argc = drop_arguments(argc, argv, i, taken);
    }
    return argc;
}

int paths_without_options_end(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return drop_arguments(argc, argv, i, 1) - 1;
    }
    return argc - 1;
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
               "       xq --lengths module...\n"
               "  -h, --help          help\n"
               "  -v, --version       version\n"
               "  module              .xm, .it, .mod...; one alone plays by itself\n"
               "  playlist            .pli, .m3u, .m3u8, .pls: its entries join the playlist\n"
               "  directory           the module files below it, sorted by name\n"
               "  pack                .zip, .7z, .tar.gz, .lha...: the modules inside it;\n"
               "                      pack.zip/song.xm plays one of them\n"
               "  -o, --render OUT    write each module to a WAV file instead of playing it:\n"
               "                      OUT itself for one module, OUT-NAME.wav for several,\n"
               "                      or NAME.wav inside OUT when OUT is a directory\n"
               "  --loops N           with --render: play each song N times (default 1)\n"
               "  --rate HZ           with --render: mixing frequency (default 44100)\n"
               "  --resume            play what played when xq last ended, from where it was\n"
               "  --subsong N         play (or with --render write) song N of a module that holds\n"
               "                      several; with --render, all writes each to its own file\n"
               "  --remote COMMAND    tell the running xq: play, pause, toggle, stop, next, prev,\n"
               "                      forward, back, volume +N|-N|N, seek +N|-N|M:SS, quit,\n"
               "                      or status\n"
               "  --lengths           print the length of each song of each module, in ms\n"
               "  --colors NAME       colours for this run: dark (the default), light for a light\n"
               "                      terminal, or terminal for the terminal's own colours\n",
               stream);
}

int add_command_line_files(int count, char *const *paths, const char *cwd, FILE *errors) {
    return collect_arguments(count, paths, cwd, errors).entries;
}
