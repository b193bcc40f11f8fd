#include "fake_player.h"

#include <cstdarg>

FakeChannel fake_channels[64];
int fake_muted[64];

void reset_fake_player() {
    for (auto &c : fake_channels) c = FakeChannel{};
    for (int &m : fake_muted) m = 0;
}

namespace {

// The channel whose voice is `voice`, if any.
const FakeChannel *by_voice(SBYTE voice) {
    for (const auto &c : fake_channels)
        if (c.voice == voice && c.period != 0) return &c;
    return nullptr;
}

}  // namespace

extern "C" {

UWORD Player_GetChannelPeriod(UBYTE channel) {
    return channel < 64 ? static_cast<UWORD>(fake_channels[channel].period) : 0;
}

int Player_GetChannelVoice(UBYTE channel) { return channel < 64 ? fake_channels[channel].voice : -1; }

UWORD Voice_GetVolume(SBYTE voice) {
    const FakeChannel *c = by_voice(voice);
    return c ? static_cast<UWORD>(c->volume) : 0;
}

ULONG Voice_GetFrequency(SBYTE voice) {
    const FakeChannel *c = by_voice(voice);
    return c ? static_cast<ULONG>(c->frequency) : 0;
}

SLONG Voice_GetPosition(SBYTE voice) {
    const FakeChannel *c = by_voice(voice);
    return c ? static_cast<SLONG>(c->position) : 0;
}

ULONG Voice_GetPanning(SBYTE voice) {
    const FakeChannel *c = by_voice(voice);
    return c ? static_cast<ULONG>(c->panning) : 128;
}

ULONG Voice_RealVolume(SBYTE voice) {
    const FakeChannel *c = by_voice(voice);
    return c ? static_cast<ULONG>(c->real_volume) : 0;
}

void Player_Mute(SLONG channel, ...) {
    if (channel >= 0 && channel < 64) fake_muted[channel] = 1;
}

void Player_Unmute(SLONG channel, ...) {
    if (channel >= 0 && channel < 64) fake_muted[channel] = 0;
}

}  // extern "C"
