#include "2_screen/information_rows.h"

#include <gtest/gtest.h>

TEST(InformationRows, TheFileRowNamesAMemberAndItsPack) {
    const struct {
        const char *path;
        const char *archive;
        const char *shown;
    } cases[] = {
        {"/m/song.xm", "", "song.xm"},
        {"/m/pack.zip/sub/song.xm", "pack.zip", "song.xm  [ in pack.zip ]"},
        {"/m/pack.7z/inner.zip/a.mod", "inner.zip", "a.mod  [ in inner.zip ]"},
        {"/m/song.xm.gz", "", "song.xm.gz"},
    };
    for (const auto &c : cases) {
        char text[256];
        file_row_name(text, sizeof text, c.path, c.archive);
        EXPECT_STREQ(text, c.shown);
    }
}
