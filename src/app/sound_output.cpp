#include "app/sound_output.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mikmod.h>
#include <unistd.h>

#include "app/clock.h"
#include "app/module_loader.h"
#include "app/settings.h"

namespace {

bool sound_started = false;
// The driver start_sound found, as its number for md_device: a restart
// after the server went away must wait for that driver, not fall back to
// the "no sound" one.
int started_device = 0;
char started_driver_name[64] = "the sound driver";

FeedPacer pacer;
// Where the song was when a write last waited, that is while the output
// still played it.
int position_at_last_wait = -1;

bool lost = false;
long long next_restart_ns = 0;
char lost_reason[kPathCapacity] = "";
char module_file[kPathCapacity] = {};

// A voice that was sounding when the driver stopped: the new driver starts
// with every voice silent, and the player starts a voice again only at its
// next note, so a held note would stay silent without this.
struct SoundingVoice {
    SAMPLE *sample;
    ULONG position;
};

// The "no sound" driver keeps no voices, so the notes that were sounding
// when the output moved to it are kept here and started again when a real
// driver takes over (after a lost output comes back).
SoundingVoice held_voices[UF_MAXCHAN] = {};
int held_voice_count = 0;

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

// After a failed restart the library is down; the silent driver keeps the
// player (and the module) usable until a later restart succeeds.
void start_silent_driver() {
    const int device = md_device;
    md_device = static_cast<UWORD>(MikMod_DriverFromAlias("nosound"));
    MikMod_Init("");
    md_device = static_cast<UWORD>(device);
}

// How many writes a fill from an unknown level may take before the output
// counts as lost: twice the most a fill has taken, and never fewer than
// two full steps.
int filling_limit(const FeedPacer &p) { return std::max(2 * p.most_filling_writes + 4, 2 * kMaxUpdatesPerStep); }

// The module moves to the "no sound" driver (through restart_output, which
// keeps its place and settings): the lost driver's connection is closed
// once, cleanly, and from then on its presence test tells the truth (while
// the dead connection is open it reports the device as there, and a
// failed reset on it aborts the program).
void lose_output(long long now) {
    lost = true;
    next_restart_ns = now + kRestartEveryNs;
    std::snprintf(lost_reason, sizeof lost_reason, "%s stopped taking sound", started_driver_name);
    // The writes that went nowhere moved the song on; put it back to the
    // position it had while it was still heard.
    if (module && position_at_last_wait >= 0 && module->sngpos != position_at_last_wait &&
        position_at_last_wait < module->numpos)
        Player_SetPosition(static_cast<UWORD>(position_at_last_wait));
    const int silent = MikMod_DriverFromAlias("nosound");
    if (silent > 0) {
        md_device = static_cast<UWORD>(silent);
        restart_output();
    }
}

// The restart asks for the driver found at start-up: with the server gone
// the library would otherwise settle for the "no sound" driver. It is only
// tried once that driver finds its device again: a reset that fails there
// makes libmikmod's PulseAudio driver abort the program.
void retry_restart(long long now) {
    if (now < next_restart_ns) return;
    next_restart_ns = now + kRestartEveryNs;
    MDRIVER *driver = started_device > 0 ? MikMod_DriverByOrdinal(started_device) : nullptr;
    if (driver && driver->IsPresent && !driver->IsPresent()) {
        std::snprintf(lost_reason, sizeof lost_reason, "%s cannot be reached", started_driver_name);
        return;
    }
    if (started_device > 0) md_device = static_cast<UWORD>(started_device);
    if (restart_output() == 0) {
        lost = false;
        lost_reason[0] = '\0';
        pacer = FeedPacer{};
        position_at_last_wait = -1;
        return;
    }
    std::snprintf(lost_reason, sizeof lost_reason, "%s: %s", started_driver_name, MikMod_strerror(MikMod_errno));
}

}  // namespace

int start_sound() {
    if (MikMod_Init("")) return -1;
    sound_started = true;
    if (md_driver) {
        started_device = MikMod_DriverFromAlias(md_driver->Alias);
        std::snprintf(started_driver_name, sizeof started_driver_name, "%s", md_driver->Name);
    }
    return 0;
}

void stop_sound() {
    if (sound_started) MikMod_Exit();
    sound_started = false;
}

int key_wait_ms() { return kKeyWaitMs; }

double learnt_fragment_ns(const FeedPacer &p) {
    return p.span_writes_sum > 0 ? p.span_ns_sum / p.span_writes_sum : 0.0;
}

int writes_due(FeedPacer &p, long long now_ns) {
    if (p.last_step_ns >= 0 && now_ns - p.last_step_ns > kLongPauseNs) p.synced = false;
    const double recheck = std::max(static_cast<double>(kRecheckAfterNs), kRecheckAfterWrites * learnt_fragment_ns(p));
    if (p.synced && static_cast<double>(now_ns - p.last_wait_ns) > recheck) p.synced = false;
    p.last_step_ns = now_ns;
    if (!p.synced) return kMaxUpdatesPerStep;
    const double learnt = learnt_fragment_ns(p);
    const double period = learnt > 0 ? learnt * kPaceFactor : static_cast<double>(kGuessedFragmentNs);
    const double fit = static_cast<double>(now_ns - p.full_at_ns) / period - p.written - kHeadroomWrites;
    return std::clamp(static_cast<int>(fit), 0, kMaxUpdatesPerStep);
}

bool record_write(FeedPacer &p, long long start_ns, long long end_ns) {
    p.last_step_ns = end_ns;
    const long long took = end_ns - start_ns;
    const long long threshold = std::max(kWaitedWriteNs, kWaitedOverMixing * p.quickest_write_ns);
    const bool waited = took >= threshold;
    // The quickest write is forgotten slowly, so a module with more
    // channels (slower mixing) raises it again.
    if (p.quickest_write_ns == 0 || took < p.quickest_write_ns)
        p.quickest_write_ns = took;
    else
        p.quickest_write_ns += std::max(1LL, p.quickest_write_ns / 64);
    if (!waited) {
        ++p.written;
        if (!p.synced) ++p.filling_writes;
        return false;
    }
    if (p.synced) {
        // The buffer was full at both ends of this span, so what played in
        // it is exactly what was written.
        constexpr double kKeep = 0.9;
        p.span_ns_sum = p.span_ns_sum * kKeep + static_cast<double>(end_ns - p.full_at_ns);
        p.span_writes_sum = p.span_writes_sum * kKeep + (p.written + 1);
    } else {
        p.most_filling_writes = std::max(p.most_filling_writes, p.filling_writes + 1);
    }
    p.full_at_ns = end_ns;
    p.last_wait_ns = end_ns;
    p.written = 0;
    p.filling_writes = 0;
    p.synced = true;
    p.driver_waits = true;
    return true;
}

bool output_lost_by(const FeedPacer &p) {
    return p.driver_waits && !p.synced && p.filling_writes >= filling_limit(p);
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
    int voice_count = 0;
    if (started && md_driver == &drv_nos && held_voice_count > 0) {
        std::copy(held_voices, held_voices + held_voice_count, voices);
        voice_count = held_voice_count;
    } else if (started) {
        voice_count = capture_voices(m, voices);
    }

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
    if (md_driver == &drv_nos) {
        std::copy(voices, voices + voice_count, held_voices);
        held_voice_count = voice_count;
    } else {
        held_voice_count = 0;
    }

    if (started) {
        Player_Start(module);
        if (reloaded)
            for (int v = 0; v < voice_count; ++v)
                if (voices[v].sample) Voice_Play(static_cast<SBYTE>(v), voices[v].sample, voices[v].position);
        if (paused) Player_TogglePause();
    }
    // The new driver starts with an empty buffer of its own: what the pacer
    // learnt about the old one no longer holds.
    pacer = FeedPacer{};
    position_at_last_wait = -1;
    MikMod_errno = error;
    return error ? -1 : 0;
}

void feed_player() {
    const long long start = monotonic_ns();
    if (lost) {
        retry_restart(start);
        return;
    }
    // The "no sound" driver never waits: it would run through the song as
    // fast as it is called, so it gets one call per step.
    if (md_driver == &drv_nos) {
        MikMod_Update();
        return;
    }
    const int due = writes_due(pacer, start);
    for (int i = 0; i < due; ++i) {
        const long long before = monotonic_ns();
        MikMod_Update();
        if (record_write(pacer, before, monotonic_ns())) {
            if (module) position_at_last_wait = module->sngpos;
            break;
        }
    }
    if (output_lost_by(pacer)) lose_output(monotonic_ns());
}

bool sound_output_lost() { return lost; }

const char *sound_output_reason() { return lost_reason; }

bool song_has_ended(const MODULE &m) { return !m.wrap && m.sngpos >= m.numpos; }

int song_voice_count(const MODULE &m) { return m.numvoices ? m.numvoices : m.numchn; }

FeedDuringWork::FeedDuringWork(int items_per_check) : items_per_check_(items_per_check), last_feed_ns_(monotonic_ns()) {}

void FeedDuringWork::step() {
    if (++since_check_ < items_per_check_) return;
    since_check_ = 0;
    if (monotonic_ns() - last_feed_ns_ < kWorkFeedIntervalNs) return;
    if (module && playing) feed_player();
    last_feed_ns_ = monotonic_ns();
}
