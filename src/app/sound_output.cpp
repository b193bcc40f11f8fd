#include "app/sound_output.h"

#include <ctime>
#include <mikmod.h>

namespace {

bool sound_started = false;

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
