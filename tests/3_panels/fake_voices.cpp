#include "fake_voices.h"

FakeVoice fake_voices[kFakeVoices];
int lowest_queried_voice = 1000;
int highest_queried_voice = -1;

void reset_fake_voices() {
    for (auto &v : fake_voices) v = FakeVoice{};
    lowest_queried_voice = 1000;
    highest_queried_voice = -1;
}

namespace {

// The voice asked for, noted; the library answers 0 (or the centre) for a
// voice it has not allocated, and so does this stand-in for one outside it.
const FakeVoice *query(SBYTE voice) {
    if (voice < lowest_queried_voice) lowest_queried_voice = voice;
    if (voice > highest_queried_voice) highest_queried_voice = voice;
    static const FakeVoice silent{};
    return voice >= 0 && voice < kFakeVoices ? &fake_voices[voice] : &silent;
}

}  // namespace

extern "C" {

UWORD Voice_GetVolume(SBYTE voice) { return static_cast<UWORD>(query(voice)->volume); }
ULONG Voice_RealVolume(SBYTE voice) { return query(voice)->real_volume; }
ULONG Voice_GetFrequency(SBYTE voice) { return query(voice)->frequency; }
SLONG Voice_GetPosition(SBYTE voice) { return static_cast<SLONG>(query(voice)->position); }
ULONG Voice_GetPanning(SBYTE voice) { return query(voice)->panning; }

}  // extern "C"
