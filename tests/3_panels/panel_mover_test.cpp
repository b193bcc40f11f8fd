#include "3_panels/panel_mover.h"

#include <gtest/gtest.h>

#include "3_panels/panel_positions.h"
#include "3_panels/panel_window.h"
#include "headless_screen.h"


TEST(PanelMover, ArrowKeysStopAtTheScreenEdges) {
    HeadlessScreen screen(24, 80);
    PanelPositions = default_panel_positions(80, 24);
    const struct {
        const char *what;
        std::initializer_list<int> keys;
        int row, col;
    } cases[] = {
        {"right edge", {KEY_RIGHT, KEY_RIGHT, KEY_RIGHT, KEY_RIGHT, KEY_RIGHT, KEY_RIGHT, KEY_RIGHT, '\n'}, 2, 10},
        {"bottom edge", {KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN, '\n'}, 4, 5},
        {"top and left", {KEY_UP, KEY_UP, KEY_UP, KEY_LEFT, KEY_LEFT, KEY_LEFT, KEY_LEFT, KEY_LEFT, KEY_LEFT, '\n'}, 0, 0},
        {"q and Escape do not end moving", {'q', 27, KEY_RIGHT, '\n'}, 2, 6},
    };
    for (const auto &c : cases) {
        PanelWindow pw = open_panel_window(20, 70, 2, 5, "Help");
        press_keys(c.keys);
        move_panel_interactively(pw.panel);
        EXPECT_EQ(getbegy(pw.win), c.row) << c.what;
        EXPECT_EQ(getbegx(pw.win), c.col) << c.what;
        close_panel_window(pw);
    }
}

TEST(PanelMover, EnterStoresTheCornerOnlyForPanelsThatKeepIt) {
    HeadlessScreen screen(24, 80);
    PanelPositions = default_panel_positions(80, 24);

    PanelWindow help = open_panel_window(20, 70, PanelPositions.help.y, PanelPositions.help.x, "Help");
    remember_panel_window(MovableEntry::help, help.win);
    press_keys({KEY_RIGHT, KEY_DOWN, '\n'});
    move_panel_interactively(help.panel);
    EXPECT_EQ(PanelPositions.help.x, 6);
    EXPECT_EQ(PanelPositions.help.y, 3);
    forget_panel_window(help.win);
    close_panel_window(help);

    // The playlist panel moves while open but keeps no corner.
    PanelWindow playlist = open_panel_window(22, 72, PanelPositions.playlist.y, PanelPositions.playlist.x, "Playlist");
    press_keys({KEY_LEFT, '\n'});
    move_panel_interactively(playlist.panel);
    EXPECT_EQ(getbegx(playlist.win), 3);
    EXPECT_EQ(PanelPositions.playlist.x, 4);
    EXPECT_EQ(PanelPositions.help.x, 6);
    close_panel_window(playlist);
}

TEST(PanelMover, ClosedPanelsNoLongerMatch) {
    HeadlessScreen screen;
    PanelWindow first = open_panel_window(16, 68, 4, 6, nullptr);
    remember_panel_window(MovableEntry::all_channels, first.win);
    forget_panel_window(first.win);
    EXPECT_EQ(entry_of_window(first.win), MovableEntry::count);
    close_panel_window(first);
}
