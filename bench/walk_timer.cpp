// Times the walk of each module named on the command line: the library's
// own tick run from the start of each of its songs to its end, mixing
// nothing, as a load does before the module sounds. Prints one line per
// module: the best of five walks, in milliseconds, and the songs found with
// their lengths.
#include <chrono>
#include <cstdio>
#include <mikmod.h>
#include <vector>

#include "1_player/module_loader.h"
#include "1_player/song_walk.h"

int main(int argc, char **argv) {
    MikMod_RegisterDriver(&drv_nos);
    MikMod_RegisterAllLoaders();
    if (MikMod_Init("") != 0) {
        std::fprintf(stderr, "walk_timer: %s\n", MikMod_strerror(MikMod_errno));
        return 1;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<char> data;
        char reason[256];
        if (read_module_file(argv[i], data, reason, sizeof reason) != 0) {
            std::fprintf(stderr, "walk_timer: %s: %s\n", argv[i], reason);
            status = 1;
            continue;
        }
        double best_ms = 1e300;
        SongWalks songs;
        for (int run = 0; run < 5; ++run) {
            const auto start = std::chrono::steady_clock::now();
            songs = walk_module_bytes(data.data(), data.size());
            const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
            if (took.count() < best_ms) best_ms = took.count();
        }
        std::printf("%s\t%.2f ms\t%zu song(s):", argv[i], best_ms, songs.size());
        for (const SongWalk &s : songs) std::printf(" %.2f s%s", s.length_ns / 1e9, s.length_known ? "" : "+");
        std::printf("\n");
    }
    MikMod_Exit();
    return status;
}
