// The voice monitors with libmikmod's own voice queries, on a module with
// more channels than the player has voices.
#include "panels/voice_monitors.h"

#include <gtest/gtest.h>
#include <string>

#include "app/module_loader.h"
#include "app/startup.h"
#include "display/channel_table.h"
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
    module = wide;
    Player_Start(wide);
    for (int i = 0; i < 20; ++i) MikMod_Update();
    playing = false;  // the idle step stays out of it: only the passes run

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

    Player_Stop();
    module = nullptr;
    Player_Free(wide);
    destroy_test_main_window();
    stop_silent_player();
}
