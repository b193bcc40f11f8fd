#include "app/sound_output.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

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

long long now_ns() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

// How many writes a fill from an unknown level may take before the output
// counts as lost: twice the most a fill has taken, and never fewer than
// two full steps.
int filling_limit(const FeedPacer &p) { return std::max(2 * p.most_filling_writes + 4, 2 * kMaxUpdatesPerStep); }

void lose_output(long long now) {
    lost = true;
    next_restart_ns = now + kRestartEveryNs;
    std::snprintf(lost_reason, sizeof lost_reason, "%s stopped taking sound", started_driver_name);
    // The writes that went nowhere moved the song on; put it back to the
    // position it had while it was still heard.
    if (module && position_at_last_wait >= 0 && module->sngpos != position_at_last_wait &&
        position_at_last_wait < module->numpos)
        Player_SetPosition(static_cast<UWORD>(position_at_last_wait));
}

void retry_restart(long long now) {
    if (now < next_restart_ns) return;
    next_restart_ns = now + kRestartEveryNs;
    if (restart_output() == 0) {
        lost = false;
        lost_reason[0] = '\0';
        return;
    }
    std::snprintf(lost_reason, sizeof lost_reason, "%s stopped taking sound: %s", started_driver_name,
                  MikMod_strerror(MikMod_errno));
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

void feed_player() {
    const long long start = now_ns();
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
        const long long before = now_ns();
        MikMod_Update();
        if (record_write(pacer, before, now_ns())) {
            if (module) position_at_last_wait = module->sngpos;
            break;
        }
    }
    if (output_lost_by(pacer)) lose_output(now_ns());
}

bool sound_output_lost() { return lost; }

const char *sound_output_reason() { return lost_reason; }

bool song_has_ended(const MODULE &m) { return !m.wrap && m.sngpos >= m.numpos; }

int song_voice_count(const MODULE &m) { return m.numvoices ? m.numvoices : m.numchn; }

// Restarting the output. A failed MikMod_Reset shuts the library down
// (md_driver becomes the "no sound" driver and the voices are gone), so the
// driver found at start-up is asked for by number, and the voices are set
// up again when the library had to start afresh.
namespace {
bool library_shut_down = false;  // a failed reset shut the library down
}  // namespace

int restart_output() {
    MODULE *m = module;
    if (started_device > 0) md_device = static_cast<UWORD>(started_device);
    if (MikMod_Reset("")) {
        library_shut_down = true;
        return -1;
    }
    if (library_shut_down && m) MikMod_SetNumVoices(song_voice_count(*m), 0);
    library_shut_down = false;
    // The player keeps its place in the song across the reset.
    if (m) Player_Start(m);
    if (!MikMod_Active()) MikMod_EnableOutput();
    pacer = FeedPacer{};
    return 0;
}
