#include "1_player/song_lengths.h"

#include <cstdio>
#include <mikmod.h>

#include "1_player/module_loader.h"
#include "1_player/song_walk.h"

int start_length_library(char *message, std::size_t size) {
    MikMod_RegisterDriver(&drv_nos);
    MikMod_RegisterAllLoaders();
    if (MikMod_Init("") != 0) {
        std::snprintf(message, size, "%s", MikMod_strerror(MikMod_errno));
        return -1;
    }
    return 0;
}

void stop_length_library() { MikMod_Exit(); }

int module_song_lengths(const char *path, std::vector<long long> &lengths_ms, char *message, std::size_t size) {
    lengths_ms.clear();
    std::vector<char> data;
    if (read_module_file(path, data, message, size) != 0) return -1;
    const SongWalks songs = walk_module_bytes(data.data(), data.size());
    if (songs.empty()) {
        std::snprintf(message, size, "%s", MikMod_strerror(MikMod_errno));
        return -1;
    }
    for (const SongWalk &song : songs) lengths_ms.push_back(song.length_known ? (song.length_ns + 500'000) / 1'000'000 : -1);
    return 0;
}
