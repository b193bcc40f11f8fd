#include "1_player/song_seek.h"

#include <algorithm>
#include <cmath>

#include "1_player/library_tick.h"
#include "1_player/loaded_module.h"
#include "1_player/sound_output.h"

int seek_start_row(const SongWalk &walk, long long target_ns) {
    const int at = row_at_time(walk, target_ns);
    if (at < 0) return -1;
    const long long lead_end = target_ns - kSeekLeadNs;
    int start = at;
    // The last row at least kSeekLeadNs before the target...
    while (start > 0 && walk.rows[start].time_ns > lead_end) --start;
    // ...or better, the first row of a position not too far before it.
    for (int r = start; r >= 0 && walk.rows[r].time_ns >= target_ns - kLongestSeekRunNs; --r)
        if (walk.rows[r].entry) return r;
    return start;
}

double sample_position_after(double position, double step, unsigned long length, unsigned long loop_start,
                             unsigned long loop_end, bool loop, bool bidi) {
    double p = position + step;
    if (loop && loop_end > loop_start && loop_end <= length) {
        if (p < loop_end) return p;
        const double span = static_cast<double>(loop_end - loop_start);
        if (!bidi) return loop_start + std::fmod(p - loop_start, span);
        const double x = std::fmod(p - loop_start, 2 * span);
        return x < span ? loop_start + x : loop_end - (x - span);
    }
    return p < static_cast<double>(length) ? p : -1;
}

namespace {

// A voice as the driver plays it.
struct VoiceState {
    SAMPLE *sample = nullptr;  // null: silent
    ULONG position = 0;
    UWORD volume = 0;
    ULONG frequency = 0;
    ULONG panning = 0;
};

void read_voices(VoiceState *state, int count) {
    VOICEINFO info[UF_MAXCHAN];
    const int known = Player_QueryVoices(static_cast<UWORD>(count), info);
    for (int v = 0; v < count; ++v) {
        const SBYTE voice = static_cast<SBYTE>(v);
        const bool sounding = v < known && info[v].s && !Voice_Stopped(voice);
        const SLONG position = sounding ? Voice_GetPosition(voice) : 0;
        state[v] = {sounding ? info[v].s : nullptr, static_cast<ULONG>(position > 0 ? position : 0),
                    Voice_GetVolume(voice), Voice_GetFrequency(voice), Voice_GetPanning(voice)};
    }
}

// Puts the voices back as read (the driver's own units), a voice that was
// silent silenced, whatever note the silent run started on it.
void restore_voices(const VoiceState *state, int count) {
    if (!md_driver) return;
    for (int v = 0; v < count; ++v) {
        const UBYTE voice = static_cast<UBYTE>(v);
        const VoiceState &s = state[v];
        md_driver->VoiceSetFrequency(voice, s.frequency);
        md_driver->VoiceSetPanning(voice, s.panning);
        if (s.sample) {
            md_driver->VoiceSetVolume(voice, s.volume);
            Voice_Play(static_cast<SBYTE>(v), s.sample, s.position);
        } else {
            md_driver->VoiceSetVolume(voice, 0);
            Voice_Stop(static_cast<SBYTE>(v));
        }
    }
}

// A voice as the silent run follows it: the sample it plays and where.
struct VoiceTrack {
    SAMPLE *sample = nullptr;
    double position = 0;
};

void follow_voices(VoiceTrack *tracks, int count, long long tick) {
    VOICEINFO info[UF_MAXCHAN];
    const int known = Player_QueryVoices(static_cast<UWORD>(count), info);
    for (int v = 0; v < known; ++v) {
        VoiceTrack &t = tracks[v];
        if (!info[v].s) {
            t.sample = nullptr;
            continue;
        }
        if (info[v].kick || info[v].s != t.sample) {
            t.sample = info[v].s;
            t.position = (t.sample->flags & SF_UST_LOOP) ? t.sample->loopstart : 0;
        }
        if (!t.sample) continue;
        const SAMPLE &s = *t.sample;
        const double frames = static_cast<double>(Voice_GetFrequency(static_cast<SBYTE>(v))) * tick / 1e9;
        t.position = sample_position_after(t.position, frames, s.length, s.loopstart, s.loopend,
                                           (s.flags & SF_LOOP) != 0, (s.flags & SF_BIDI) != 0);
        if (t.position < 0) t.sample = nullptr;
    }
}

}  // namespace

long long seek_song(MODULE &m, const SongWalk &walk, long long target_ns, SeekVoices &waiting) {
    waiting.count = 0;
    target_ns = std::clamp<long long>(target_ns, 0, std::max<long long>(walk.length_ns - 1, 0));
    const int start = seek_start_row(walk, target_ns);
    if (start < 0) return 0;
    const SongRow &row = walk.rows[start];
    const int voices = std::min(song_voice_count(m), UF_MAXCHAN);
    // What sounds now goes on to the end of the tick being mixed, then the
    // new place takes over: no silence between them.
    VoiceState before[UF_MAXCHAN];
    read_voices(before, voices);
    for (int v = 0; v < voices; ++v) Voice_Stop(static_cast<SBYTE>(v));
    // The row is taken up at the next tick, as after a pattern break.
    m.sngpos = static_cast<SWORD>(row.sngpos);
    m.patpos = static_cast<UWORD>(row.patpos);
    m.patbrk = static_cast<UWORD>(row.patpos);
    m.posjmp = 2;
    const int pattern = m.positions[row.sngpos];
    m.numrow = pattern < m.numpat ? m.pattrows[pattern] : 0;
    m.pat_repcrazy = 0;
    m.patdly = 0;
    m.patdly2 = 0;
    m.sngspd = static_cast<UWORD>(row.sngspd);
    m.vbtick = m.sngspd;
    m.bpm = static_cast<UWORD>(row.bpm);
    // The module's volume stays as the listener set it, as a move to
    // another position keeps it; the ticks below still apply the song's
    // own volume changes on the way to the target.
    m.sngtime = row.sngtime;
    m.sngremainder = static_cast<UWORD>(row.sngremainder);

    VoiceTrack tracks[UF_MAXCHAN];
    const MikMod_player_t tick = library_player_tick();
    long long now = row.time_ns;
    while (now < target_ns && m.sngpos < m.numpos) {
        tick();
        const long long step = tick_ns(mixer_bpm(m));
        follow_voices(tracks, voices, step);
        now += step;
    }
    for (int v = 0; v < voices; ++v) {
        const SBYTE voice = static_cast<SBYTE>(v);
        waiting.volume[v] = Voice_GetVolume(voice);
        waiting.frequency[v] = Voice_GetFrequency(voice);
        waiting.panning[v] = Voice_GetPanning(voice);
        waiting.sample[v] = tracks[v].sample;
        waiting.position[v] = static_cast<ULONG>(tracks[v].sample ? tracks[v].position : 0);
    }
    waiting.count = voices;
    restore_voices(before, voices);
    return now;
}

void start_seek_voices(SeekVoices &waiting) {
    for (int v = 0; v < waiting.count && md_driver; ++v) {
        md_driver->VoiceSetVolume(static_cast<UBYTE>(v), waiting.volume[v]);
        md_driver->VoiceSetFrequency(static_cast<UBYTE>(v), waiting.frequency[v]);
        md_driver->VoiceSetPanning(static_cast<UBYTE>(v), waiting.panning[v]);
        const SAMPLE *s = waiting.sample[v];
        if (!s) {
            md_driver->VoiceStop(static_cast<UBYTE>(v));
            continue;
        }
        const ULONG loop_end = (s->flags & SF_LOOP) && s->loopend > s->length ? s->length : s->loopend;
        md_driver->VoicePlay(static_cast<UBYTE>(v), s->handle, waiting.position[v], s->length, s->loopstart, loop_end,
                             s->flags);
    }
    waiting.count = 0;
}
