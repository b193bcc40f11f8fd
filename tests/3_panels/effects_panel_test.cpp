#include "3_panels/effects_panel.h"

#include <gtest/gtest.h>
#include <mikmod.h>
#include <panel.h>
#include <string>
#include <vector>

#include "1_player/mixer.h"
#include "1_player/loaded_module.h"
#include "1_player/player.h"
#include "1_player/settings.h"
#include "2_screen/main_window.h"
#include "3_panels/options_panel.h"
#include "3_panels/panel_window.h"
#include "headless_screen.h"
#include "silent_player.h"

TEST(EffectsPanel, MeterPercentagesInSinglePrecision) {
    const struct {
        int row, value, percent;
    } cases[] = {
        {kSpeedRow, 256, 0},     {kSpeedRow, 0, 100},     {kSpeedRow, 6, 98},
        {kTempoRow, 125, 48},    {kBpmRow, 256, 100},     {kBpmRow, 32, 12},
        {kReverbRow, 7, 46},     {kReverbRow, 15, 100},   {kStereoRow, 64, 50},
        {kGenVolRow, 127, 99},   {kModVolRow, 128, 50},   {kModVolRow, -5, -1},
        {kMixVolRow, 13621, 52},  // 53 on both channels
        {kMixVolRow, 25700, 100}, {kMixVolRow, 26214, 102}, {kMixVolRow, 771, 3},
        {kBassRow, 12850, 5019},  // a level a device may report
        {kTrebleRow, 256, 100},
        // the separation in whole percent: one step above mono reads 1 %
        {kStereoRow, 1, 1},      {kStereoRow, 127, 99},   {kStereoRow, 128, 100},
    };
    for (const auto &c : cases)
        EXPECT_EQ(effect_percent(c.row, c.value), c.percent) << "row " << c.row << " value " << c.value;
}

TEST(EffectsPanel, LeftAndRightStopAtEachRowsBounds) {
    const int left = -1, right = +1;
    const struct {
        int row, value, direction, top_bpm, after;
    } cases[] = {
        // Speed runs the other way: left slows the song down.
        {kSpeedRow, 255, left, 255, 256},   {kSpeedRow, 256, left, 255, 256},
        {kSpeedRow, 1, right, 255, 0},      {kSpeedRow, 0, right, 255, 0},
        {kTempoRow, 0, left, 255, 0},       {kTempoRow, 256, right, 255, 256},
        // BPM stays within what the player plays.
        {kBpmRow, 33, left, 255, 32},       {kBpmRow, 32, left, 255, 32},
        {kBpmRow, 1, left, 255, 1},         {kBpmRow, 254, right, 255, 255},
        {kBpmRow, 255, right, 255, 255},    {kBpmRow, 255, right, 256, 256},
        {kReverbRow, 15, right, 255, 15},   {kReverbRow, 0, left, 255, 0},
        {kStereoRow, 128, right, 255, 128}, {kGenVolRow, 127, right, 255, 128},
        // the separation steps a percent at a time
        {kStereoRow, 1, left, 255, 0},      {kStereoRow, 0, left, 255, 0},
        {kStereoRow, 0, right, 255, 1},     {kStereoRow, 64, right, 255, 65},
        {kStereoRow, 127, left, 255, 125},
        {kModVolRow, 256, right, 255, 256}, {kModVolRow, -5, right, 255, -4},
        {kModVolRow, -5, left, 255, -5},
        {kMixVolRow, 771, left, 255, 0},    {kMixVolRow, 772, left, 255, 1},
        {kMixVolRow, 0, left, 255, 0},      {kMixVolRow, 25700, right, 255, 25700},
        {kMixVolRow, 25443, right, 255, 26214}, {kMixVolRow, 25699, right, 255, 26470},
        {kBassRow, 256, right, 255, 256},   {kBassRow, 12850, right, 255, 12850},
        {kBassRow, 12850, left, 255, 12849}, {kTrebleRow, 0, left, 255, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(effect_step(c.row, c.value, c.direction, c.top_bpm), c.after)
            << "row " << c.row << " value " << c.value << " direction " << c.direction;
}

namespace {

struct MixerWrite {
    unsigned long request;
    int level;
};

std::vector<MixerWrite> writes;

int record_request(int, unsigned long request, int *level) {
    writes.push_back({request, *level});
    return -1;
}

// The rows change the fields of a module played on the silent driver.
class EffectRows : public ::testing::Test {
protected:
    static void SetUpTestSuite() { start_silent_player(); }
    static void TearDownTestSuite() { stop_silent_player(); }

    MODULE *module = nullptr;  // the player's

    void SetUp() override {
        module = Player_Load((std::string(XQ_FIXTURE_DIR) + "/eight.mod").c_str(), 64, 0);
        ASSERT_NE(module, nullptr);
        adopt_module(module, false);
        saved_ = {md_reverb, md_pansep, md_volume};
        saved_separation_ = separation;
        writes.clear();
        mixer_request = record_request;
    }
    void TearDown() override {
        player_unload();
        module = nullptr;
        md_reverb = saved_[0];
        md_pansep = saved_[1];
        md_volume = saved_[2];
        separation = saved_separation_;
        mixer_volume = mixer_bass = mixer_treble = 0;
        mixer_request = saved_request_;
    }

private:
    std::vector<UBYTE> saved_;
    int saved_separation_ = 100;
    MixerRequest saved_request_ = mixer_request;
};

}  // namespace

TEST_F(EffectRows, WriteTheFieldsTheyShowOnTheirOwnTypes) {
    module->volume = -5;  // signed: still rises from below zero
    change_effect(kModVolRow, +1);
    EXPECT_EQ(module->volume, -4);
    module->bpm = kLowestBpm;
    change_effect(kBpmRow, -1);
    EXPECT_EQ(module->bpm, kLowestBpm);
    module->bpm = 255;
    change_effect(kBpmRow, +1);
    EXPECT_EQ(module->bpm, highest_bpm(*module));
    module->sngspd = 256;
    change_effect(kSpeedRow, -1);
    EXPECT_EQ(module->sngspd, 256);
    md_reverb = 15;
    change_effect(kReverbRow, +1);
    EXPECT_EQ(md_reverb, 15);
    md_pansep = 128;
    change_effect(kStereoRow, +1);
    EXPECT_EQ(md_pansep, 128);
    change_effect(kStereoRow, -1);
    EXPECT_EQ(md_pansep, 127);
    EXPECT_EQ(separation, 99);  // the percent the options file keeps
    separation = 1;
    change_effect(kStereoRow, -1);
    EXPECT_EQ(md_pansep, 0);
    change_effect(kStereoRow, -1);
    EXPECT_EQ(separation, 0);
    md_volume = 0;
    change_effect(kGenVolRow, -1);
    EXPECT_EQ(md_volume, 0);
    EXPECT_TRUE(writes.empty());  // none of these is a mixer level
}

TEST_F(EffectRows, MixerRowsWriteOnEveryPressAlsoAtABound) {
    if (mixer_write_request(MixerControl::bass) == 0) GTEST_SKIP() << "no OSS mixer interface here";
    mixer_bass = 256;
    change_effect(kBassRow, +1);
    mixer_volume = 25443;
    change_effect(kMixVolRow, +1);
    mixer_treble = 0;
    change_effect(kTrebleRow, -1);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].request, mixer_write_request(MixerControl::bass));
    EXPECT_EQ(writes[0].level, 256);
    EXPECT_EQ(writes[1].request, mixer_write_request(MixerControl::volume));
    EXPECT_EQ(writes[1].level, 26214);
    EXPECT_EQ(writes[2].request, mixer_write_request(MixerControl::treble));
    EXPECT_EQ(writes[2].level, 0);
}

namespace {

// The panels opened from another panel's key loop, as the voice monitors
// open them, on a headless screen.
class NestedPanels : public EffectRows {
protected:
    HeadlessScreen screen{24, 80};
    void SetUp() override {
        EffectRows::SetUp();
        create_test_main_window();
    }
    void TearDown() override {
        destroy_test_main_window();
        EffectRows::TearDown();
    }
};

}  // namespace

TEST_F(NestedPanels, ReturnToTheLoopBeneathWithItsPanelOnTop) {
    PanelWindow beneath = open_panel_window(16, 68, 4, 6, nullptr);
    ASSERT_NE(beneath.panel, nullptr);
    module->inittempo = 125;
    press_keys({KEY_DOWN, KEY_RIGHT, KEY_RIGHT, 'q'});
    effects_panel();
    EXPECT_EQ(module->inittempo, 127);
    EXPECT_EQ(panel_below(nullptr), beneath.panel);  // the effects panel is gone

    press_keys({KEY_NPAGE, KEY_UP, 27});
    options_panel();
    EXPECT_EQ(panel_below(nullptr), beneath.panel);
    close_panel_window(beneath);
    EXPECT_EQ(panel_below(nullptr), main_panel);
}
