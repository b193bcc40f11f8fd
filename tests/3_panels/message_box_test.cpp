#include "3_panels/message_box.h"

#include <gtest/gtest.h>
#include <string>

#include "2_screen/colors.h"
#include "2_screen/keys.h"
#include "4_program/startup.h"
#include "headless_screen.h"

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

// The box of a file that could not be loaded needs no answer: q and Escape
// close it as Enter does; other keys are used up.
TEST(MessageBox, ADismissableBoxClosesOnEnterQOrEscape) {
    HeadlessScreen screen;
    for (int key : {int{'\n'}, KEY_ENTER, int{'q'}, kEscape}) {
        PanelWindow box = open_message_box("'a.xm': Not a file.", kMessageError);
        press_keys({'x', KEY_UP, key, 'z'});
        wait_for_dismissal(box.win);
        EXPECT_EQ(wgetch(box.win), 'z') << key;
        close_panel_window(box);
    }
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

// Shrunk to nothing and grown back before the program looks: curses cut the
// box (and may have moved it) and grew it back blank; the box is drawn whole
// again, on the screen.
TEST(MessageBox, AStormOfResizesLeavesTheBoxWhole) {
    HeadlessScreen screen(24, 80);
    create_test_main_window();
    PanelWindow box = open_message_box("12345678901234567890", kMessageError);
    for (int i = 0; i < 5; ++i) {
        resizeterm(1, 1);
        resizeterm(24, 80);
    }
    flushinp();
    press_keys({KEY_RESIZE});
    static int waited;
    waited = 0;
    wait_for_enter(box.win, [] { return ++waited == 2; });  // once the resize has been read
    ASSERT_EQ(getmaxy(box.win), 6);
    ASSERT_EQ(getmaxx(box.win), 24);
    const int y = getbegy(box.win);
    const int x = getbegx(box.win);
    EXPECT_LE(y + 6, 24);
    EXPECT_LE(x + 24, 80);
    EXPECT_EQ(cells_text(shown(), y, x, 24), "+----------------------+");
    EXPECT_EQ(cells_text(shown(), y + 1, x, 24), "| 12345678901234567890 |");
    EXPECT_EQ(cells_text(shown(), y + 4, x + 9, 6), "[ OK ]");
    EXPECT_EQ(cells_text(shown(), y + 5, x, 24), "+----------------------+");
    close_panel_window(box);
    destroy_test_main_window();
}
