// Stand-ins for the player's per-channel and per-voice queries, linked
// into the channel-table tests in place of libmikmod's, so that a test can
// set exact values (panning 0 or 255, volume 256, voices outside the table).
#pragma once

#include <mikmod.h>

struct FakeChannel {
    int period = 0;
    int voice = 0;
    int volume = 0;
    long frequency = 0;
    long position = 0;
    unsigned long panning = 128;
    long real_volume = 0;
};

// Per channel; a channel's voice values are looked up by its voice number.
extern FakeChannel fake_channels[64];
extern int fake_muted[64];  // what the last Player_Mute/Player_Unmute did

void reset_fake_player();
