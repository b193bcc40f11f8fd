#include "4_program/render.h"

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "1_player/atomic_save.h"
#include "1_player/clock.h"
#include "1_player/module_loader.h"
#include "1_player/regular_file.h"
#include "1_player/song_render.h"
#include "3_playlist/playlist_store.h"
#include "4_program/command_arguments.h"
#include "4_program/command_line.h"
#include "4_program/shutdown.h"

namespace {

constexpr int kUsageFailure = -1;
constexpr int kRenderFailure = 1;
constexpr int kInterrupted = 130;
constexpr int kBarWidth = 30;

const char *name_of(const char *path) {
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

bool ends_in_wav(const char *text) {
    const std::size_t length = std::strlen(text);
    return length >= 4 && strcasecmp(text + length - 4, ".wav") == 0;
}

int positive_number(const char *text, long low, long high, long &value) {
    if (!text || !*text) return -1;
    char *end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high) return -1;
    return 0;
}

struct Outcome {
    int status;             // 0, kRenderFailure or kInterrupted
    std::uint32_t song_ms;  // song time rendered
    int songs = 0;          // songs the module holds
};

class Progress {
public:
    explicit Progress(const char *name) : name_(name), terminal_(isatty(STDERR_FILENO) != 0) {}

    void show(int percent, std::uint32_t song_ms) {
        if (!terminal_) return;
        const std::int64_t now = monotonic_ms();
        if (percent == shown_percent_ && now - shown_at_ < 100) return;
        shown_percent_ = percent;
        shown_at_ = now;
        char line[kPathCapacity];
        format_progress(line, sizeof line, name_, percent, song_ms, kBarWidth);
        std::fprintf(stderr, "\r%s\033[K", line);
        std::fflush(stderr);
    }

    void end(const char *output, std::uint32_t song_ms, bool written) {
        if (terminal_) {
            show(written ? 100 : shown_percent_, song_ms);
            std::fputc('\n', stderr);
        } else if (written) {
            std::fprintf(stderr, "%s: %02u:%02u -> %s\n", name_, song_ms / 60000, song_ms / 1000 % 60, output);
        }
    }

private:
    const char *name_;
    bool terminal_;
    int shown_percent_ = -1;
    std::int64_t shown_at_ = 0;
};

void show_progress(void *progress, int percent, std::uint32_t song_ms) {
    static_cast<Progress *>(progress)->show(percent, song_ms);
}

// Renders the module at `module_path` into `temporary` through the disk
// writer. The reason of a failure is written to standard error.
Outcome render_into(const char *module_path, const char *temporary, const char *output, const RenderOptions &options,
                    int subsong, int &songs) {
    Progress progress(name_of(module_path));
    const RenderOutcome done = render_song(module_path, temporary, output, options.loops, options.rate,
                                           fade_module != 0, show_progress, &progress, stderr, subsong);
    songs = done.songs;
    switch (done.status) {
    case RenderStatus::interrupted: progress.end(output, done.song_ms, false); return {kInterrupted, done.song_ms};
    case RenderStatus::failed:
        if (done.write_error == 0) return {kRenderFailure, 0};
        progress.end(output, done.song_ms, false);
        std::fprintf(stderr, "XQ: Can't write '%s': %s.\n", output, std::strerror(done.write_error));
        return {kRenderFailure, done.song_ms};
    case RenderStatus::written: break;
    }
    progress.end(output, done.song_ms, true);
    return {0, done.song_ms};
}

// Renders one module to `output` through a temporary file beside the file
// it names, which becomes that file only once it is whole. As every save,
// it writes through a symbolic link into its target and refuses to replace
// anything but a regular file.
int render_one(const char *module_path, const char *output, const RenderOptions &options, int subsong, int &songs) {
    char target[kPathCapacity];
    int failure = 0;
    if (save_target(output, target, sizeof target, failure) != 0) {
        std::fprintf(stderr, "XQ: Can't write '%s': %s.\n", output, file_failure_text(failure));
        return kRenderFailure;
    }
    char temporary[kPathCapacity];
    const int n = std::snprintf(temporary, sizeof temporary, "%s.XXXXXX", target);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof temporary) {
        std::fprintf(stderr, "XQ: Can't write '%s': the path is longer than %zu characters.\n", output,
                     kPathCapacity - 8);
        return kRenderFailure;
    }
    // The disk writer takes its file name from a parameter string in which a
    // comma ends the name.
    if (std::strchr(temporary, ',')) {
        std::fprintf(stderr, "XQ: Can't write '%s': the sound library takes no ',' in the name.\n", output);
        return kRenderFailure;
    }
    struct stat module_info;
    struct stat output_info;
    if (stat(module_path, &module_info) == 0 && stat(target, &output_info) == 0 &&
        module_info.st_dev == output_info.st_dev && module_info.st_ino == output_info.st_ino) {
        std::fprintf(stderr, "XQ: Can't write '%s': it is the module itself.\n", output);
        return kRenderFailure;
    }
    const int fd = mkstemp(temporary);
    if (fd < 0) {
        std::fprintf(stderr, "XQ: Can't write '%s': %s.\n", output, std::strerror(errno));
        return kRenderFailure;
    }
    close(fd);
    const Outcome outcome = render_into(module_path, temporary, output, options, subsong, songs);
    if (outcome.status != 0) {
        unlink(temporary);
        if (outcome.status == kInterrupted) std::fprintf(stderr, "XQ: Stopped; '%s' was not written.\n", output);
        return outcome.status;
    }
    struct stat old;
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temporary, stat(target, &old) == 0 ? (old.st_mode & 07777) : (0666 & ~mask));
    if (std::rename(temporary, target) != 0) {
        const int error = errno;
        unlink(temporary);
        std::fprintf(stderr, "XQ: Can't write '%s': %s.\n", output, std::strerror(error));
        return kRenderFailure;
    }
    return 0;
}

// The files written by this run, so that two modules of the same name
// (from different folders) do not end in one file.
// The files written by this run, render_main's own.
char written[kPlaylistCapacity][kPathCapacity];
int written_count = 0;

bool was_written(const char *path) {
    for (int i = 0; i < written_count; ++i)
        if (std::strcmp(written[i], path) == 0) return true;
    return false;
}

// Makes `out` a name not yet written by this run: "NAME-2.wav", "NAME-3.wav"...
// for a name met again. Returns 0, or -1 when no such name fits.
int unique_output(char (&out)[kPathCapacity]) {
    if (!was_written(out)) return 0;
    const int stem = static_cast<int>(std::strlen(out)) - (ends_in_wav(out) ? 4 : 0);
    for (int n = 2; n <= kPlaylistCapacity + 1; ++n) {
        char candidate[kPathCapacity];
        const int length = std::snprintf(candidate, sizeof candidate, "%.*s-%d.wav", stem, out, n);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof candidate) return -1;
        if (!was_written(candidate)) {
            std::memcpy(out, candidate, sizeof out);
            return 0;
        }
    }
    return -1;
}

}  // namespace

bool wants_render(int argc, char *const *argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false;
        // --loops and --rate alone are mistakes the render options report.
        for (const char *option : {"--render", "-o", "--loops", "--rate"})
            if (std::strcmp(argv[i], option) == 0) return true;
    }
    return false;
}

int parse_render_options(int argc, char **argv, RenderOptions &options, char *message, std::size_t message_size) {
    options = RenderOptions{};
    options.first_path = 1;
    int kept = 1;
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (!options_end && std::strcmp(argument, "--") == 0) {
            options_end = true;
            continue;
        }
        const bool render = std::strcmp(argument, "--render") == 0 || std::strcmp(argument, "-o") == 0;
        const bool loops = std::strcmp(argument, "--loops") == 0;
        const bool rate = std::strcmp(argument, "--rate") == 0;
        if (options_end || !(render || loops || rate)) {
            argv[kept++] = argv[i];
            continue;
        }
        const char *value = i + 1 < argc ? argv[++i] : nullptr;
        long number = 0;
        if (render) {
            if (!value || !*value) {
                std::snprintf(message, message_size, "%s needs the name of the WAV file or directory", argument);
                return -1;
            }
            options.output = value;
        } else if (loops) {
            if (positive_number(value, 1, kMaxLoops, number) != 0) {
                std::snprintf(message, message_size, "--loops takes a number of times from 1 to %d", kMaxLoops);
                return -1;
            }
            options.loops = static_cast<int>(number);
        } else {
            if (positive_number(value, kMinRate, kMaxRate, number) != 0) {
                std::snprintf(message, message_size, "--rate takes a mixing frequency from %u to %u Hz", kMinRate,
                              kMaxRate);
                return -1;
            }
            options.rate = static_cast<unsigned>(number);
        }
    }
    options.path_count = kept - 1;
    if (!options.output) {
        std::snprintf(message, message_size, "--loops and --rate go with --render");
        return -1;
    }
    if (options.path_count == 0) {
        std::snprintf(message, message_size, "--render needs at least one module");
        return -1;
    }
    return 0;
}

int render_output_path(char (&out)[kPathCapacity], const char *output, bool output_is_directory, bool several,
                       const char *module_path) {
    char name[kPathCapacity];
    std::snprintf(name, sizeof name, "%s", name_of(module_path));
    char *dot = std::strrchr(name, '.');
    static const char *const kCompressions[] = {".gz", ".bz2", ".xz", ".lzma", ".zst", ".z"};
    for (const char *ending : kCompressions) {
        if (dot && dot != name && strcasecmp(dot, ending) == 0) {
            *dot = '\0';
            dot = std::strrchr(name, '.');
            break;
        }
    }
    if (dot && dot != name) *dot = '\0';
    int n;
    if (output_is_directory) {
        const std::size_t length = std::strlen(output);
        const bool slash = length > 0 && output[length - 1] == '/';
        n = std::snprintf(out, sizeof out, "%s%s%s.wav", output, slash ? "" : "/", name);
    } else if (!several) {
        n = std::snprintf(out, sizeof out, "%s", output);
    } else {
        const int stem = static_cast<int>(std::strlen(output)) - (ends_in_wav(output) ? 4 : 0);
        n = std::snprintf(out, sizeof out, "%.*s-%s.wav", stem, output, name);
    }
    return n < 0 || static_cast<std::size_t>(n) >= sizeof out ? -1 : 0;
}

void format_progress(char *out, std::size_t size, const char *name, int percent, std::uint32_t song_ms, int bar_width) {
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    char bar[128];
    if (bar_width > static_cast<int>(sizeof bar) - 1) bar_width = static_cast<int>(sizeof bar) - 1;
    const int filled = percent * bar_width / 100;
    for (int i = 0; i < bar_width; ++i) bar[i] = i < filled ? '#' : '.';
    bar[bar_width] = '\0';
    std::snprintf(out, size, "%.40s  [%s] %3d%%  %02u:%02u", name, bar, percent, song_ms / 60000, song_ms / 1000 % 60);
}

int song_output_path(char (&out)[kPathCapacity], const char *output, int number) {
    const int stem = static_cast<int>(std::strlen(output)) - (ends_in_wav(output) ? 4 : 0);
    const int n = std::snprintf(out, sizeof out, "%.*s-%d.wav", stem, output, number);
    return n < 0 || static_cast<std::size_t>(n) >= sizeof out ? -1 : 0;
}

int render_main(int argc, char **argv, int subsong, bool all_songs) {
    RenderOptions options;
    char message[kPathCapacity];
    if (parse_render_options(argc, argv, options, message, sizeof message) != 0) {
        print_version_line(stderr);
        std::fprintf(stderr, "XQ: %s.\n", message);
        return kUsageFailure;
    }
    std::setlocale(LC_ALL, "");
    char cwd[kPathCapacity];
    if (!getcwd(cwd, sizeof cwd)) std::snprintf(cwd, sizeof cwd, ".");
    if (add_command_line_files(options.path_count, argv + options.first_path, cwd, stderr) == 0) return kUsageFailure;

    struct stat target;
    const bool directory = stat(options.output, &target) == 0 && S_ISDIR(target.st_mode);
    // The output settings of the options file apply; the configuration
    // directory is not created for a render.
    if (build_config_dir_path() == 0 && access(config_dir_path, R_OK) == 0) read_options();
    install_quit_handlers();
    register_render_library();

    int status = 0;
    for (int k = 0; k < playlist_count && status != kInterrupted; ++k) {
        char output[kPathCapacity];
        if (render_output_path(output, options.output, directory, playlist_count > 1, playlist[k].path) != 0 ||
            unique_output(output) != 0) {
            std::fprintf(stderr, "XQ: Can't write the WAV file of '%s': the path is longer than %zu characters.\n",
                         playlist[k].path, kPathCapacity - 1);
            status = kRenderFailure;
            continue;
        }
        std::memcpy(written[written_count++], output, sizeof output);
        if (!all_songs) {
            int songs = 0;
            const int result = render_one(playlist[k].path, output, options, subsong, songs);
            if (result != 0) status = result;
            continue;
        }
        // Song by song: the first render tells how many there are.
        int songs = 1;
        for (int song = 0; song < songs && status != kInterrupted; ++song) {
            char song_output[kPathCapacity];
            if (song_output_path(song_output, output, song + 1) != 0) {
                std::fprintf(stderr, "XQ: Can't write the WAV file of '%s': the path is longer than %zu characters.\n",
                             playlist[k].path, kPathCapacity - 1);
                status = kRenderFailure;
                break;
            }
            int found = 0;
            const int result = render_one(playlist[k].path, song_output, options, song, found);
            if (result != 0) {
                status = result;
                break;
            }
            if (song == 0) songs = found > 0 ? found : 1;
        }
    }
    return status;
}
