#include "3_panels/options_panel.h"

#include <gtest/gtest.h>
#include <mikmod.h>
#include <string>

#include "1_player/crossfeed.h"
#include "1_player/player.h"
#include "1_player/settings.h"
#include "1_player/sound_output.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "3_panels/number_editor.h"
#include "headless_screen.h"
#include "silent_player.h"

TEST(OptionsPanel, SelectionPassesOverTheBlankRows) {
    const struct {
        int item, key, after;
    } cases[] = {
        {0, KEY_UP, 0},       {0, KEY_DOWN, 1},     {4, KEY_DOWN, 6},   {6, KEY_UP, 4},
        {7, KEY_DOWN, 9},     {9, KEY_UP, 7},       {11, KEY_DOWN, 13}, {13, KEY_UP, 11},
        {13, KEY_DOWN, 14},   {14, KEY_DOWN, 15},   {15, KEY_UP, 14},   {14, KEY_UP, 13},
        {15, KEY_DOWN, 16},   {16, KEY_UP, 15},     {16, KEY_DOWN, 16}, {3, KEY_NPAGE, 16},
        {11, KEY_PPAGE, 0},   {6, 'z', 6},
    };
    for (const auto &c : cases)
        EXPECT_EQ(next_option_item(c.item, c.key), c.after) << "item " << c.item << " key " << c.key;
    for (int item = 0, steps = 0; steps < 20; ++steps) {
        item = next_option_item(item, KEY_DOWN);
        EXPECT_NE(option_items[item].kind, OptionKind::blank) << item;
    }
}

TEST(OptionsPanel, TheColorsRowStepsThroughTheSchemesAndRepaintsTheScreen) {
    HeadlessScreen screen{24, 80};
    create_test_main_window();
    WINDOW *win = newwin(20, 40, 2, 20);
    const struct {
        ColorScheme after;
        const char *shown;
    } steps[] = {
        {ColorScheme::light, " Colors          [ light    ] "},
        {ColorScheme::terminal, " Colors          [ terminal ] "},
        {ColorScheme::dark, " Colors          [ dark     ] "},
    };
    ASSERT_EQ(std::string(option_items[14].label), "Colors");
    for (const auto &step : steps) {
        next_colors();
        EXPECT_EQ(color_scheme, step.after);
        EXPECT_EQ(color_scheme_in_use(), step.after);
        // The title bar is drawn again in the new scheme.
        EXPECT_EQ(cell_attr(main_win, 0, 20), scheme_role_attr(step.after, ColorRole::title_bar)) << step.shown;
        draw_option_item(win, 14);
        EXPECT_EQ(cells_text(win, 16, 3, 30), step.shown);
    }
    delwin(win);
    destroy_test_main_window();
}

TEST(OptionsPanel, TheCrossfeedRowStepsThroughThePresetsAndTellsTheSoundThread) {
    HeadlessScreen screen{24, 80};
    WINDOW *win = newwin(20, 40, 2, 20);
    const struct {
        int after;
        const char *shown;
    } steps[] = {
        {1, " Crossfeed       [ default   ] "},
        {2, " Crossfeed       [ Chu Moy   ] "},
        {3, " Crossfeed       [ Jan Meier ] "},
        {0, " Crossfeed       [ off       ] "},
    };
    ASSERT_EQ(std::string(option_items[kCrossfeedItem].label), "Crossfeed");
    ASSERT_EQ(crossfeed, 0);
    for (const auto &step : steps) {
        next_crossfeed();
        EXPECT_EQ(crossfeed, step.after);
        EXPECT_EQ(output_crossfeed(), step.after);
        draw_option_item(win, kCrossfeedItem);
        EXPECT_EQ(cells_text(win, 2 + kCrossfeedItem, 3, 31), step.shown);
    }
    delwin(win);
}

TEST(NumberEditor, StepsStayWithinEachFieldsBounds) {
    using F = NumberField;
    const struct {
        F field;
        int value, key, after;
    } cases[] = {
        {F::mixing_frequency, 44100, KEY_LEFT, 22050},  {F::mixing_frequency, 22050, KEY_LEFT, 11025},
        {F::mixing_frequency, 11025, KEY_LEFT, 5512},   {F::mixing_frequency, 5512, KEY_LEFT, 4000},
        {F::mixing_frequency, 8001, KEY_LEFT, 4000},    {F::mixing_frequency, 44100, KEY_RIGHT, 60000},
        {F::mixing_frequency, 29999, KEY_RIGHT, 59998}, {F::mixing_frequency, 30000, KEY_RIGHT, 60000},
        {F::mixing_frequency, 59950, KEY_PPAGE, 59950}, {F::mixing_frequency, 59900, KEY_PPAGE, 60000},
        {F::mixing_frequency, 4050, KEY_NPAGE, 4050},   {F::mixing_frequency, 4100, KEY_NPAGE, 4000},
        {F::mixing_frequency, 4000, KEY_DOWN, 4000},    {F::mixing_frequency, 60000, KEY_UP, 60000},
        {F::mixing_frequency, 44100, 'q', 44100},       {F::mixing_frequency, 44100, 27, 44100},
        {F::refresh_delay, 40, KEY_RIGHT, 80},          {F::refresh_delay, 1, KEY_LEFT, 0},
        {F::refresh_delay, 5000, KEY_RIGHT, 10000},     {F::refresh_delay, 4999, KEY_RIGHT, 9998},
        {F::refresh_delay, 3, KEY_NPAGE, 3},            {F::refresh_delay, 9995, KEY_PPAGE, 10000},
        {F::refresh_delay, 9996, KEY_PPAGE, 9996},      {F::refresh_delay, 0, KEY_DOWN, 0},
        {F::refresh_delay, 10000, KEY_UP, 10000},       {F::refresh_delay, 40, ERR, 40},
    };
    for (const auto &c : cases)
        EXPECT_EQ(step_number(c.field, c.value, c.key), c.after) << c.value << " key " << c.key;
}

namespace {

const std::string kSong = std::string(XQ_FIXTURE_DIR) + "/eight.mod";

// Toggles on a module played by the silent driver, which restarts like a
// real one.
class OptionToggles : public ::testing::Test {
protected:
    static void SetUpTestSuite() { start_silent_player(); }
    static void TearDownTestSuite() { stop_silent_player(); }

    HeadlessScreen screen{24, 80};
    MODULE *module = nullptr;  // the player's

    void SetUp() override {
        create_test_main_window();
        saved_mode_ = md_mode;
        module = Player_Load(kSong.c_str(), 64, 0);
        ASSERT_NE(module, nullptr);
        adopt_module(module);
        remember_module_data(file_bytes(kSong));
        stereo = 1;
        reverse_stereo = 0;
        md_mode = static_cast<UWORD>(output_mode(md_mode));
    }
    void TearDown() override {
        player_unload();
        module = nullptr;
        md_mode = saved_mode_;
        output_16bits = stereo = surround = hq_mixer = 1;
        reverse_stereo = interpolate = loop_module = fade_module = random_mode = 0;
        destroy_test_main_window();
    }

private:
    UWORD saved_mode_ = 0;
};

}  // namespace

TEST_F(OptionToggles, StereoOffClearsReverseStereoAndReverseNeedsStereo) {
    ASSERT_TRUE(toggle_option(2));  // reverse stereo on
    EXPECT_EQ(reverse_stereo, 1);
    EXPECT_TRUE(md_mode & DMODE_REVERSE);

    ASSERT_TRUE(toggle_option(1));  // stereo off
    EXPECT_EQ(stereo, 0);
    EXPECT_EQ(reverse_stereo, 0);
    EXPECT_FALSE(md_mode & DMODE_STEREO);
    EXPECT_FALSE(md_mode & DMODE_REVERSE);
    ASSERT_EQ(module, Player_GetModule());  // the same module plays on after the restart

    EXPECT_FALSE(toggle_option(2));  // nothing happens while mono
    EXPECT_EQ(reverse_stereo, 0);
    EXPECT_FALSE(md_mode & DMODE_REVERSE);

    ASSERT_TRUE(toggle_option(1));  // stereo on again: reverse stays off
    EXPECT_EQ(stereo, 1);
    EXPECT_EQ(reverse_stereo, 0);
    EXPECT_TRUE(md_mode & DMODE_STEREO);
}

TEST_F(OptionToggles, DriverOptionsFollowTheModeAndTheDriverLineShowsIt) {
    const struct {
        int item;
        int *flag;
        unsigned bit;
    } cases[] = {
        {0, &output_16bits, DMODE_16BITS}, {3, &surround, DMODE_SURROUND},
        {4, &interpolate, DMODE_INTERP},   {6, &hq_mixer, DMODE_HQMIXER},
    };
    for (const auto &c : cases) {
        const int before = *c.flag;
        ASSERT_TRUE(toggle_option(c.item));
        EXPECT_EQ(*c.flag, 1 - before) << c.item;
        EXPECT_EQ((md_mode & c.bit) != 0, *c.flag == 1) << c.item;
        ASSERT_NE(module, nullptr);
    }
    EXPECT_NE(row_text(main_win, 3).find("Driver : "), std::string::npos);

    // The high-quality mixer interpolates by itself; the Interpolate box
    // keeps what the user chose.
    interpolate = 0;
    md_mode = static_cast<UWORD>(md_mode & ~DMODE_INTERP);
    ASSERT_TRUE(toggle_option(6));
    EXPECT_EQ(hq_mixer, 1);
    EXPECT_EQ(interpolate, 0);
    EXPECT_FALSE(md_mode & DMODE_INTERP);
    ASSERT_TRUE(toggle_option(6));
    EXPECT_EQ(interpolate, 0);
}

TEST_F(OptionToggles, AFailedRestartBringsTheOldModeBack) {
    const UWORD device = md_device;
    md_device = 200;  // no such driver: every restart fails
    press_keys({'\n'});  // closes the error box
    ASSERT_TRUE(toggle_option(1));
    md_device = device;
    EXPECT_EQ(stereo, 1);
    EXPECT_TRUE(md_mode & DMODE_STEREO);
    EXPECT_EQ(Player_GetModule(), module);
    EXPECT_NE(row_text(main_win, 3).find("STEREO"), std::string::npos) << row_text(main_win, 3);
    ASSERT_EQ(restart_output(), 0);  // back on the real driver
}

TEST_F(OptionToggles, LoopSetsLoopAndWrapFadeAndRandomTheirOwn) {
    ASSERT_TRUE(toggle_option(9));
    EXPECT_EQ(loop_module, 1);
    EXPECT_TRUE(module->loop);
    EXPECT_TRUE(module->wrap);
    ASSERT_TRUE(toggle_option(9));
    // Jumps stay as written: the song ends where its walk ends it.
    EXPECT_TRUE(module->loop);
    EXPECT_FALSE(module->wrap);
    ASSERT_TRUE(toggle_option(10));
    EXPECT_TRUE(module->fadeout);
    ASSERT_TRUE(toggle_option(11));
    EXPECT_EQ(random_mode, 1);
    EXPECT_FALSE(toggle_option(5));  // a blank row
    EXPECT_FALSE(toggle_option(15));
}

TEST_F(OptionToggles, ANewMixingFrequencyRestartsAtTheSamePosition) {
    for (int i = 0; i < 100000 && module->sngpos < 1; ++i) MikMod_Update();
    const unsigned old_mixfreq = md_mixfreq;
    set_mixing_frequency(22050);
    EXPECT_EQ(md_mixfreq, 22050);
    EXPECT_EQ(module->sngpos, 1);
    EXPECT_NE(row_text(main_win, 3).find("22050 Hz"), std::string::npos) << row_text(main_win, 3);
    set_mixing_frequency(static_cast<int>(old_mixfreq));
}
