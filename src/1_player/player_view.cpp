#include "1_player/player_view.h"

#include <algorithm>
#include <cstring>

#include "1_player/loaded_module.h"
#include "1_player/player_core.h"

void copy_text(char *out, std::size_t size, const char *text) {
    if (size == 0) return;
    const std::size_t length = strnlen(text, size - 1);
    std::memcpy(out, text, length);
    out[length] = '\0';
}

namespace {

// Each library call takes the library's lock, and the real volume scans
// the sample around the voice's place: a channel whose voice is among the
// voices just read takes its values from there.
void capture_channels(PlayerView &view, int channels) {
    for (int c = 0; c < channels; ++c) {
        ChannelView &ch = view.channels[c];
        ch = ChannelView{};
        ch.period = Player_GetChannelPeriod(static_cast<UBYTE>(c));
        if (ch.period == 0) continue;
        ch.voice = Player_GetChannelVoice(static_cast<UBYTE>(c));
        if (ch.voice >= 0 && ch.voice < view.voice_count) {
            const VoiceView &read = view.voices[ch.voice];
            ch.volume = read.volume;
            ch.frequency = read.frequency;
            ch.position = read.position;
            ch.panning = read.panning;
            ch.real_volume = read.real_volume;
            continue;
        }
        const SBYTE v = static_cast<SBYTE>(ch.voice);
        ch.volume = Voice_GetVolume(v);
        ch.frequency = Voice_GetFrequency(v);
        ch.position = static_cast<long>(Voice_GetPosition(v));
        ch.panning = Voice_GetPanning(v);
        ch.real_volume = Voice_RealVolume(v);
    }
}

void capture_voices(PlayerView &view, int voices) {
    view.voice_count = voices;
    for (int i = 0; i < voices; ++i) {
        const SBYTE v = static_cast<SBYTE>(i);
        view.voices[i] = {Voice_GetVolume(v), Voice_RealVolume(v), Voice_GetFrequency(v),
                          static_cast<long>(Voice_GetPosition(v)), Voice_GetPanning(v)};
    }
}

}  // namespace

void capture_player_view(PlayerView &view, bool with_voices) {
    view.reverb = md_reverb;
    view.pansep = md_pansep;
    view.mix_volume = md_volume;
    view.mode = md_mode;
    view.mixfreq = md_mixfreq;
    copy_text(view.driver_name, md_driver && md_driver->Name ? md_driver->Name : "");
    const PlayerCore &core = player_core();
    view.module = core.info;
    view.stopped = core.stopped;
    view.song_position = core.song_position;
    view.subsong = core.subsong;
    view.muted = core.muted;
    view.mute_all_next = core.mute_all_next;
    if (!core.module) {
        // Without a module every voice is silent; a voice left by a module
        // freed since may still point at its samples, so none is asked.
        view.started = view.paused = view.ended = false;
        capture_voices(view, 0);
        return;
    }
    // Every voice the monitors may show, allocated or not: the library
    // answers for them all.
    capture_voices(view, with_voices ? kPlayerChannels : 0);
    const MODULE &m = *core.module;
    view.sngpos = m.sngpos;
    view.numpos = m.numpos;
    view.patpos = m.patpos;
    view.pattern = current_pattern_number(m);
    view.realchn = m.realchn;
    view.numchn = m.numchn;
    view.bpm = m.bpm;
    view.sngspd = m.sngspd;
    view.inittempo = m.inittempo;
    view.volume = m.volume;
    view.sngtime = m.sngtime;
    view.started = Player_GetModule() == core.module;
    view.paused = view.started && Player_Paused();
    view.ended = song_has_ended(m);
    capture_channels(view, std::clamp<int>(m.numchn, 0, kPlayerChannels));
}
