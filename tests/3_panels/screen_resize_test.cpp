#include "3_panels/screen_resize.h"

#include <gtest/gtest.h>
#include <panel.h>
#include <string>

#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_window.h"
#include "headless_screen.h"

namespace {

std::string border_row(int width) { return "+" + std::string(static_cast<std::size_t>(width - 2), '-') + "+"; }

bool right_border_whole(WINDOW *win) {
    for (int r = 1; r < getmaxy(win) - 1; ++r)
        if (cells_text(win, r, getmaxx(win) - 1, 1) != "|") return false;
    return true;
}

int redraws = 0;
void count_redraw(WINDOW *win) {
    ++redraws;
    put_text(win, 1, 1, "drawn again");
}

class ScreenResize : public ::testing::Test {
protected:
    HeadlessScreen screen{24, 80};
    void SetUp() override {
        create_test_main_window();
        redraws = 0;
    }
    void TearDown() override { destroy_test_main_window(); }
};

}  // namespace

TEST_F(ScreenResize, TheMainWindowAndOpenPanelsFollowTheScreen) {
    PanelWindow plain = open_panel_window(16, 68, 4, 6, "Plain");
    put_text(plain.win, 3, 3, "kept");
    PanelWindow drawn = open_panel_window(6, 20, 10, 50, nullptr);
    set_panel_redraw(drawn.win, count_redraw);

    resizeterm(12, 40);
    follow_terminal_size();
    EXPECT_EQ(screen_rows(), 12);
    EXPECT_EQ(screen_cols(), 40);
    EXPECT_EQ(getmaxy(main_win), 12);
    EXPECT_EQ(getmaxx(main_win), 40);
    EXPECT_EQ(row_text(main_win, 11), border_row(40));
    EXPECT_EQ(cells_text(main_win, 0, 0, 13), " :: XQ v0.6 :");

    // Cut to the screen and moved onto it, its border drawn again, its
    // contents kept.
    EXPECT_EQ(getbegy(plain.win), 0);
    EXPECT_EQ(getbegx(plain.win), 0);
    EXPECT_EQ(getmaxy(plain.win), 12);
    EXPECT_EQ(getmaxx(plain.win), 40);
    EXPECT_EQ(row_text(plain.win, 11), border_row(40));
    EXPECT_TRUE(right_border_whole(plain.win));
    EXPECT_EQ(cells_text(plain.win, 0, 2, 9), "[ Plain ]");
    EXPECT_EQ(cells_text(plain.win, 3, 3, 4), "kept");
    // Only moved, as a saved corner that does not fit: the same size, no redraw.
    EXPECT_EQ(getbegy(drawn.win), 6);
    EXPECT_EQ(getbegx(drawn.win), 20);
    EXPECT_EQ(getmaxx(drawn.win), 20);
    EXPECT_EQ(redraws, 0);

    resizeterm(10, 15);
    follow_terminal_size();
    EXPECT_EQ(redraws, 1);
    EXPECT_EQ(row_text(drawn.win, 5), border_row(15));
    EXPECT_EQ(cells_text(drawn.win, 1, 1, 11), "drawn again");

    // Growing back: the size asked for at opening, the old border gone from
    // the inside.
    resizeterm(24, 80);
    follow_terminal_size();
    EXPECT_EQ(getmaxy(plain.win), 16);
    EXPECT_EQ(getmaxx(plain.win), 68);
    EXPECT_EQ(row_text(plain.win, 15), border_row(68));
    EXPECT_TRUE(right_border_whole(plain.win));
    for (int r = 1; r < 15; ++r) EXPECT_EQ(cells_text(plain.win, r, 14, 1), " ") << r;
    EXPECT_EQ(cells_text(plain.win, 9, 1, 10), std::string(10, ' '));
    EXPECT_EQ(redraws, 2);

    close_panel_window(drawn);
    close_panel_window(plain);
}

TEST_F(ScreenResize, APanelsHeightCanFollowTheScreensAndDeletedPanelsAreLeftAlone) {
    PanelWindow tall = open_panel_window(LINES - 3, 60, 2, 10, "Tall");
    set_panel_height_rule(tall.win, 3);
    PanelWindow gone = open_panel_window(5, 10, 1, 1, nullptr);
    // Deleted behind the framework's back: never touched again.
    del_panel(gone.panel);
    delwin(gone.win);

    resizeterm(40, 100);
    follow_terminal_size();
    EXPECT_EQ(getmaxy(tall.win), 37);
    EXPECT_EQ(getmaxx(tall.win), 60);
    resizeterm(14, 100);
    follow_terminal_size();
    EXPECT_EQ(getmaxy(tall.win), 11);
    EXPECT_EQ(getbegy(tall.win), 2);

    // Nothing to do while the size stays.
    const int before = getbegx(tall.win);
    move_panel(tall.panel, 2, before + 1);
    follow_terminal_size();
    EXPECT_EQ(getbegx(tall.win), before + 1);
    close_panel_window(tall);
}

// Sizes that came and went between two idle steps leave curses' windows cut
// though the size is the one last seen: the resize key draws the main
// window whole again all the same.
TEST_F(ScreenResize, AStormThatEndsAtTheSizeLastSeenStillRedrawsTheMainWindow) {
    follow_terminal_size();
    std::string before[24];
    for (int r = 0; r < 24; ++r) before[r] = row_text(main_win, r);
    resizeterm(1, 1);
    resizeterm(24, 80);
    EXPECT_FALSE(follow_terminal_size());  // no resize key: nothing to do at the size last seen
    note_resize_key();
    EXPECT_TRUE(follow_terminal_size());
    EXPECT_EQ(getmaxy(main_win), 24);
    EXPECT_EQ(getmaxx(main_win), 80);
    for (int r = 0; r < 24; ++r) EXPECT_EQ(row_text(main_win, r), before[r]) << "row " << r;
}
