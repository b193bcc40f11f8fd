#include "app/sound_output.h"

#include <cstring>
#include <ctime>
#include <mikmod.h>
#include <unistd.h>

#include "app/module_loader.h"
#include "app/settings.h"

namespace {

bool sound_started = false;
char module_file[kPathCapacity] = {};

// A voice that was sounding when the driver stopped: the new driver starts
// with every voice silent, and the player starts a voice again only at its
// next note, so a held note would stay silent without this.
struct SoundingVoice {
    SAMPLE *sample;
    ULONG position;
};

int capture_voices(const MODULE &m, SoundingVoice (&voices)[UF_MAXCHAN]) {
    VOICEINFO info[UF_MAXCHAN];
    const int count = Player_QueryVoices(m.numvoices < UF_MAXCHAN ? m.numvoices : UF_MAXCHAN, info);
    for (int v = 0; v < count; ++v) {
        const bool sounding = info[v].s && !Voice_Stopped(static_cast<SBYTE>(v));
        const SLONG position = sounding ? Voice_GetPosition(static_cast<SBYTE>(v)) : 0;
        voices[v] = {sounding ? info[v].s : nullptr, static_cast<ULONG>(position > 0 ? position : 0)};
    }
    return count;
}

// The driver forgets its samples without freeing them at a restart, so they
// are freed before it.
void unload_samples(MODULE &m) {
    for (int i = 0; i < m.numsmp; ++i)
        if (m.samples[i].length) md_driver->SampleUnload(m.samples[i].handle);
}

// Loads the module's samples into the new driver: a second copy of the
// module is loaded and hands its sample handles over, so the module being
// played keeps everything else (position, row, every channel's state).
// Returns false when the file no longer holds the same samples; the
// module's samples are then forgotten (silent) rather than pointing at
// samples that may later belong to another module.
bool reload_samples(MODULE &m) {
    MODULE *copy = Player_Load(module_file, UF_MAXCHAN, 0);
    bool same = copy && copy->numsmp == m.numsmp;
    for (int i = 0; same && i < m.numsmp; ++i) same = copy->samples[i].length == m.samples[i].length;
    if (!same) {
        if (copy) Player_Free(copy);
        for (int i = 0; i < m.numsmp; ++i) m.samples[i].length = 0;
        if (MikMod_errno == 0) MikMod_errno = MMERR_LOADING_SAMPLEINFO;
        return false;
    }
    for (int i = 0; i < m.numsmp; ++i) {
        m.samples[i].handle = copy->samples[i].handle;
        copy->samples[i].length = 0;  // freeing the copy leaves the handed-over samples alone
    }
    Player_Free(copy);
    return true;
}

long long now_ns() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

// After a failed restart the library is down; the silent driver keeps the
// player (and the module) usable until a later restart succeeds.
void start_silent_driver() {
    const int device = md_device;
    md_device = static_cast<UWORD>(MikMod_DriverFromAlias("nosound"));
    MikMod_Init("");
    md_device = static_cast<UWORD>(device);
}

}  // namespace

int start_sound() {
    if (MikMod_Init("")) return -1;
    sound_started = true;
    return 0;
}

void stop_sound() {
    if (sound_started) MikMod_Exit();
    sound_started = false;
}

void remember_module_file(const char *path) {
    if (!path || std::strlen(path) >= sizeof module_file) {
        module_file[0] = '\0';
        return;
    }
    std::strcpy(module_file, path);
}

int restart_output() {
    if (!module) return MikMod_Reset("") == 0 ? 0 : -1;
    if (module_file[0] == '\0' || access(module_file, R_OK) != 0) {
        MikMod_errno = MMERR_OPENING_FILE;
        return -1;
    }
    MODULE &m = *module;
    const bool started = Player_GetModule() == module;
    const bool paused = started && Player_Paused();
    SoundingVoice voices[UF_MAXCHAN] = {};
    const int voice_count = started ? capture_voices(m, voices) : 0;

    Player_Stop();
    unload_samples(m);
    int error = 0;
    if (MikMod_Reset("") != 0) {
        error = MikMod_errno;
        start_silent_driver();
    }
    MikMod_errno = 0;
    const bool reloaded = reload_samples(m);
    if (!error && !reloaded) error = MikMod_errno;
    MikMod_SetNumVoices(-1, -1);

    if (started) {
        Player_Start(module);
        if (reloaded)
            for (int v = 0; v < voice_count; ++v)
                if (voices[v].sample) Voice_Play(static_cast<SBYTE>(v), voices[v].sample, voices[v].position);
        if (paused) Player_TogglePause();
    }
    MikMod_errno = error;
    return error ? -1 : 0;
}

void feed_player() {
    // The "no sound" driver never waits: it would run through the song as
    // fast as it is called, so it gets one call per step.
    if (md_driver == &drv_nos) {
        MikMod_Update();
        return;
    }
    for (int i = 0; i < kMaxUpdatesPerStep; ++i) {
        long long start = now_ns();
        MikMod_Update();
        if (now_ns() - start >= kBlockedCallNanoseconds) break;
    }
}
