#include "3_panels/help_panel.h"

#include <gtest/gtest.h>
#include <panel.h>
#include <string>

#include "1_player/player_thread.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "3_panels/panel_positions.h"
#include "headless_screen.h"

namespace {

class HelpPanel : public ::testing::Test {
protected:
    HeadlessScreen screen{24, 80};
    void SetUp() override {
        create_test_main_window();
    }
    void TearDown() override { destroy_test_main_window(); }
};

}  // namespace

TEST_F(HelpPanel, OpensAtItsCornerWithEveryEntry) {
    const struct {
        int row, col;
        const char *label, *keys;
    } entries[] = {
        {1, 2, "Play or pause.............", "p"},        {1, 34, "Bpm down/up...............", "b/B"},
        {2, 2, "Stop module...............", "t"},        {2, 34, "Reverb down/up............", "r/R"},
        {3, 2, "Module comment............", "i"},        {3, 34, "Tempo down/up.............", "k/K"},
        {4, 2, "Restart pattern...........", "a"},        {4, 34, "Speed down/up.............", "s/S"},
        {5, 2, "Restart module............", "A"},        {5, 34, "Volume up/down............", "+/-"},
        {6, 34, "Reverse stereo............", "!"},
        {7, 2, "Next position.............", "n"},        {7, 34, "Switch volume display.....", "u"},
        {8, 2, "Next module...............", "N"},        {8, 34, "Spectrum..................", "F"},
        {9, 2, "Prev position.............", "v"},        {9, 34, "Playlist panel............", "l"},
        {10, 2, "Prev module...............", "V"},       {10, 34, "Effects panel.............", "e"},
        {11, 34, "Options panel.............", "o"},
        {12, 2, "File selector.............", "f"},       {12, 34, "Samples panel.............", "w"},
        {13, 2, "Quit XQ or close panel....", "q"},       {13, 34, "Instruments panel.........", "W"},
        {14, 34, "Pattern view..............", "P"},
        {6, 2, "Seek back/forward 5 s.....", "<-/->"},   {11, 2, "Seek back/forward 60 s....", ",/."},
        {14, 2, "Prev/next song of module..", "(/)"},
        {15, 2, "Show all channels.........", "c"},       {15, 34, "Select channel............", "UP/DOWN"},
        {16, 2, "Show all voices...........", "T"},       {16, 34, "Mute/unmute channel.......", "ENTER"},
        {17, 2, "Voices position...........", "Y"},       {17, 34, "Mute/unmute all channels..", "M"},
        {18, 2, "Voices frequency..........", "y"},       {18, 34, "About.....................", "?"},
    };
    ASSERT_EQ(std::size(entries), 36u);

    PanelWindow help = open_help_panel();
    ASSERT_NE(help.win, nullptr);
    EXPECT_EQ(getbegx(help.win), 5);
    EXPECT_EQ(getbegy(help.win), 2);
    EXPECT_EQ(getmaxy(help.win), 20);
    EXPECT_EQ(getmaxx(help.win), 70);
    EXPECT_EQ(panel_below(nullptr), help.panel);
    EXPECT_EQ(entry_of_window(help.win), MovableEntry::help);

    EXPECT_EQ(cells_text(shown(), 2, 5, 12), "+-[ Help ]--");
    EXPECT_EQ(cell_attr(shown(), 2, 9), bold_pair(kYellowOnBlack));
    for (const auto &e : entries) {
        const int key_col = e.col + 26;
        const int key_len = static_cast<int>(std::string(e.keys).size());
        EXPECT_EQ(cells_text(shown(), 2 + e.row, 5 + e.col, 26), e.label) << e.label;
        EXPECT_EQ(cells_text(shown(), 2 + e.row, 5 + key_col, key_len), e.keys) << e.label;
        EXPECT_EQ(cells_text(help.win, e.row, key_col + key_len, 1), " ") << e.label;
        EXPECT_EQ(cell_attr(shown(), 2 + e.row, 5 + e.col), pair(kCyanOnBlack)) << e.label;
        EXPECT_EQ(cell_attr(shown(), 2 + e.row, 5 + key_col), bold_pair(kCyanOnBlack)) << e.label;
    }

    press_keys({'q'});
    run_help_panel(help);
}

TEST_F(HelpPanel, QQAndEscapeCloseItAndOtherKeysDoNothing) {
    for (int closing : {int{'q'}, int{'Q'}, 27}) {
        PanelWindow help = open_help_panel();
        WINDOW *help_win = help.win;
        press_keys({'p', 'i', 'h', KEY_UP, closing, 'z'});
        run_help_panel(help);
        EXPECT_EQ(wgetch(main_win), 'z') << closing;
        EXPECT_FALSE(is_playing(player_view())) << "p reached the player";
        EXPECT_EQ(panel_below(nullptr), main_panel) << closing;
        EXPECT_EQ(entry_of_window(help_win), MovableEntry::count);
        EXPECT_EQ(cells_text(shown(), 3, 7, 26), cells_text(main_win, 3, 7, 26));  // the main screen is back
    }
}

TEST_F(HelpPanel, AMovedHelpReopensAtTheMovedCorner) {
    press_keys({'m', KEY_RIGHT, KEY_RIGHT, KEY_RIGHT, KEY_DOWN, '\n', 'q'});
    help_panel();
    EXPECT_EQ(PanelPositions.help.x, 8);
    EXPECT_EQ(PanelPositions.help.y, 3);

    PanelWindow again = open_help_panel();
    EXPECT_EQ(getbegx(again.win), 8);
    EXPECT_EQ(getbegy(again.win), 3);
    EXPECT_EQ(cells_text(shown(), 4, 10, 26), "Play or pause.............");
    press_keys({'q'});
    run_help_panel(again);
}
