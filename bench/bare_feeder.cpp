// The benchmarks' baseline: the bare libmikmod loop, without any screen.
// Loads a module with the output mode xq starts with, starts it and calls
// MikMod_Update over and over (each call blocks on the driver once its
// buffer is full) for the given number of seconds.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mikmod.h>

#include "1_player/settings.h"

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
    if (MikMod_Init("") != 0) {
        std::fprintf(stderr, "bare_feeder: %s\n", MikMod_strerror(MikMod_errno));
        return 1;
    }
    MODULE *module = Player_Load(argv[1], 64, 0);
    if (!module) {
        std::fprintf(stderr, "bare_feeder: %s\n", MikMod_strerror(MikMod_errno));
        MikMod_Exit();
        return 1;
    }
    Player_Start(module);
    const double end = now_seconds() + std::atof(argv[2]);
    while (now_seconds() < end) MikMod_Update();
    Player_Stop();
    Player_Free(module);
    MikMod_Exit();
    return 0;
}
