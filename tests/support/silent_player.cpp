#include "silent_player.h"

#include <gtest/gtest.h>
#include <mikmod.h>

void start_silent_player() {
    // Registering the loaders a second time in one process links their list
    // into a ring that the library then walks forever.
    static bool registered = false;
    if (!registered) {
        MikMod_RegisterDriver(&drv_nos);
        MikMod_RegisterAllLoaders();
        registered = true;
    }
    ASSERT_EQ(MikMod_Init(""), 0) << MikMod_strerror(MikMod_errno);
}

void stop_silent_player() { MikMod_Exit(); }
