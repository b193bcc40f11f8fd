#include "app/module_loader.h"

#include <gtest/gtest.h>
#include <string>

TEST(ModuleLoader, FileNameIsThePartAfterTheLastSlash) {
    EXPECT_STREQ(file_name_of("/music/mods/song.xm"), "song.xm");
    EXPECT_STREQ(file_name_of("song.xm"), "song.xm");
    EXPECT_STREQ(file_name_of("dir/"), "");
}

TEST(ModuleLoader, FileInfoShowsBytesAndKilobytes) {
    char text[256];
    format_file_info(text, sizeof text, "a.mod", 31, 31, 512);
    EXPECT_STREQ(text, "a.mod  [ 31 smp, 31 ins, 512 bytes, 0.5 KB ]");
    format_file_info(text, sizeof text, "big.it", 3, 0, 3'000'000'000LL);
    EXPECT_STREQ(text, "big.it  [ 3 smp, 0 ins, 3000000000 bytes, 2929687.5 KB ]");
}
