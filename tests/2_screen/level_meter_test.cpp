#include "2_screen/level_meter.h"

#include <gtest/gtest.h>
#include <string>

#include "2_screen/colors.h"
#include "headless_screen.h"

namespace {

// One letter per cell attribute, so a row of a meter reads as a string.
char attr_code(attr_t a) {
    if (a == kNormal) return 'n';
    if (a == pair(kGreenOnBlack)) return 'g';
    if (a == reverse_pair(kGreenOnBlack)) return 'G';
    if (a == reverse_pair(kCyanOnBlack)) return 'C';
    if (a == pair(kRedOnRed)) return 'r';
    if (a == bold_pair(kRedOnRed)) return 'R';
    if (a == bold_pair(kRedOnBlack)) return 'B';
    if (a == pair(kRedOnBlack)) return 'b';
    if (a == pair(kBlueOnBlack)) return 'u';
    if (a == reverse_pair(kBlueOnBlack)) return 'U';
    if (a == bold_pair(kBlueOnBlack)) return 'H';
    if (a == kReverse) return 'v';
    return '?';
}

std::string attrs(WINDOW *win, int row, int col, int length) {
    std::string codes;
    for (int x = col; x < col + length; ++x) codes += attr_code(cell_attr(win, row, x));
    return codes;
}

std::string column_text(WINDOW *win, int col, int bottom) {
    std::string text;
    for (int r = bottom; r > bottom - 10; --r) text += cells_text(win, r, col, 1);
    return text;
}

std::string column_attrs(WINDOW *win, int col, int bottom) {
    std::string codes;
    for (int r = bottom; r > bottom - 10; --r) codes += attr_code(cell_attr(win, r, col));
    return codes;
}

std::string rep(int n, char c) { return std::string(static_cast<std::size_t>(n), c); }

class LevelMeter : public ::testing::Test {
protected:
    HeadlessScreen screen{24, 80};
    WINDOW *win = newwin(24, 80, 0, 0);
    void TearDown() override { delwin(win); }
};

}  // namespace

TEST_F(LevelMeter, HorizontalStyleOneFillsFiveCellsPerStepAndMarksClipping) {
    const struct {
        int percent;
        std::string cells_attrs;  // 20 bar cells, then the 5 cells of the number
        std::string number;
        attr_t left_behind;
    } cases[] = {
        {0, rep(20, 'g') + "nnnnn", "   0%", kNormal},
        {4, rep(20, 'g') + "nnnnn", "   4%", kNormal},
        {5, "G" + rep(19, 'g') + "nnnnn", "   5%", kNormal},
        {29, rep(5, 'G') + rep(15, 'g') + "nnnnn", "  29%", kNormal},
        {30, rep(6, 'C') + rep(14, 'g') + "nnnnn", "  30%", kNormal},
        {99, rep(19, 'C') + "g" + "nnnnn", "  99%", kNormal},
        {100, rep(19, 'C') + "r" + "BBBBB", " 100%", bold_pair(kRedOnBlack)},
        {150, rep(19, 'C') + "r" + "BBBBB", " 150%", bold_pair(kRedOnBlack)},
        {250, rep(19, 'C') + "r" + "BBBBB", " 250%", bold_pair(kRedOnBlack)},
        {-12, rep(20, 'g') + "nnnnn", " -12%", kNormal},
    };
    for (const auto &c : cases) {
        werase(win);
        level_meter(win, 54, 6, c.percent, true, 1);
        EXPECT_EQ(attrs(win, 6, 54, 25), c.cells_attrs) << c.percent;
        EXPECT_EQ(cells_text(win, 6, 54, 25), rep(20, ' ') + c.number) << c.percent;
        EXPECT_EQ(static_cast<attr_t>(getattrs(win)) & (A_BOLD | A_REVERSE | A_COLOR), c.left_behind) << c.percent;
    }
}

TEST_F(LevelMeter, HorizontalCharacterStylesTakeTheCallersAttribute) {
    const struct {
        int style;
        chtype fill;
    } styles[] = {{2, ACS_BULLET}, {3, ACS_RARROW}, {4, '*'}, {5, '#'}};
    for (const auto &s : styles) {
        werase(win);
        set_attr(win, kReverse);
        level_meter(win, 10, 3, 40, true, s.style);
        EXPECT_EQ(mvwinch(win, 3, 10) & (A_CHARTEXT | A_ALTCHARSET), s.fill & (A_CHARTEXT | A_ALTCHARSET)) << s.style;
        EXPECT_EQ(attrs(win, 3, 10, 25), rep(20, 'v') + "nnnnn") << s.style;
        EXPECT_EQ(cells_text(win, 3, 28, 7), "    40%") << s.style;

        werase(win);
        set_attr(win, kNormal);
        level_meter(win, 10, 3, 100, true, s.style);
        EXPECT_EQ(attrs(win, 3, 10, 25), rep(19, 'n') + "BBBBBB") << s.style;
        EXPECT_EQ(mvwinch(win, 3, 29) & (A_CHARTEXT | A_ALTCHARSET), s.fill & (A_CHARTEXT | A_ALTCHARSET)) << s.style;
    }
}

TEST_F(LevelMeter, VerticalBarsFillUpwardsOverShortLines) {
    const struct {
        int style;
        int percent;
        std::string text;   // bottom to top, line-drawing cells read as '-'
        std::string codes;  // bottom to top
    } cases[] = {
        {1, 0, rep(10, '-'), rep(10, 'H')},
        {1, 9, rep(10, '-'), rep(10, 'H')},
        {1, -40, rep(10, '-'), rep(10, 'H')},
        {1, 10, " " + rep(9, '-'), "U" + rep(9, 'H')},
        {1, 55, rep(5, ' ') + rep(5, '-'), rep(5, 'U') + rep(5, 'H')},
        {1, 100, rep(10, ' '), rep(9, 'U') + "R"},
        {4, 30, "***" + rep(7, '-'), "uuu" + rep(7, 'H')},
        {5, 120, rep(10, '#'), rep(9, 'u') + "b"},
    };
    for (const auto &c : cases) {
        werase(win);
        level_meter(win, 5, 12, c.percent, false, c.style);
        EXPECT_EQ(column_text(win, 5, 12), c.text) << c.style << "/" << c.percent;
        EXPECT_EQ(column_attrs(win, 5, 12), c.codes) << c.style << "/" << c.percent;
    }
    werase(win);
    level_meter(win, 5, 12, 20, false, 3);
    EXPECT_EQ(mvwinch(win, 12, 5) & (A_CHARTEXT | A_ALTCHARSET), ACS_UARROW & (A_CHARTEXT | A_ALTCHARSET));
    EXPECT_EQ(static_cast<attr_t>(getattrs(win)) & (A_BOLD | A_REVERSE | A_COLOR), bold_pair(kBlueOnBlack));
}

TEST_F(LevelMeter, CellsPastTheWindowEdgeAreSkipped) {
    level_meter(win, 70, 6, 100, true, 1);
    EXPECT_EQ(attrs(win, 6, 70, 10), rep(10, 'C'));
    level_meter(win, 0, 3, 100, false, 1);  // only rows 0 to 3 exist above row 3
    EXPECT_EQ(attr_code(cell_attr(win, 0, 0)), 'U');
    EXPECT_EQ(attr_code(cell_attr(win, 3, 0)), 'U');
}

TEST(MeterStyle, StarCyclesThroughFiveStyles) {
    int style = 1;
    std::string seen;
    for (int i = 0; i < 5; ++i) {
        style = next_meter_style(style);
        seen += std::to_string(style);
    }
    EXPECT_EQ(seen, "23451");
}
