#include "silent_player.h"

#include <gtest/gtest.h>
#include <fstream>
#include <iterator>
#include <mikmod.h>

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

void stop_silent_player() { MikMod_Exit(); }

std::vector<char> file_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
