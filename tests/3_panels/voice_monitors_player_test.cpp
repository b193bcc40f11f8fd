// The voice monitors with libmikmod's own voice queries, on a module with
// more channels than the player has voices.
#include "3_panels/voice_monitors.h"

#include <gtest/gtest.h>
#include <string>

#include "1_player/player.h"
#include "2_screen/channel_table.h"
#include "4_program/startup.h"
#include "headless_screen.h"
#include "silent_player.h"

namespace {

const std::string kFixtures = XQ_FIXTURE_DIR;

}  // namespace

TEST(VoiceMonitorsPlaying, NinetySixChannelModuleDrawsWithinThe64Voices) {
    start_silent_player();
    HeadlessScreen screen{24, 80};
    create_test_main_window();
    MODULE *wide = Player_Load((kFixtures + "/wide96.mod").c_str(), kMaxChannels, 0);
    ASSERT_NE(wide, nullptr) << MikMod_strerror(MikMod_errno);
    EXPECT_EQ(wide->numchn, 96);
    adopt_module(wide);
    for (int i = 0; i < 20; ++i) MikMod_Update();

    for (Monitor kind : {Monitor::all_channels, Monitor::all_voices, Monitor::voices_position, Monitor::voices_frequency}) {
        VoiceMonitor monitor = open_voice_monitor(kind);
        ASSERT_NE(monitor.pw.win, nullptr);
        for (int pass = 0; pass < 3; ++pass) {
            draw_voice_pass(monitor);
            MikMod_Update();
        }
        const std::string panning = cells_text(monitor.pw.win, 2, 2, 64);
        EXPECT_EQ(panning.find_first_not_of("LMR"), std::string::npos) << panning;
        EXPECT_EQ(cells_text(monitor.pw.win, 2, 66, 2), " |");
        close_voice_monitor(monitor);
    }
    bool any_peak = false;
    for (int v = 0; v < kMaxChannels; ++v) any_peak = any_peak || position_peak[v] > 0;
    EXPECT_TRUE(any_peak);

    player_unload();
    destroy_test_main_window();
    stop_silent_player();
}

// The library answers 0 (and the centre panning) for voices it has not
// allocated, so All voices may ask for all 64 on an 8-channel module.
TEST(VoiceMonitorsPlaying, AllVoicesOnAnEightChannelModuleShowsTheOthersSilent) {
    start_silent_player();
    HeadlessScreen screen{24, 80};
    create_test_main_window();
    MODULE *eight = Player_Load((kFixtures + "/eight.mod").c_str(), kMaxChannels, 0);
    ASSERT_NE(eight, nullptr) << MikMod_strerror(MikMod_errno);
    adopt_module(eight);
    for (int i = 0; i < 20; ++i) MikMod_Update();

    VoiceMonitor monitor = open_voice_monitor(Monitor::all_voices);
    ASSERT_NE(monitor.pw.win, nullptr);
    draw_voice_pass(monitor);
    WINDOW *win = monitor.pw.win;
    for (int voice = eight->numchn; voice < kMaxChannels; ++voice) {
        const int col = 2 + voice;
        EXPECT_EQ(cells_text(win, 2, col, 1), "M") << voice;
        EXPECT_EQ(cell_attr(win, 13, col), A_NORMAL) << voice;
        EXPECT_EQ(cells_text(win, 12, col, 1), "-") << voice;  // an empty meter
    }
    close_voice_monitor(monitor);

    player_unload();
    destroy_test_main_window();
    stop_silent_player();
}
