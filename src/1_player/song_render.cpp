#include "1_player/song_render.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mikmod.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "1_player/crossfeed.h"
#include "1_player/loaded_module.h"
#include "1_player/mixed_sound.h"
#include "1_player/module_loader.h"
#include "1_player/quit_request.h"
#include "1_player/settings.h"
#include "1_player/library_tick.h"
#include "1_player/order_list.h"
#include "1_player/song_walk.h"

namespace {

constexpr std::uint32_t kWavHeaderBytes = 44;
// The disk writer mixes this many bytes at each update.
constexpr std::uint64_t kWriterBufferBytes = 32768;
// A RIFF file counts its bytes in 32 bits; the render stops short of that.
constexpr std::uint64_t kMaxDataBytes = 0xF0000000ULL;

// The song being rendered, as the player hook sees it; the render's own.
struct Pass {
    MODULE *module = nullptr;
    SongEnding ending;  // where the song ends, after how many passes
    std::uint64_t frames = 0;  // frames mixed before the current tick
    std::uint64_t end_frame = 0;
    bool finished = false;
};
Pass pass;  // the render's own, for the tick hook of the library's player

// Runs in place of the library's player at every tick of the mixer: plays
// the tick, ending the song where its walk ends it, and notes where in the
// output the song passed its end. A song with passes to go starts again
// within the same tick, so the passes follow each other without a gap.
void render_tick() {
    MODULE *m = pass.module;
    if (pass.finished || !m) return;
    play_song_tick(*m, pass.ending);
    if (m->sngpos >= m->numpos) {
        pass.finished = true;
        pass.end_frame = pass.frames;
        return;
    }
    pass.frames += tick_frames(md_mixfreq, static_cast<unsigned>(mixer_bpm(*m)));
}

std::uint32_t frame_bytes() {
    return ((md_mode & DMODE_16BITS) ? 2u : 1u) * ((md_mode & DMODE_STEREO) ? 2u : 1u);
}

void put_le32(unsigned char *at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

// The share of the song done, by its song time against its length (by its
// position where the length is not known).
int song_percent(const MODULE &m, long long length_ms) {
    const int loops = pass.ending.loops;
    if (length_ms > 0) {
        const long long whole = length_ms * loops;
        const long long done = static_cast<long long>(m.sngtime) * 1000 / 1024;
        return static_cast<int>(std::min<long long>(done * 100 / whole, 100));
    }
    if (m.numpos == 0) return 100;
    const long done = static_cast<long>(pass.ending.passes_done) * m.numpos + (m.sngpos < m.numpos ? m.sngpos : m.numpos);
    return static_cast<int>(done * 100 / (static_cast<long>(loops) * m.numpos));
}

std::uint32_t song_ms_of(const MODULE &m) { return static_cast<std::uint32_t>(m.sngtime * 1000ULL / 1024); }

// The headphone crossfeed over the `data_bytes` of sound in the WAV file at
// `path`, from its start on, as the sound thread would have fed it. Returns
// 0, or -1 with errno set.
int crossfeed_wav(const char *path, std::uint64_t data_bytes) {
    if (crossfeed == 0 || !(md_mode & DMODE_STEREO)) return 0;
    const int fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0) return -1;
    Crossfeed filter;
    std::vector<unsigned char> chunk(65536);  // whole frames of every format
    int result = 0;
    for (std::uint64_t done = 0; done < data_bytes && result == 0;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), data_bytes - done));
        const off_t at = static_cast<off_t>(kWavHeaderBytes + done);
        const ssize_t got = pread(fd, chunk.data(), want, at);
        if (got <= 0) {
            if (got == 0) errno = EIO;
            result = -1;
            break;
        }
        crossfeed_rendered(filter, chunk.data(), static_cast<std::size_t>(got));
        if (pwrite(fd, chunk.data(), static_cast<std::size_t>(got), at) != got) result = -1;
        done += static_cast<std::uint64_t>(got);
    }
    const int error = errno;
    if (close(fd) != 0 && result == 0) return -1;
    errno = error;
    return result;
}

}  // namespace

void register_render_library() {
    MikMod_RegisterDriver(&drv_wav);
    MikMod_RegisterAllLoaders();
}

RenderOutcome render_song(const char *module_path, const char *wav_path, const char *output, int loops,
                          unsigned rate, bool fade, RenderProgress progress, void *context, std::FILE *errors,
                          int subsong) {
    // Read as playing reads it: a FIFO, a device or a directory is refused
    // at once instead of being waited on.
    std::vector<char> data;
    char reason[kPathCapacity];
    if (read_module_file(module_path, data, reason, sizeof reason) != 0) {
        std::fprintf(errors, "XQ: Can't load '%s': %s\n", module_path, reason);
        return {RenderStatus::failed, 0};
    }
    char parameters[kPathCapacity + 8];
    std::snprintf(parameters, sizeof parameters, "file=%s", wav_path);
    md_mode = static_cast<UWORD>(output_mode(md_mode));
    if (rate != 0) md_mixfreq = static_cast<UWORD>(rate);
    // The disk writer is the only driver registered; naming it (rather than
    // letting the library pick) is what makes it take the parameters.
    md_device = 1;
    if (MikMod_Init(parameters) != 0) {
        std::fprintf(errors, "XQ: Can't write '%s': %s.\n", output, MikMod_strerror(MikMod_errno));
        return {RenderStatus::failed, 0, 0};
    }
    md_pansep = static_cast<UBYTE>(pansep_of_separation(separation));
    const SongWalks songs = walk_module_bytes(data.data(), data.size());
    const SongWalk *song = songs.empty() ? nullptr
                           : &songs[subsong >= 0 && subsong < static_cast<int>(songs.size()) ? subsong : 0];
    // A tune of a file of several plays from a copy that holds it alone.
    if (song && song->tune_start >= 0) data = tune_bytes(data.data(), data.size(), song->tune_start);
    MODULE *m = data.empty() ? nullptr : Player_LoadMem(data.data(), static_cast<int>(data.size()), 64, 0);
    data = std::vector<char>();
    if (!m) {
        std::fprintf(errors, "XQ: Can't load '%s': %s.\n", module_path, MikMod_strerror(MikMod_errno));
        MikMod_Exit();
        return {RenderStatus::failed, 0};
    }
    // Jumps are taken as written; the song ends where its walk ended it.
    m->loop = 1;
    m->wrap = 0;
    m->fadeout = loops == 1 && fade ? 1 : 0;
    pass = Pass{};
    pass.module = m;
    pass.ending = song ? ending_of(*song, loops, fade) : SongEnding{};
    pass.ending.loops = loops < 1 ? 1 : loops;
    pass.ending.fade = fade;
    const long long length_ms = song && song->length_known ? song->length_ns / 1'000'000 : 0;
    library_player_tick();  // kept before ours takes its place
    const MikMod_player_t library_player = MikMod_RegisterPlayer(render_tick);
    Player_Start(m);
    if (song && song->start_position > 0) restart_song_at(*m, song->start_position);

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
            std::fprintf(errors, "XQ: '%s' stops at the size limit of a WAV file.\n", output);
            pass.finished = true;
            pass.end_frame = max_frames;
        }
        if (progress) progress(context, song_percent(*m, length_ms), song_ms_of(*m));
    }
    const std::uint32_t song_ms = song_ms_of(*m);
    Player_Stop();
    MikMod_RegisterPlayer(library_player);
    pass.module = nullptr;
    Player_Free(m);
    MikMod_Exit();

    const int song_count = static_cast<int>(songs.size());
    if (interrupted) return {RenderStatus::interrupted, song_ms, 0, song_count};
    // The writer does not report failed writes: a file shorter than what
    // was mixed into it means one failed.
    struct stat info;
    const std::uint64_t expected = kWavHeaderBytes + updates * kWriterBufferBytes;
    if (write_error == 0 && (stat(wav_path, &info) != 0 || static_cast<std::uint64_t>(info.st_size) < expected))
        write_error = errno != 0 ? errno : ENOSPC;
    if (write_error == 0 && trim_wav(wav_path, pass.end_frame * frame_bytes()) != 0) write_error = errno ? errno : EIO;
    if (write_error == 0 && crossfeed_wav(wav_path, pass.end_frame * frame_bytes()) != 0) write_error = errno ? errno : EIO;
    if (write_error != 0) return {RenderStatus::failed, song_ms, write_error, song_count};
    return {RenderStatus::written, song_ms, 0, song_count};
}

std::uint32_t tick_frames(unsigned mixfreq, unsigned bpm) {
    if (bpm == 0) return 0;
    return static_cast<std::uint32_t>((mixfreq * 125UL) / (bpm * 50UL));
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
