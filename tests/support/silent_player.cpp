#include "silent_player.h"

#include <gtest/gtest.h>
#include <fstream>
#include <iterator>
#include <mikmod.h>
#include <utility>

#include "1_player/loaded_module.h"
#include "1_player/player.h"
#include "1_player/player_core.h"

void start_silent_player() {
    // The library links a registered loader into its list: registering one
    // twice would make the list a loop, so several suites of one test
    // program register only once.
    static bool registered = false;
    if (!registered) {
        MikMod_RegisterDriver(&drv_nos);
        MikMod_RegisterAllLoaders();
        registered = true;
    }
    ASSERT_EQ(MikMod_Init(""), 0) << MikMod_strerror(MikMod_errno);
}

void stop_silent_player() {
    player_unload();
    MikMod_Exit();
}

std::vector<char> file_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

MODULE *player_module() { return player_core().module; }

void adopt_module(MODULE *module, bool start, const char *path, long long bytes,
                  const std::function<void(ModuleInfo &)> &change) {
    PlayerCore &core = player_core();
    if (core.module != module) player_unload();
    core.module = module;
    ModuleInfo info = *describe_module(*module, path, bytes, ++core.loads);
    if (change) change(info);
    core.info = std::make_shared<const ModuleInfo>(std::move(info));
    core.stopped = false;
    core.muted = 0;
    core.song_position = 0;
    if (start) Player_Start(module);
}

void forget_module() {
    PlayerCore &core = player_core();
    core.module = nullptr;
    core.info = nullptr;
    core.muted = 0;
}
