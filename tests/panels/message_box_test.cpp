#include "panels/message_box.h"

#include <gtest/gtest.h>
#include <string>

#include "headless_screen.h"
#include "panels/colors.h"

TEST(MessageBox, TwentyCharactersAreCentredInABoxOfTwentyFourColumns) {
    HeadlessScreen screen(24, 80);
    PanelWindow box = open_message_box("12345678901234567890", kMessageError);
    ASSERT_NE(box.win, nullptr);
    EXPECT_EQ(getbegy(box.win), 8);
    EXPECT_EQ(getbegx(box.win), 28);
    EXPECT_EQ(getmaxy(box.win), 6);
    EXPECT_EQ(getmaxx(box.win), 24);
    EXPECT_EQ(cells_text(shown(), 8, 28, 24), "+----------------------+");
    EXPECT_EQ(cells_text(shown(), 9, 28, 24), "| 12345678901234567890 |");
    EXPECT_EQ(cell_attr(shown(), 9, 30), bold_pair(kRedOnBlack));
    EXPECT_EQ(cells_text(shown(), 12, 37, 6), "[ OK ]");
    EXPECT_EQ(cell_attr(shown(), 12, 37), kReverse);
    close_panel_window(box);
}

TEST(MessageBox, OnlyEnterClosesIt) {
    HeadlessScreen screen;
    PanelWindow box = open_message_box("Not a file.", kMessageNotice);
    press_keys({'q', 27, 'x', KEY_UP, '\n', 'z'});
    wait_for_enter(box.win);
    EXPECT_EQ(wgetch(box.win), 'z');  // everything before Enter was used up by the box
    close_panel_window(box);
}

TEST(MessageBox, KindsOtherThanErrorAreGreen) {
    HeadlessScreen screen;
    for (int kind : {2, 3}) {
        PanelWindow box = open_message_box("saved", kind);
        EXPECT_EQ(cell_attr(box.win, 1, 2), bold_pair(kGreenOnBlack)) << kind;
        close_panel_window(box);
    }
}

TEST(MessageBox, TextsWiderThanTheScreenAreCutAndTinyScreensStillClose) {
    {
        HeadlessScreen screen(24, 80);
        std::string long_text(200, 'w');
        PanelWindow box = open_message_box(long_text.c_str(), kMessageError);
        EXPECT_EQ(getbegx(box.win), 0);
        EXPECT_EQ(getmaxx(box.win), 80);
        EXPECT_EQ(cells_text(box.win, 1, 0, 80), "| " + std::string(76, 'w') + " |");
        close_panel_window(box);
    }
    {
        HeadlessScreen screen(4, 12);
        PanelWindow box = open_message_box("Can't open '/a/long/path'.", kMessageError);
        ASSERT_NE(box.win, nullptr);
        EXPECT_LE(getmaxy(box.win), 4);
        EXPECT_LE(getmaxx(box.win), 12);
        press_keys({'\n'});
        wait_for_enter(box.win);
        close_panel_window(box);
    }
}

TEST(MessageBox, ControlBytesOfAMessageTakeOneCellEach) {
    HeadlessScreen screen;
    PanelWindow box = open_message_box("a\nb\tc\x1b[2Jd%s", kMessageError);
    EXPECT_EQ(cells_text(box.win, 1, 0, 16), "| a.b.c.[2Jd%s |");
    close_panel_window(box);
}
