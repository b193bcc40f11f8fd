#include "1_player/sound_output.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mikmod.h>
#include <utility>

#include "1_player/clock.h"
#include "1_player/library_tick.h"
#include "1_player/loaded_module.h"
#include "1_player/mixed_sound.h"
#include "1_player/player_core.h"
#include "1_player/player_thread.h"
#include "1_player/player_view.h"
#include "1_player/pulse_output.h"
#include "1_player/settings.h"
#include "1_player/song_walk.h"
#include "1_player/sound_ring.h"

namespace {

// A voice that was sounding when the driver stopped: the new driver starts
// with every voice silent, and the player starts a voice again only at its
// next note, so a held note would stay silent without this.
struct SoundingVoice {
    SAMPLE *sample;
    ULONG position;
};

// The output's state, kept by the code that owns the library (the sound
// thread, or the main path while none runs).
struct SoundOutput {
    bool started = false;  // start_sound succeeded
    // The driver start_sound found, as its number for md_device: a restart
    // after the server went away must wait for that driver, not fall back
    // to the "no sound" one.
    int started_device = 0;
    char started_driver_name[64] = "the sound driver";
    bool lost = false;
    long long next_restart_ns = 0;
    char lost_reason[sizeof PlayerView::lost_reason] = "";
    bool going_silent = false;  // the output moves to the "no sound" driver on purpose
    // The bytes of the module playing, for a restart to load its samples
    // from.
    std::vector<char> module_data;
    // The PulseAudio driver of the library behind a guard. When its start
    // fails the library shuts it down again, and the library's own shutdown
    // then flushes the connection that was never made, which aborts the
    // program; the guard skips that shutdown. Nothing else changes.
    MDRIVER guarded_pulse;
    bool pulse_start_failed = false;
    // The sound mixed so far, counted tick by tick: the player runs once
    // per tick of mixed sound, whatever the driver does with it. Read by
    // the loop, written by the tick, both on the sound thread.
    std::atomic<long long> mixed_ns{0};
    MikMod_player_t library_tick = nullptr;
    // The "no sound" driver keeps no voices, so the notes that were
    // sounding when the output moved to it are kept here and started again
    // when a real driver takes over (after a lost output comes back).
    SoundingVoice held_voices[UF_MAXCHAN] = {};
    int held_voice_count = 0;
    SBYTE silent_mix[8192];  // what the "no sound" driver's stretches are mixed into
};

SoundOutput output;

int guarded_pulse_init() {
    const int result = drv_pulseaudio.Init();
    output.pulse_start_failed = result != 0;
    return result;
}

int guarded_pulse_reset() {
    const int result = drv_pulseaudio.Reset();
    output.pulse_start_failed = result != 0;
    return result;
}

void guarded_pulse_exit() {
    if (!output.pulse_start_failed) drv_pulseaudio.Exit();
    output.pulse_start_failed = false;
}

// The library's tick, with the song ended where its walk ends it.
void counting_tick() {
    PlayerCore &core = player_core();
    if (core.seek_voices.count > 0) start_seek_voices(core.seek_voices);
    if (core.module)
        play_song_tick(*core.module, core.ending);
    else if (output.library_tick)
        output.library_tick();
    const MODULE *m = core.module;
    output.mixed_ns.fetch_add(tick_ns(m ? mixer_bpm(*m) : 125), std::memory_order_relaxed);
}

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
// module is loaded from its bytes and hands its sample handles over, so the
// module being played keeps everything else (position, row, every
// channel's state). Returns false when that fails (out of memory); the
// module's samples are then forgotten (silent) rather than pointing at
// samples that may later belong to another module.
bool reload_samples(MODULE &m) {
    MODULE *copy = output.module_data.empty()
                       ? nullptr
                       : Player_LoadMem(output.module_data.data(), static_cast<int>(output.module_data.size()), UF_MAXCHAN, 0);
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

// After a failed restart the library is down; the silent driver keeps the
// player (and the module) usable until a later restart succeeds.
void start_silent_driver() {
    const int device = md_device;
    md_device = static_cast<UWORD>(MikMod_DriverFromAlias("nosound"));
    MikMod_Init("");
    md_device = static_cast<UWORD>(device);
}

// The driver md_device names, or nullptr for autodetection.
MDRIVER *chosen_driver() { return md_device > 0 ? MikMod_DriverByOrdinal(md_device) : nullptr; }

// Puts the song back to a place: its position and row are taken up at the
// next tick, as after a pattern break, and its clock goes back with it. The
// player's fields are set directly, since setting the position through the
// library at position 0 would start the whole song afresh (speed, tempo
// and volume included).
void go_back_to(MODULE &m, const SongPlace &place) {
    if (place.sngpos != m.sngpos || place.patpos != m.patpos) {
        m.sngpos = static_cast<SWORD>(place.sngpos);
        m.patpos = static_cast<UWORD>(place.patpos);
        m.patbrk = static_cast<UWORD>(place.patpos);
        m.posjmp = 2;
        m.vbtick = m.sngspd;
    }
    m.sngtime = place.sngtime;
}

void say_why_lost(int error) {
    if (error == MMERR_DETECTING_DEVICE)
        std::snprintf(output.lost_reason, sizeof output.lost_reason, "%s cannot be reached", output.started_driver_name);
    else
        std::snprintf(output.lost_reason, sizeof output.lost_reason, "%s: %s", output.started_driver_name, MikMod_strerror(error));
}

// After a restart: a real driver plays, so nothing is lost; the "no sound"
// driver where the driver found at start-up was asked for (its server went
// away just before an options change) is a lost output like any other,
// restarted every kRestartEveryNs.
void follow_restart(int error) {
    if (md_driver != &drv_nos) {
        output.lost = false;
        output.lost_reason[0] = '\0';
        return;
    }
    const bool real_started = output.started_device > 0 && output.started_device != MikMod_DriverFromAlias("nosound");
    if (output.going_silent || !real_started) return;
    if (!output.lost) output.next_restart_ns = monotonic_ns() + kRestartEveryNs;
    output.lost = true;
    say_why_lost(error ? error : MMERR_DETECTING_DEVICE);
}

// The output stopped taking sound (the sound server went away, or stopped
// answering): the song goes back to `heard`, what was heard last, and waits
// there on the "no sound" driver, whose start closes the lost connection
// once, cleanly; from then on the lost driver's presence test tells the
// truth, and a restart is tried every kRestartEveryNs.
void lose_output(long long now, const SongPlace *heard) {
    output.lost = true;
    output.next_restart_ns = now + kRestartEveryNs;
    std::snprintf(output.lost_reason, sizeof output.lost_reason, "%s stopped taking sound", output.started_driver_name);
    MODULE *m = player_core().module;
    if (m && heard) go_back_to(*m, *heard);
    const int silent = MikMod_DriverFromAlias("nosound");
    if (silent > 0) {
        md_device = static_cast<UWORD>(silent);
        output.going_silent = true;
        restart_output();
        output.going_silent = false;
    }
}

// The restart asks for the driver found at start-up: with the server gone
// the library would otherwise settle for the "no sound" driver.
void retry_restart(long long now) {
    if (now < output.next_restart_ns) return;
    output.next_restart_ns = now + kRestartEveryNs;
    if (output.started_device > 0) md_device = static_cast<UWORD>(output.started_device);
    restart_output();
}

// A song that does not wrap round has ended: the player stops moving, but
// the voices it left would go on sounding (a looped sample for ever), so
// they are stopped once. Returns true when it has just ended.
bool follow_song_end(bool &stopped_at_end) {
    const MODULE *m = player_core().module;
    // With every song of a module asked for, the next song follows.
    if (m && song_has_ended(*m) && !stopped_at_end && play_next_song_at_end()) m = player_core().module;
    const bool ended = m && song_has_ended(*m);
    const bool just_ended = ended && !stopped_at_end;
    if (just_ended)
        for (int voice = 0; voice < song_voice_count(*m); ++voice) Voice_Stop(static_cast<SBYTE>(voice));
    stopped_at_end = ended;
    return just_ended;
}

// The snapshot the screens get, with the output's state.
void capture_for_screens(PlayerView &view) {
    capture_player_view(view, player_voices_wanted());
    view.output_lost = output.lost;
    copy_text(view.lost_reason, output.lost_reason);
}

void publish(PlayerView &view) {
    capture_for_screens(view);
    publish_player_view(view);
}

// What was heard last, as the pace of a driver that blocks tells it: the
// sound stopped being taken when it was first held at its limit.
const SongPlace *place_heard(const AudioPace &pace, const PlaceHistory &history) {
    if (pace.anchor_ns < 0 || pace.over_since_ns < 0) return nullptr;
    return place_heard_at(history, pace.base_ns + (pace.over_since_ns - pace.anchor_ns));
}

// How long our PulseAudio output may go without wanting sound while the
// song moves before it counts as lost (a server that stopped answering):
// far longer than its buffer lasts.
constexpr long long kOutputStallNs = 1'500'000'000LL;

// Nothing to mix: stopped, paused, a song that ended, or an output that is
// lost (which waits for its next restart).
bool nothing_to_mix() {
    if (output.lost || !MikMod_Active() || Player_Paused()) return true;
    const MODULE *m = player_core().module;
    return !m || song_has_ended(*m);
}

// The "no sound" driver writes a long stretch per update; the loop mixes
// short ones itself, so the song moves smoothly at the clock's pace.
void mix_silently() {
    unsigned frame = (md_mode & DMODE_STEREO) ? 2 : 1;
    if (md_mode & DMODE_FLOAT)
        frame *= 4;
    else if (md_mode & DMODE_16BITS)
        frame *= 2;
    const unsigned long bytes = std::min<unsigned long>(sizeof output.silent_mix, md_mixfreq / 100UL * frame);
    MikMod_Lock();
    const ULONG mixed = VC_WriteBytes(output.silent_mix, static_cast<ULONG>(bytes - bytes % frame));
    MikMod_Unlock();
    output_sound_ring().set_ahead_ms(0);
    pass_mixed_sound(output.silent_mix, mixed);
}

// How long the loop waits while it holds the sound back (the "no sound"
// driver, which would otherwise race ahead of the clock).
constexpr long long kHoldWaitNs = 10'000'000;

// Registers the library's drivers and loaders. The PulseAudio driver is
// registered behind a guard of ours first: the library's own one aborts the
// program when a restart finds the server gone (it flushes a connection it
// never made), so autodetection and every restart use the guarded one.
void register_drivers_and_loaders() {
    register_pulse_output();
    output.guarded_pulse = drv_pulseaudio;
    output.guarded_pulse.next = nullptr;
    output.guarded_pulse.Init = guarded_pulse_init;
    output.guarded_pulse.Reset = guarded_pulse_reset;
    output.guarded_pulse.Exit = guarded_pulse_exit;
    if (output.guarded_pulse.Name && output.guarded_pulse.Init && drv_pulseaudio.Init) MikMod_RegisterDriver(&output.guarded_pulse);
    MikMod_RegisterAllDrivers();
    MikMod_RegisterAllLoaders();
}

}  // namespace

int start_sound(char *message, std::size_t size) {
    register_drivers_and_loaders();
    md_mode = static_cast<UWORD>(output_mode(md_mode));
    MikMod_InitThreads();
    if (MikMod_Init("")) {
        std::snprintf(message, size, "%s", MikMod_strerror(MikMod_errno));
        return -1;
    }
    md_pansep = static_cast<UBYTE>(pansep_of_separation(separation));
    set_output_crossfeed(crossfeed);
    output.started = true;
    if (md_driver) {
        output.started_device = MikMod_DriverFromAlias(md_driver->Alias);
        std::snprintf(output.started_driver_name, sizeof output.started_driver_name, "%s", md_driver->Name);
    }
    if (start_player_thread(run_sound_loop) != 0) {
        MikMod_Exit();
        output.started = false;
        std::snprintf(message, size, "%s", MikMod_strerror(MMERR_OUT_OF_MEMORY));
        return -1;
    }
    return 0;
}

void stop_sound() {
    if (stop_player_thread() && output.started) MikMod_Exit();
    output.started = false;
}

void remember_module_data(std::vector<char> data) {
    output.module_data = std::move(data);
    // The voices held for the module before were its samples, freed with it.
    output.held_voice_count = 0;
}

const std::vector<char> &remembered_module_data() { return output.module_data; }

void reset_pace(AudioPace &pace) { pace = AudioPace{}; }

long long sound_ahead_ns(AudioPace &pace, long long mixed, long long now_ns) {
    if (pace.anchor_ns < 0) {
        pace.anchor_ns = now_ns;
        pace.base_ns = mixed;
    }
    const long long ahead = (mixed - pace.base_ns) - (now_ns - pace.anchor_ns);
    if (ahead >= 0) return ahead;
    pace.anchor_ns = now_ns;
    pace.base_ns = mixed;
    return 0;
}

bool output_stalled(AudioPace &pace, long long ahead_ns, long long limit_ns, long long now_ns) {
    if (ahead_ns > limit_ns) {
        if (pace.over_since_ns < 0) pace.over_since_ns = now_ns;
        return now_ns - pace.over_since_ns >= kLostAfterNs;
    }
    // Held at the limit, the sound only dips below it between two waits; a
    // working driver keeps it far lower.
    if (ahead_ns < limit_ns / 2) pace.over_since_ns = -1;
    return false;
}

long long tick_ns(int bpm) { return 2'500'000'000LL / std::max(bpm, 1); }

void note_place(PlaceHistory &history, const SongPlace &place) {
    history.places[history.next] = place;
    history.next = (history.next + 1) % kPlaceHistory;
}

const SongPlace *place_heard_at(const PlaceHistory &history, long long mixed) {
    const SongPlace *best = nullptr;
    for (const SongPlace &p : history.places)
        if (p.mixed_ns >= 0 && p.mixed_ns <= mixed && (!best || p.mixed_ns > best->mixed_ns)) best = &p;
    return best;
}

int restart_output() {
    MODULE *module = player_core().module;
    if (!module) {
        if (MDRIVER *driver = chosen_driver(); driver && driver->IsPresent && !driver->IsPresent()) {
            MikMod_errno = MMERR_DETECTING_DEVICE;
            return -1;
        }
        return MikMod_Reset("") == 0 ? 0 : -1;
    }
    MODULE &m = *module;
    const bool started = Player_GetModule() == module;
    const bool paused = started && Player_Paused();
    SoundingVoice voices[UF_MAXCHAN] = {};
    int voice_count = 0;
    if (started && md_driver == &drv_nos && output.held_voice_count > 0) {
        std::copy(output.held_voices, output.held_voices + output.held_voice_count, voices);
        voice_count = output.held_voice_count;
    } else if (started) {
        voice_count = capture_voices(m, voices);
    }

    Player_Stop();
    unload_samples(m);
    int error = 0;
    // A driver whose device is gone is not started: it would fail anyway,
    // and the library's shutdown of a failed start is not safe for every
    // driver.
    MDRIVER *driver = chosen_driver();
    if (driver && driver != md_driver && driver->IsPresent && !driver->IsPresent()) {
        error = MMERR_DETECTING_DEVICE;
        const int wanted = md_device;
        md_device = static_cast<UWORD>(MikMod_DriverFromAlias("nosound"));
        if (MikMod_Reset("") != 0) start_silent_driver();
        md_device = static_cast<UWORD>(wanted);
    } else if (MikMod_Reset("") != 0) {
        error = MikMod_errno ? MikMod_errno : MMERR_OPENING_AUDIO;
        start_silent_driver();
    }
    MikMod_errno = 0;
    const bool reloaded = reload_samples(m);
    if (!error && !reloaded) error = MikMod_errno;
    MikMod_SetNumVoices(-1, -1);
    if (md_driver == &drv_nos) {
        std::copy(voices, voices + voice_count, output.held_voices);
        output.held_voice_count = voice_count;
    } else {
        output.held_voice_count = 0;
    }

    if (started) {
        Player_Start(module);
        if (reloaded)
            for (int v = 0; v < voice_count; ++v)
                if (voices[v].sample) Voice_Play(static_cast<SBYTE>(v), voices[v].sample, voices[v].position);
        if (paused) Player_TogglePause();
    }
    follow_restart(error);
    MikMod_errno = error;
    return error ? -1 : 0;
}

void run_sound_loop() {
    if (!output.library_tick) {
        library_player_tick();  // kept before ours takes its place
        output.library_tick = MikMod_RegisterPlayer(counting_tick);
    }
    PlayerView view;
    AudioPace pace;
    PlaceHistory history;
    bool stopped_at_end = false;
    bool shown_lost = output.lost;
    char shown_reason[sizeof output.lost_reason] = "";
    long long waiting_since = -1;  // since when our output has not wanted sound while the song moves
    for (;;) {
        run_player_commands(view, capture_for_screens);
        if (player_thread_stopping()) return;
        const long long now = monotonic_ns();
        if (output.lost) retry_restart(now);
        // The screens hear of a lost output, of each new reason and of its
        // return.
        if (output.lost != shown_lost || std::strcmp(output.lost_reason, shown_reason) != 0) {
            shown_lost = output.lost;
            copy_text(shown_reason, output.lost_reason);
            publish(view);
        }
        if (nothing_to_mix()) {
            reset_pace(pace);
            waiting_since = -1;
            if (follow_song_end(stopped_at_end)) publish(view);
            settle_output_sound();
            // Nothing moves: the loop sleeps until a command comes, or the
            // next restart of a lost output is due.
            wait_for_player_command(output.lost ? output.next_restart_ns : -1);
            continue;
        }
        const long long mixed = output.mixed_ns.load(std::memory_order_relaxed);
        if (pulse_output_in_use()) {
            // Our output says when it wants sound; the loop sleeps till then.
            const bool failed = pulse_output_failed();
            if (!failed && !pulse_output_ready()) {
                if (waiting_since < 0) waiting_since = now;
                if (now - waiting_since < kOutputStallNs) {
                    wait_for_player_command(waiting_since + kOutputStallNs, pulse_output_ready);
                    continue;
                }
            }
            if (failed || !pulse_output_ready()) {
                lose_output(now, place_heard_at(history, mixed - pulse_output_buffered_ns()));
                waiting_since = -1;
                continue;
            }
            waiting_since = -1;
        } else {
            const bool silent = md_driver == &drv_nos;
            const long long ahead = sound_ahead_ns(pace, mixed, now);
            const long long limit = silent ? kSilentAheadNs : kMostAheadNs;
            const bool stalled = output_stalled(pace, ahead, limit, now);
            if (stalled && !silent) {
                lose_output(now, place_heard(pace, history));
                reset_pace(pace);
                continue;
            }
            if (ahead > limit) {
                wait_for_player_command(now + std::min(ahead - limit, kHoldWaitNs));
                continue;
            }
        }
        const MODULE *m = player_core().module;
        note_place(history, {mixed, m->sngpos, m->patpos, m->sngtime});
        if (md_driver == &drv_nos)
            mix_silently();
        else
            MikMod_Update();
        const long long step = output.mixed_ns.load(std::memory_order_relaxed) - mixed;
        if (follow_song_end(stopped_at_end) || player_frame_due(monotonic_ns(), step)) publish(view);
    }
}
