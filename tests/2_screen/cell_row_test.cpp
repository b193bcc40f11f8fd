#include "2_screen/cell_row.h"

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "2_screen/colors.h"
#include "2_screen/screen_text.h"
#include "headless_screen.h"

namespace {

class CellRowTest : public ::testing::Test {
protected:
    HeadlessScreen screen{6, 30};
    WINDOW *win = newwin(6, 30, 0, 0);
    ~CellRowTest() override { delwin(win); }
};

}  // namespace

TEST(CellRowNumber, WritesWhatPrintfWrites) {
    HeadlessScreen screen{3, 40};
    WINDOW *win = newwin(3, 40, 0, 0);
    const struct {
        long value;
        int width;
        bool zero_pad;
        const char *format;
    } cases[] = {
        {0, 3, false, "%3ld"},         {7, 2, true, "%02ld"},        {42, 6, false, "%6ld"},
        {-5, 3, false, "%3ld"},        {-5, 3, true, "%03ld"},       {1234567, 6, false, "%6ld"},
        {100, 3, false, "%3ld"},       {-2147483648L, 6, false, "%6ld"}, {4294967295L, 2, true, "%02ld"},
    };
    for (const auto &c : cases) {
        char want[32];
        std::snprintf(want, sizeof want, c.format, c.value);
        werase(win);
        CellRow row(win, 1);
        row.at(2).text("[").number(c.value, c.width, c.zero_pad).text("]");
        row.flush();
        EXPECT_EQ(cells_text(win, 1, 2, static_cast<int>(std::strlen(want)) + 2), "[" + std::string(want) + "]")
            << c.format << " of " << c.value;
    }
    delwin(win);
}

TEST_F(CellRowTest, CellsNoPieceTouchedKeepWhatTheWindowHolds) {
    set_attr(win, bold_pair(kRedOnBlack));
    put_text(win, 2, 0, "abcdefghij");
    CellRow row(win, 2);
    row.attr(pair(kCyanOnBlack)).at(1).text("XY").attr(kReverse).at(6).run('*', 2);
    row.flush();
    EXPECT_EQ(cells_text(win, 2, 0, 10), "aXYdef**ij");
    EXPECT_EQ(cell_attr(win, 2, 0), bold_pair(kRedOnBlack));
    EXPECT_EQ(cell_attr(win, 2, 2), pair(kCyanOnBlack));
    EXPECT_EQ(cell_attr(win, 2, 4), bold_pair(kRedOnBlack));
    EXPECT_EQ(cell_attr(win, 2, 7), kReverse);
    EXPECT_EQ(static_cast<attr_t>(getattrs(win)), kReverse);
}

// The point of composing a row: cells the window already shows are not
// written again, so curses has no changed cells to compare on that line.
TEST_F(CellRowTest, ARowTheWindowAlreadyShowsLeavesTheLineUntouched) {
    auto draw = [this](long value) {
        CellRow row(win, 3);
        row.attr(pair(kGreenOnBlack)).at(1).text("Pos:").number(value, 6);
        row.flush();
    };
    draw(1200);
    wnoutrefresh(win);
    EXPECT_FALSE(is_linetouched(win, 3));
    draw(1200);
    EXPECT_FALSE(is_linetouched(win, 3));
    draw(1201);
    EXPECT_TRUE(is_linetouched(win, 3));
    EXPECT_EQ(cells_text(win, 3, 1, 10), "Pos:  1201");
}

TEST_F(CellRowTest, StopsAtTheBorderOfAClippedWindowAndOutsideIt) {
    box(win, 0, 0);
    {
        const FrameClip clip(win);
        CellRow row(win, 1);
        row.at(25).text("abcdefgh");
        row.flush();
        CellRow bottom(win, 5);
        bottom.at(3).text("zz");
        bottom.flush();
    }
    EXPECT_EQ(cells_text(win, 1, 25, 4), "abcd");
    EXPECT_EQ(row_text(win, 1).back(), '|');
    EXPECT_EQ(cells_text(win, 5, 3, 2), "--");
    CellRow outside(win, 9);
    outside.at(0).text("never");
    outside.flush();
}

// On a screen one or two columns wide no piece of a table row lands in the
// window; such a row must write nothing and leave the next one intact.
TEST_F(CellRowTest, ARowWhereNoPieceLandsWritesNothing) {
    put_text(win, 2, 0, "keep");
    const struct {
        const char *what;
        void (*draw)(CellRow &);
    } cases[] = {
        {"no piece", [](CellRow &) {}},
        {"an empty run", [](CellRow &r) { r.at(1).run(' ', 0); }},
        {"a piece left of the window", [](CellRow &r) { r.at(-6).text("gone"); }},
        {"a piece past the widest row", [](CellRow &r) { r.at(CellRow::kMaxCols).text("gone"); }},
    };
    for (const auto &c : cases) {
        CellRow row(win, 2);
        c.draw(row);
        row.flush();
        EXPECT_EQ(cells_text(win, 2, 0, 4), "keep") << c.what;
        row.at(4).text("!");
        row.flush();
        EXPECT_EQ(cells_text(win, 2, 0, 5), "keep!") << c.what << ", then a piece";
        put_text(win, 2, 4, " ");
    }
}
