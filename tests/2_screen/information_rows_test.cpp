#include "2_screen/information_rows.h"

#include <gtest/gtest.h>

TEST(InformationRows, TheFileRowNamesThePackAMemberCameFrom) {
    char text[64];
    format_pack_note(text, sizeof text, "pack.zip");
    EXPECT_STREQ(text, "  [ in pack.zip ]");
    format_pack_note(text, sizeof text, "");
    EXPECT_STREQ(text, "");
}
