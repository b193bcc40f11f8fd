#include "3_panels/panel_window.h"

#include <gtest/gtest.h>

#include "2_screen/colors.h"
#include "3_panels/panel_positions.h"
#include "headless_screen.h"

TEST(FitWindow, KeepsFittingWindowsAndPullsOthersOntoTheScreen) {
    const struct {
        const char *what;
        int rows, cols, y, x;
        WindowBox expected;
    } cases[] = {
        {"fits as it is", 16, 68, 4, 6, {16, 68, 4, 6}},
        {"touches the bottom-right corner", 16, 68, 8, 12, {16, 68, 8, 12}},
        {"corner saved on a larger terminal", 14, 40, 30, 120, {14, 40, 10, 40}},
        {"negative corner of a tiny screen", 20, 70, -3, -5, {20, 70, 0, 0}},
        {"wider than the screen", 6, 200, 8, -60, {6, 80, 8, 0}},
        {"taller than the screen", 40, 10, 2, 3, {24, 10, 0, 3}},
        {"empty size", 0, 0, 5, 5, {1, 1, 5, 5}},
    };
    for (const auto &c : cases) {
        WindowBox box = fit_window(c.rows, c.cols, c.y, c.x, 24, 80);
        EXPECT_EQ(box.rows, c.expected.rows) << c.what;
        EXPECT_EQ(box.cols, c.expected.cols) << c.what;
        EXPECT_EQ(box.y, c.expected.y) << c.what;
        EXPECT_EQ(box.x, c.expected.x) << c.what;
    }
}

TEST(DefaultCorners, EightyByTwentyFour) {
    PanelPositionTable t = default_panel_positions(80, 24);
    const struct {
        const char *panel;
        PanelCorner corner, expected;
    } cases[] = {
        {"monitors", t.all_channels, {6, 4}},       {"frequency", t.voices_frequency, {6, 4}},
        {"position", t.voices_position, {6, 4}},    {"effects", t.effects, {20, 0}},
        {"options", t.options, {20, 2}},            {"help", t.help, {5, 2}},
        {"samples", t.samples, {13, 5}},            {"instruments", t.instruments, {13, 6}},
        {"file selector", t.file_selector, {10, 2}}, {"playlist", t.playlist, {4, 1}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.corner.x, c.expected.x) << c.panel;
        EXPECT_EQ(c.corner.y, c.expected.y) << c.panel;
    }
}

TEST(PanelWindow, TitleSitsInItsBracketFrame) {
    HeadlessScreen screen;
    PanelWindow pw = open_panel_window(20, 70, 2, 5, "Help");
    ASSERT_NE(pw.win, nullptr);
    EXPECT_EQ(cells_text(pw.win, 0, 0, 12), "+-[ Help ]--");
    EXPECT_EQ(cell_attr(pw.win, 0, 4), bold_pair(kYellowOnBlack));
    EXPECT_EQ(cell_attr(pw.win, 0, 2), kNormal);
    EXPECT_EQ(cell_attr(pw.win, 0, 9), kNormal);
    close_panel_window(pw);
    EXPECT_EQ(pw.win, nullptr);
}

TEST(ColorPairs, BlackBackgroundsAreDrawnOnBlack) {
    HeadlessScreen screen{24, 80};
    for (int n = 1; n <= kColorPairCount; ++n) {
        short foreground = 0;
        short background = 0;
        pair_content(static_cast<short>(n), &foreground, &background);
        EXPECT_EQ(foreground, pair_colors(n).foreground) << n;
        EXPECT_EQ(background, pair_colors(n).background) << n;
    }
    EXPECT_EQ(pair_colors(5).background, COLOR_BLACK);
    short foreground = 0;
    short background = 0;
    pair_content(0, &foreground, &background);
    EXPECT_EQ(background, -1);  // plain text keeps the terminal's own colours
}

TEST(ScrollToShow, KeepsTheRowInsideTheBorderOfAShortWindow) {
    const struct {
        int offset, row, rows, full, expected;
    } cases[] = {
        {3, 17, 20, 20, 0},   // a whole window never scrolls
        {0, 5, 12, 20, 0},    // already inside rows 1..10
        {0, 11, 12, 20, 1},   // one below the last row: scrolled by one
        {0, 17, 12, 20, 7},   // the last item: on the last row inside
        {7, 9, 12, 20, 7},    // still shown: the offset stays
        {7, 2, 12, 20, 1},    // above the first row: back up
        {4, 3, 2, 20, 4},     // no row inside a border: nothing to do
    };
    for (const auto &c : cases)
        EXPECT_EQ(scroll_to_show(c.offset, c.row, c.rows, c.full), c.expected)
            << c.offset << " " << c.row << " " << c.rows;
}
