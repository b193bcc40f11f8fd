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

// What a reloaded module takes over from the one it replaces.
struct PlayerState {
    bool started;  // the player was running this module (not stopped)
    bool paused;
    int position;
    int row;
    unsigned long song_time;
    unsigned short song_remainder;
    int speed;
    int tempo;
    int bpm;
    int volume;
    int loop;
    int wrap;
    int fadeout;
    bool muted[UF_MAXCHAN];
};

PlayerState capture_state(const MODULE &m) {
    PlayerState state{};
    state.started = Player_GetModule() == &m;
    state.paused = state.started && Player_Paused();
    state.position = m.sngpos;
    state.row = m.patpos;
    state.song_time = m.sngtime;
    state.song_remainder = m.sngremainder;
    state.speed = m.sngspd;
    state.tempo = m.inittempo;
    state.bpm = m.bpm;
    state.volume = m.volume;
    state.loop = m.loop;
    state.wrap = m.wrap;
    state.fadeout = m.fadeout;
    for (int channel = 0; channel < m.numchn && channel < UF_MAXCHAN; ++channel)
        state.muted[channel] = state.started && Player_Muted(static_cast<UBYTE>(channel));
    return state;
}

// Starts `m` at the captured position and row; the jump takes effect at the
// player's next tick, so the song goes on from the row it had reached.
void resume_state(MODULE &m, const PlayerState &state) {
    m.loop = state.loop;
    m.wrap = state.wrap;
    m.fadeout = state.fadeout;
    if (!state.started) return;
    Player_Start(&m);
    if (state.position > 0) Player_SetPosition(static_cast<UWORD>(state.position));
    if (state.row > 0) {
        m.posjmp = 2;
        m.patbrk = static_cast<UWORD>(state.row);
    }
    m.sngtime = state.song_time;
    m.sngremainder = state.song_remainder;
    m.sngspd = static_cast<UWORD>(state.speed);
    m.inittempo = static_cast<UWORD>(state.tempo);
    m.bpm = static_cast<UWORD>(state.bpm);
    m.volume = static_cast<SWORD>(state.volume);
    for (int channel = 0; channel < m.numchn && channel < UF_MAXCHAN; ++channel)
        if (state.muted[channel]) Player_Mute(channel);
    if (state.paused) Player_TogglePause();
}

// After a failed restart the library is down; the silent driver keeps the
// player (and the module) usable until a later restart succeeds.
void start_silent_driver() {
    const int device = md_device;
    md_device = static_cast<UWORD>(MikMod_DriverFromAlias("nosound"));
    MikMod_Init("");
    md_device = static_cast<UWORD>(device);
}

long long now_ns() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
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
    const PlayerState state = capture_state(*module);
    const bool was_playing = playing;
    playing = false;
    Player_Stop();
    // Freed before the restart: the driver forgets its samples without
    // releasing them, so a module freed afterwards would leak them.
    Player_Free(module);
    module = nullptr;

    int result = 0;
    int error = 0;
    if (MikMod_Reset("") != 0) {
        error = MikMod_errno;
        result = -1;
        start_silent_driver();
    }
    module = Player_Load(module_file, UF_MAXCHAN, 0);
    if (!module) {
        if (result == 0) error = MikMod_errno;
        MikMod_errno = error;
        return -1;
    }
    resume_state(*module, state);
    playing = was_playing;
    MikMod_errno = error;
    return result;
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
