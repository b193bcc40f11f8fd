#include "3_panels/panel_runner.h"

#include <gtest/gtest.h>
#include <panel.h>
#include <string>
#include <vector>

#include "1_player/player_core.h"
#include "2_screen/channel_table.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "3_panels/command_keys.h"
#include "4_program/startup.h"
#include "headless_screen.h"
#include "silent_player.h"

namespace {

class PanelRunner : public ::testing::Test {
protected:
    HeadlessScreen screen{24, 80};
    void SetUp() override { create_test_main_window(); }
    void TearDown() override { destroy_test_main_window(); }
};

constexpr int kCloseKeys[] = {'q', 27};

// A panel of ten rows that writes how many times it was drawn and, on its
// last row inside the border, its height.
struct FakePanel {
    std::vector<int> keys_seen;
    int draws = 0;
    int live_steps = 0;
    PanelDescription desc;

    explicit FakePanel(bool passes_on = false) {
        desc.rows = 10;
        desc.cols = 30;
        desc.y = 2;
        desc.x = 4;
        desc.title = "Fake";
        desc.close_keys = kCloseKeys;
        desc.passes_to_command_keys = passes_on;
        desc.on_key = [this](int key) {
            if (key == KEY_RESIZE) return KeyResult::passed;
            keys_seen.push_back(key);
            if (key == 'x') return KeyResult::closed;
            return key == 'k' ? KeyResult::handled : KeyResult::passed;
        };
        desc.draw = [this](WINDOW *win) {
            ++draws;
            put_text(win, 1, 1, "contents");
            put_text(win, getmaxy(win) - 2, 1, ("rows " + std::to_string(getmaxy(win))).c_str());
        };
        desc.live_step = [this](int) { ++live_steps; };
    }
};

}  // namespace

TEST_F(PanelRunner, ClosesOnItsCloseKeysOrAClosingHandlerOnly) {
    const struct {
        std::vector<int> keys;
        std::vector<int> seen;  // by the panel's handler before it closed
    } cases[] = {
        {{'k', 'Q', KEY_UP, 'q', 'z'}, {'k', 'Q', KEY_UP}},
        {{'k', 27, 'z'}, {'k'}},
        {{'\n', 'x', 'z'}, {'\n', 'x'}},
    };
    for (const auto &c : cases) {
        FakePanel fake;
        for (auto key = c.keys.rbegin(); key != c.keys.rend(); ++key) ungetch(*key);
        run_panel(fake.desc);
        EXPECT_EQ(fake.keys_seen, c.seen);
        EXPECT_EQ(wgetch(main_win), 'z');  // the key after the closing one is left
        EXPECT_EQ(panel_below(nullptr), main_panel);  // the panel is gone
    }
}

TEST_F(PanelRunner, OpensDrawnAndShownAndRepaintsTheMainWindowOnClose) {
    FakePanel fake;
    PanelWindow pw = open_panel(fake.desc);
    ASSERT_NE(pw.win, nullptr);
    EXPECT_EQ(fake.draws, 1);
    EXPECT_EQ(cells_text(shown(), 2, 4 + 2, 8), "[ Fake ]");
    EXPECT_EQ(cells_text(shown(), 3, 5, 8), "contents");
    const std::string beneath = row_text(main_win, 3);
    press_keys({'q'});
    run_panel(fake.desc, pw);
    EXPECT_EQ(pw.win, nullptr);
    EXPECT_EQ(row_text(shown(), 3), beneath);
}

TEST_F(PanelRunner, UnhandledKeysGoOnToTheCommandKeysOnlyWhenItSaysSo) {
    for (bool passes_on : {false, true}) {
        const int before = show_real_volume;
        FakePanel fake(passes_on);
        press_keys({'u', 'q'});
        run_panel(fake.desc);
        EXPECT_EQ(show_real_volume, passes_on ? 1 - before : before) << passes_on;
        show_real_volume = before;
    }
}

TEST_F(PanelRunner, ATableComesBeforeTheHandler) {
    static int table_keys = 0;
    static constexpr KeyBinding kTable[] = {{'t', [](int) {
                                                 ++table_keys;
                                                 return KeyResult::handled;
                                             }}};
    FakePanel fake;
    fake.desc.keys = kTable;
    press_keys({'t', 'k', 'q'});
    run_panel(fake.desc);
    EXPECT_EQ(table_keys, 1);
    EXPECT_EQ(fake.keys_seen, std::vector<int>{'k'});
}

TEST_F(PanelRunner, RunsItsLiveStepAtEveryPassWithTheKeyRead) {
    FakePanel fake;
    std::vector<int> stepped;
    fake.desc.live_step = [&stepped](int key) { stepped.push_back(key); };
    press_keys({'k', 'k'});
    int passes = 0;
    // Asked before every wait: before the first key, then after each pass;
    // the third pass is a timeout.
    fake.desc.close_when = [&passes] { return ++passes == 4; };
    run_panel(fake.desc);
    EXPECT_EQ(stepped, (std::vector<int>{'k', 'k', ERR}));
}

TEST_F(PanelRunner, ACutPanelIsDrawnWholeForItsNewHeight) {
    FakePanel fake;
    PanelWindow pw = open_panel(fake.desc);
    WINDOW *win = pw.win;
    resizeterm(6, 40);
    flushinp();
    press_keys({KEY_RESIZE});
    int passes = 0;
    fake.desc.close_when = [&passes] { return ++passes == 2; };  // after the resize's pass
    fake.desc.on_close = [&] {
        EXPECT_EQ(getmaxy(win), 6);
        EXPECT_EQ(cells_text(win, 0, 2, 8), "[ Fake ]");
        EXPECT_EQ(cells_text(win, 1, 1, 8), "contents");
        EXPECT_EQ(cells_text(win, 4, 1, 7), "rows 6 ");
        EXPECT_EQ(row_text(win, 5), "+" + std::string(28, '-') + "+");
    };
    run_panel(fake.desc, pw);
}

TEST_F(PanelRunner, DrawsWholeAgainAfterAStormOfResizesThatEndsWhereItBegan) {
    // The screen shrinks and grows back before the program looks: curses
    // cut the window and grew it back blank, at the size it had.
    FakePanel fake;
    PanelWindow pw = open_panel(fake.desc);
    WINDOW *win = pw.win;
    put_text(win, 4, 1, "scribble");  // not the panel's: gone once drawn whole
    resizeterm(3, 10);
    resizeterm(24, 80);
    flushinp();
    press_keys({KEY_RESIZE, 'q'});
    fake.desc.on_close = [&] {
        EXPECT_EQ(getmaxy(win), 10);
        EXPECT_EQ(getmaxx(win), 30);
        EXPECT_EQ(cells_text(win, 0, 2, 8), "[ Fake ]");
        EXPECT_EQ(cells_text(win, 1, 1, 8), "contents");
        EXPECT_EQ(cells_text(win, 4, 1, 8), std::string(8, ' '));
        EXPECT_EQ(cells_text(win, 8, 1, 7), "rows 10");
        EXPECT_EQ(row_text(win, 9), "+" + std::string(28, '-') + "+");
    };
    run_panel(fake.desc, pw);
}

TEST_F(PanelRunner, APanelOpenedFromAPanelRunsAndClosesInsideIt) {
    FakePanel inner;
    inner.desc.y = 5;
    FakePanel outer;
    WINDOW *outer_win = nullptr;
    outer.desc.on_key = [&](int key) {
        if (key != 'o') return key == KEY_RESIZE ? KeyResult::passed : KeyResult::handled;
        outer_win = panel_window(panel_below(nullptr));
        run_panel(inner.desc);
        // Back in the outer panel, which is on top again.
        EXPECT_EQ(panel_window(panel_below(nullptr)), outer_win);
        return KeyResult::handled;
    };
    press_keys({'o', 'k', 'x', 'q', 'z'});
    run_panel(outer.desc);
    EXPECT_EQ(inner.keys_seen, (std::vector<int>{'k', 'x'}));
    EXPECT_EQ(wgetch(main_win), 'z');
    EXPECT_EQ(panel_below(nullptr), main_panel);
}

TEST_F(PanelRunner, AnotherModuleIsFollowedAndThePanelDrawnWholeOnlyWhenItAsks) {
    MODULE first{};
    MODULE second{};
    for (bool follows : {false, true}) {
        forget_module();
        adopt_module(&first, false);
        player_core().stopped = true;
        FakePanel fake;
        int followed = 0;
        if (follows) fake.desc.module_changed = [&followed] { ++followed; };
        // A key loads another module (as the playlist keys may).
        fake.desc.on_key = [&second](int key) {
            if (key == 'n') {
                forget_module();
                adopt_module(&second, false);
                player_core().stopped = true;
            }
            return KeyResult::handled;
        };
        PanelWindow pw = open_panel(fake.desc);
        put_text(pw.win, 4, 1, "scribble");
        WINDOW *win = pw.win;
        fake.desc.on_close = [&] {
            EXPECT_EQ(cells_text(win, 4, 1, 8), follows ? std::string(8, ' ') : "scribble") << follows;
        };
        press_keys({'n', 'k', 'q'});
        run_panel(fake.desc, pw);
        EXPECT_EQ(followed, follows ? 1 : 0);
        EXPECT_EQ(fake.draws, follows ? 2 : 1) << follows;
    }
    forget_module();
}
