// The benchmark's baseline: the player's sound path without any screen.
// Loads a module with the output mode xq starts with, then feeds the driver
// exactly as xq's idle step does, waking every key wait,
// for the given number of seconds.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mikmod.h>
#include <poll.h>

#include "app/settings.h"
#include "app/sound_output.h"

namespace {

double now_seconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fputs("usage: bare_feeder MODULE SECONDS\n", stderr);
        return 2;
    }
    MikMod_RegisterAllDrivers();
    MikMod_RegisterAllLoaders();
    md_mode = static_cast<UWORD>(output_mode(md_mode));
    if (start_sound() != 0) {
        std::fprintf(stderr, "bare_feeder: %s\n", MikMod_strerror(MikMod_errno));
        return 1;
    }
    MODULE *module = Player_Load(argv[1], 64, 0);
    if (!module) {
        std::fprintf(stderr, "bare_feeder: %s\n", MikMod_strerror(MikMod_errno));
        stop_sound();
        return 1;
    }
    Player_Start(module);
    const double end = now_seconds() + std::atof(argv[2]);
    while (now_seconds() < end) {
        poll(nullptr, 0, key_wait_ms());  // where xq waits for a key
        feed_player();
    }
    Player_Stop();
    Player_Free(module);
    stop_sound();
    return 0;
}
