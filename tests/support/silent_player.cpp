#include "silent_player.h"

#include <gtest/gtest.h>
#include <mikmod.h>

void start_silent_player() {
    MikMod_RegisterDriver(&drv_nos);
    MikMod_RegisterAllLoaders();
    ASSERT_EQ(MikMod_Init(""), 0) << MikMod_strerror(MikMod_errno);
}

void stop_silent_player() { MikMod_Exit(); }
