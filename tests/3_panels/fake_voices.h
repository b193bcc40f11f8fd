// Stand-ins for the player's voice queries, linked into the monitor tests in
// place of libmikmod's: a test sets each voice's values and reads back which
// voice numbers were asked for.
#pragma once

#include <mikmod.h>

struct FakeVoice {
    unsigned volume = 0;
    unsigned long real_volume = 0;
    unsigned long frequency = 0;
    long position = 0;
    unsigned long panning = 128;
};

inline constexpr int kFakeVoices = 128;
extern FakeVoice fake_voices[kFakeVoices];
extern int lowest_queried_voice;   // since the last reset
extern int highest_queried_voice;  // -1 when none was queried

void reset_fake_voices();
