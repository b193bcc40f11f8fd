#include "4_program/render.h"

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mikmod.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "1_player/clock.h"
#include "1_player/module_loader.h"
#include "3_playlist/playlist_store.h"
#include "4_program/command_arguments.h"
#include "4_program/command_line.h"
#include "4_program/shutdown.h"

namespace {

constexpr int kUsageFailure = -1;
constexpr int kRenderFailure = 1;
constexpr int kInterrupted = 130;
constexpr std::uint32_t kWavHeaderBytes = 44;
// The disk writer mixes this many bytes at each update.
constexpr std::uint64_t kWriterBufferBytes = 32768;
// A RIFF file counts its bytes in 32 bits; the render stops short of that.
constexpr std::uint64_t kMaxDataBytes = 0xF0000000ULL;
constexpr int kBarWidth = 30;

// The song being rendered, as the player hook sees it.
struct Pass {
    MODULE *module = nullptr;
    int loops = 1;
    int passes_done = 0;
    int fade = 0;              // fade out during the last pass
    std::uint64_t frames = 0;  // frames mixed before the current tick
    std::uint64_t end_frame = 0;
    bool finished = false;
};
Pass pass;
MikMod_player_t library_player = nullptr;

// Starts the song again from its first row, as loading it would.
void restart_song(MODULE *m) {
    m->sngpos = 0;
    m->patpos = 0;
    m->patbrk = 0;
    m->posjmp = 2;
    m->pat_repcrazy = 0;
    m->patdly = 0;
    m->patdly2 = 0;
    m->sngspd = m->initspeed != 0 ? (m->initspeed < 32 ? m->initspeed : 32) : 6;
    m->vbtick = m->sngspd;
    m->bpm = m->inittempo < 32 ? 32 : m->inittempo;
    m->volume = m->initvolume > 128 ? 128 : m->initvolume;
}

// The tempo the mixer times the next tick with, as the player hands it on
// at the end of each tick.
unsigned mixer_bpm(const MODULE &m) {
    int bpm = m.bpm + m.relspd;
    if (bpm < 32) bpm = 32;
    if (!(m.flags & UF_HIGHBPM) && bpm > 255) bpm = 255;
    return static_cast<unsigned>(bpm);
}

// Runs in place of the library's player at every tick of the mixer: plays
// the tick, and notes where in the output the song passed its end. A song
// that ends with passes to go starts again within the same tick, so the
// passes follow each other without a gap.
void render_tick() {
    MODULE *m = pass.module;
    if (pass.finished || !m || !library_player) return;
    library_player();
    if (m->sngpos >= m->numpos) {
        ++pass.passes_done;
        if (pass.passes_done >= pass.loops) {
            pass.finished = true;
            pass.end_frame = pass.frames;
            return;
        }
        restart_song(m);
        m->fadeout = pass.passes_done == pass.loops - 1 ? pass.fade : 0;
        library_player();
    }
    pass.frames += tick_frames(md_mixfreq, mixer_bpm(*m));
}

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

std::uint32_t frame_bytes() {
    return ((md_mode & DMODE_16BITS) ? 2u : 1u) * ((md_mode & DMODE_STEREO) ? 2u : 1u);
}

void put_le32(unsigned char *at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

struct Outcome {
    int status;             // 0, kRenderFailure or kInterrupted
    std::uint32_t song_ms;  // song time rendered
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

int song_percent(const MODULE &m) {
    if (m.numpos == 0 || pass.loops == 0) return 100;
    const long done = static_cast<long>(pass.passes_done) * m.numpos + (m.sngpos < m.numpos ? m.sngpos : m.numpos);
    const long whole = static_cast<long>(pass.loops) * m.numpos;
    return static_cast<int>(done * 100 / whole);
}

std::uint32_t song_ms_of(const MODULE &m) { return static_cast<std::uint32_t>(m.sngtime * 1000ULL / 1024); }

// Renders the module at `module_path` into `temporary` through the disk
// writer. The reason of a failure is written to standard error.
Outcome render_into(const char *module_path, const char *temporary, const char *output, const RenderOptions &options) {
    char parameters[kPathCapacity + 8];
    std::snprintf(parameters, sizeof parameters, "file=%s", temporary);
    md_mode = static_cast<UWORD>(output_mode(md_mode));
    if (options.rate != 0) md_mixfreq = static_cast<UWORD>(options.rate);
    // The disk writer is the only driver registered; naming it (rather than
    // letting the library pick) is what makes it take the parameters.
    md_device = 1;
    if (MikMod_Init(parameters) != 0) {
        std::fprintf(stderr, "XQ: Can't write '%s': %s.\n", output, MikMod_strerror(MikMod_errno));
        return {kRenderFailure, 0};
    }
    MODULE *m = Player_Load(module_path, 64, 0);
    if (!m) {
        std::fprintf(stderr, "XQ: Can't load '%s': %s.\n", module_path, MikMod_strerror(MikMod_errno));
        MikMod_Exit();
        return {kRenderFailure, 0};
    }
    // A jump backwards ends the song instead of looping it for ever.
    m->loop = 0;
    m->wrap = 0;
    m->fadeout = options.loops == 1 ? fade_module : 0;
    pass = Pass{};
    pass.module = m;
    pass.loops = options.loops;
    pass.fade = fade_module;
    library_player = MikMod_RegisterPlayer(render_tick);
    Progress progress(name_of(module_path));
    Player_Start(m);

    std::uint64_t updates = 0;
    const std::uint64_t max_frames = kMaxDataBytes / frame_bytes();
    int write_error = 0;
    bool interrupted = false;
    while (!pass.finished) {
        if (quit_requested) {
            interrupted = true;
            break;
        }
        errno = 0;
        MikMod_Update();
        ++updates;
        if (errno == ENOSPC || errno == EFBIG || errno == EIO || errno == EDQUOT) {
            write_error = errno;
            break;
        }
        if (pass.frames >= max_frames) {
            std::fprintf(stderr, "XQ: '%s' stops at the size limit of a WAV file.\n", output);
            pass.finished = true;
            pass.end_frame = max_frames;
        }
        progress.show(song_percent(*m), song_ms_of(*m));
    }
    const std::uint32_t song_ms = song_ms_of(*m);
    Player_Stop();
    MikMod_RegisterPlayer(library_player);
    pass.module = nullptr;
    Player_Free(m);
    MikMod_Exit();

    if (interrupted) {
        progress.end(output, song_ms, false);
        return {kInterrupted, song_ms};
    }
    // The writer does not report failed writes: a file shorter than what
    // was mixed into it means one failed.
    struct stat info;
    const std::uint64_t expected = kWavHeaderBytes + updates * kWriterBufferBytes;
    if (write_error == 0 && (stat(temporary, &info) != 0 || static_cast<std::uint64_t>(info.st_size) < expected))
        write_error = errno != 0 ? errno : ENOSPC;
    if (write_error == 0 && trim_wav(temporary, pass.end_frame * frame_bytes()) != 0) write_error = errno ? errno : EIO;
    if (write_error != 0) {
        progress.end(output, song_ms, false);
        std::fprintf(stderr, "XQ: Can't write '%s': %s.\n", output, std::strerror(write_error));
        return {kRenderFailure, song_ms};
    }
    progress.end(output, song_ms, true);
    return {0, song_ms};
}

// Renders one module to `output` through a temporary file beside it, which
// becomes `output` only once it is whole.
int render_one(const char *module_path, const char *output, const RenderOptions &options) {
    char temporary[kPathCapacity];
    const int n = std::snprintf(temporary, sizeof temporary, "%s.XXXXXX", output);
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
    if (stat(module_path, &module_info) == 0 && stat(output, &output_info) == 0 &&
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
    const Outcome outcome = render_into(module_path, temporary, output, options);
    if (outcome.status != 0) {
        unlink(temporary);
        if (outcome.status == kInterrupted) std::fprintf(stderr, "XQ: Stopped; '%s' was not written.\n", output);
        return outcome.status;
    }
    struct stat old;
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temporary, stat(output, &old) == 0 ? (old.st_mode & 07777) : (0666 & ~mask));
    if (std::rename(temporary, output) != 0) {
        const int error = errno;
        unlink(temporary);
        std::fprintf(stderr, "XQ: Can't write '%s': %s.\n", output, std::strerror(error));
        return kRenderFailure;
    }
    return 0;
}

// The files written by this run, so that two modules of the same name
// (from different folders) do not end in one file.
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

std::uint32_t tick_frames(unsigned mixfreq, unsigned bpm) {
    if (bpm == 0) return 0;
    return static_cast<std::uint32_t>((mixfreq * 125UL) / (bpm * 50UL));
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

int trim_wav(const char *path, std::uint64_t data_bytes) {
    const int fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0) return -1;
    unsigned char size[4];
    int result = 0;
    put_le32(size, static_cast<std::uint32_t>(data_bytes + kWavHeaderBytes - 8));
    if (ftruncate(fd, static_cast<off_t>(kWavHeaderBytes + data_bytes)) != 0 || pwrite(fd, size, 4, 4) != 4) result = -1;
    put_le32(size, static_cast<std::uint32_t>(data_bytes));
    if (result == 0 && (pwrite(fd, size, 4, 40) != 4 || fsync(fd) != 0)) result = -1;
    const int error = errno;
    if (close(fd) != 0 && result == 0) return -1;
    errno = error;
    return result;
}

int render_main(int argc, char **argv) {
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
    MikMod_RegisterDriver(&drv_wav);
    MikMod_RegisterAllLoaders();

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
        const int result = render_one(playlist[k].path, output, options);
        if (result != 0) status = result;
    }
    return status;
}
