#include "3_panels/about_panel.h"

#include <cstring>
#include <gtest/gtest.h>
#include <panel.h>
#include <string>

#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "headless_screen.h"

namespace {

class AboutPanel : public ::testing::Test {
protected:
    HeadlessScreen screen{24, 80};
    void SetUp() override { create_test_main_window(); }
    void TearDown() override { destroy_test_main_window(); }
};

int length(const char *text) { return static_cast<int>(std::strlen(text)); }

}  // namespace

TEST_F(AboutPanel, CentredWithItsTextsInTheirAttributes) {
    PanelWindow about = open_about_panel();
    ASSERT_NE(about.win, nullptr);
    EXPECT_EQ(getbegx(about.win), 20);
    EXPECT_EQ(getbegy(about.win), 6);
    EXPECT_EQ(getmaxy(about.win), 14);
    EXPECT_EQ(getmaxx(about.win), 40);
    EXPECT_EQ(row_text(shown(), 6).substr(20, 40), "+" + std::string(38, '-') + "+");  // no title frame

    const struct {
        int row, col;
        std::string text;
        attr_t attribute;
    } pieces[] = {
        {2, 12, ":: ", bold_pair(kCyanOnBlack)},
        {2, 15, "About ", bold_pair(kGreenOnBlack)},
        {2, 21, "XQ ", bold_pair(kBlueOnBlack)},
        {2, 24, "::", bold_pair(kCyanOnBlack)},
        {4, 8, kAboutCopyright, bold_pair(kCyanOnBlack)},
        {5, 4, kAboutAuthors, pair(kCyanOnBlack)},
        {8, 5, "xq v0.6 (280104): 5984 lines", kNormal},
        {11, 11, kAboutScheme, bold_pair(kBlueOnBlack)},
        {11, 16, "//", bold_pair(kCyanOnBlack)},
        {11, 18, kAboutHost, bold_pair(kYellowOnBlack)},
        {11, 18 + length(kAboutHost), std::string(9 - length(kAboutHost), ' ') + "/", bold_pair(kCyanOnBlack)},
    };
    for (const auto &p : pieces) {
        const int n = static_cast<int>(p.text.size());
        ASSERT_LT(p.col + n, 39) << p.text << " runs into the border";
        EXPECT_EQ(cells_text(shown(), 6 + p.row, 20 + p.col, n), p.text);
        for (int i = 0; i < n; ++i) EXPECT_EQ(cell_attr(shown(), 6 + p.row, 20 + p.col + i), p.attribute) << p.text;
    }
    EXPECT_EQ(length(kAboutScheme), 5);
    EXPECT_EQ(kAboutScheme[4], ':');
    EXPECT_LE(length(kAboutHost), 9);
    EXPECT_EQ(cells_text(about.win, 11, 11, 17),
              std::string(kAboutScheme) + "//" + kAboutHost + std::string(9 - length(kAboutHost), ' ') + "/");

    press_keys({'q'});
    run_about_panel(about);
}

TEST_F(AboutPanel, OnlyQClosesIt) {
    press_keys({27, 'Q', 'h', 'i', KEY_UP, '\n', 'q', 'z'});
    about_panel();
    EXPECT_EQ(wgetch(main_win), 'z');
    EXPECT_EQ(panel_below(nullptr), main_panel);
}
