// The packs benchmark's stopwatch: times listing a directory or a pack and
// loading modules from either, as the player does (read into memory, then
// loaded by libmikmod from there), with libmikmod's silent driver.
//
//   pack_timer list PATH ROUNDS       a directory (read and stat'ed as the
//                                     file selector does) or a pack
//   pack_timer load ROUNDS PATH...    each module ROUNDS times
//
// Prints the best round's seconds.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <mikmod.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "1_player/archive_path.h"
#include "1_player/module_loader.h"

namespace {

double now_seconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

int list_once(const char *path) {
    struct stat info;
    if (stat(path, &info) == 0 && S_ISDIR(info.st_mode)) {
        DIR *dir = opendir(path);
        if (!dir) return -1;
        int n = 0;
        while (const dirent *e = readdir(dir)) {
            const std::string entry = std::string(path) + "/" + e->d_name;
            struct stat entry_info;
            n += stat(entry.c_str(), &entry_info) == 0;
        }
        closedir(dir);
        return n;
    }
    ArchiveIndex index;
    char message[256];
    if (read_archive_index(path, index, message, sizeof message) != 0) {
        std::fprintf(stderr, "pack_timer: %s: %s\n", path, message);
        return -1;
    }
    return static_cast<int>(archive_folder(index, "").size());
}

int load_once(const char *path) {
    std::vector<char> data;
    char message[256];
    if (read_module_file(path, data, message, sizeof message) != 0) {
        std::fprintf(stderr, "pack_timer: %s: %s\n", path, message);
        return -1;
    }
    MODULE *m = Player_LoadMem(data.data(), static_cast<int>(data.size()), 64, 0);
    if (!m) {
        std::fprintf(stderr, "pack_timer: %s: %s\n", path, MikMod_strerror(MikMod_errno));
        return -1;
    }
    Player_Free(m);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 4 || (std::strcmp(argv[1], "list") != 0 && std::strcmp(argv[1], "load") != 0)) {
        std::fputs("usage: pack_timer list PATH ROUNDS | pack_timer load ROUNDS PATH...\n", stderr);
        return 2;
    }
    double best = 1e9;
    if (std::strcmp(argv[1], "list") == 0) {
        const int rounds = std::atoi(argv[3]);
        for (int r = 0; r < rounds; ++r) {
            const double start = now_seconds();
            if (list_once(argv[2]) < 0) return 1;
            best = std::min(best, now_seconds() - start);
        }
    } else {
        MikMod_RegisterDriver(&drv_nos);
        MikMod_RegisterAllLoaders();
        if (MikMod_Init("") != 0) {
            std::fprintf(stderr, "pack_timer: %s\n", MikMod_strerror(MikMod_errno));
            return 1;
        }
        const int rounds = std::atoi(argv[2]);
        for (int r = 0; r < rounds; ++r) {
            const double start = now_seconds();
            for (int i = 3; i < argc; ++i)
                if (load_once(argv[i]) != 0) return 1;
            best = std::min(best, now_seconds() - start);
        }
        MikMod_Exit();
    }
    std::printf("%.6f\n", best);
    return 0;
}
