#include "3_panels/voice_monitors.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <panel.h>
#include <string>
#include <utility>
#include <vector>

#include "1_player/player_core.h"
#include "1_player/player_thread.h"
#include "2_screen/channel_table.h"
#include "2_screen/colors.h"
#include "2_screen/level_meter.h"
#include "2_screen/main_window.h"
#include "3_panels/command_keys.h"
#include "3_panels/panel_positions.h"
#include "4_program/main_loop.h"
#include "fake_voices.h"
#include "headless_screen.h"
#include "silent_player.h"

namespace {

void clear_peaks() {
    for (int i = 0; i < kMaxChannels; ++i)
        voice_volume_peak[i] = real_volume_peak[i] = frequency_peak[i] = position_peak[i] = 0;
}

class VoiceMonitors : public ::testing::Test {
protected:
    HeadlessScreen screen{24, 80};
    MODULE song{};
    VoiceMonitor monitor;

    void SetUp() override {
        reset_fake_voices();
        create_test_main_window();
        clear_peaks();
        meter_style = 1;
        show_real_volume = 1;
        song.volume = 100;
        use_channels(4);
    }
    void TearDown() override {
        close_voice_monitor(monitor);
        forget_module();
        show_real_volume = 1;
        destroy_test_main_window();
    }

    // The player holds `song` of `channels` channels, stopped: the idle
    // step stays out of it and only the passes draw.
    void use_channels(int channels) {
        song.numchn = static_cast<UBYTE>(channels);
        adopt_module(&song, false);
        player_core().stopped = true;
    }

    WINDOW *open(Monitor kind, int channels) {
        use_channels(channels);
        monitor = open_voice_monitor(kind);
        return monitor.pw.win;
    }
};

// A row of `width` cells from column 1 with `marks` written in order (a later
// mark overwrites an earlier one, as on the screen).
std::string marked_row(const std::vector<std::pair<int, std::string>> &marks, int width = 66) {
    std::string row(static_cast<std::size_t>(width), ' ');
    for (const auto &[col, text] : marks)
        for (std::size_t k = 0; k < text.size() && col - 1 + k < row.size(); ++k) row[col - 1 + k] = text[k];
    return row;
}

std::vector<std::pair<int, std::string>> ticks_of(const std::vector<std::pair<int, int>> &numbers) {
    std::vector<std::pair<int, std::string>> ticks;
    for (const auto &[col, n] : numbers) ticks.emplace_back(col, "|");
    return ticks;
}

std::vector<std::pair<int, std::string>> numbers_of(const std::vector<std::pair<int, int>> &numbers) {
    std::vector<std::pair<int, std::string>> texts;
    for (const auto &[col, n] : numbers) texts.emplace_back(col, std::to_string(n));
    return texts;
}

}  // namespace

TEST_F(VoiceMonitors, AxisUnderVoicesOneFourEightAndTheLast) {
    std::vector<std::pair<int, int>> all_voices = {{2, 1}};
    for (int v = 4; v <= 60; v += 4) all_voices.emplace_back(v + 1, v);
    all_voices.emplace_back(65, 64);
    const struct {
        Monitor kind;
        int channels;
        int tick_row;
        std::vector<std::pair<int, int>> marks;
    } cases[] = {
        {Monitor::all_channels, 4, 13, {{2, 1}, {8, 4}}},
        {Monitor::all_channels, 16, 13, {{2, 1}, {8, 4}, {16, 8}, {24, 12}, {32, 16}}},
        {Monitor::voices_position, 33, 13,
         {{2, 1}, {5, 4}, {9, 8}, {13, 12}, {17, 16}, {21, 20}, {25, 24}, {29, 28}, {33, 32}, {34, 33}}},
        {Monitor::voices_frequency, 1, 13, {{2, 1}}},
        {Monitor::all_voices, 4, 14, all_voices},
    };
    for (const auto &c : cases) {
        WINDOW *win = open(c.kind, c.channels);
        ASSERT_NE(win, nullptr);
        EXPECT_EQ(cells_text(win, c.tick_row, 1, 66), marked_row(ticks_of(c.marks))) << c.channels;
        EXPECT_EQ(cells_text(win, c.tick_row + 1, 1, 66), marked_row(numbers_of(c.marks))) << c.channels;
        EXPECT_EQ(cell_attr(win, c.tick_row, 2), pair(kCyanOnBlack));
        EXPECT_EQ(cell_attr(win, c.tick_row + 1, 2), pair(kCyanOnBlack));
        close_voice_monitor(monitor);
    }
}

TEST_F(VoiceMonitors, TitleBarAndWindowOfEachMonitor) {
    const struct {
        Monitor kind;
        int rows;
        const char *title;
        PanelCorner *corner;
    } cases[] = {
        {Monitor::all_channels, 16, " All channels", &PanelPositions.all_channels},
        {Monitor::all_voices, 18, " All voices", &PanelPositions.all_channels},
        {Monitor::voices_position, 16, " Voices position", &PanelPositions.voices_position},
        {Monitor::voices_frequency, 16, " Voices frequency", &PanelPositions.voices_frequency},
    };
    for (const auto &c : cases) {
        *c.corner = {3, 2};
        WINDOW *win = open(c.kind, 8);
        ASSERT_NE(win, nullptr);
        EXPECT_EQ(getmaxy(win), c.rows);
        EXPECT_EQ(getmaxx(win), 68);
        EXPECT_EQ(getbegx(win), 3);
        EXPECT_EQ(getbegy(win), 2);
        const std::string title = c.title;
        EXPECT_EQ(row_text(win, 0), title + std::string(68 - title.size(), ' '));
        EXPECT_EQ(cell_attr(win, 0, 0), bold_pair(kCyanOnBlue));
        EXPECT_EQ(cell_attr(win, 0, 67), bold_pair(kCyanOnBlue));
        close_voice_monitor(monitor);
    }
}

TEST_F(VoiceMonitors, NarrowLayoutDrawsEachMeterTwiceWideOnce) {
    for (int channels : {4, 33}) {
        const bool narrow = channels == 4;
        clear_peaks();
        fake_voices[1].real_volume = 100;
        real_volume_peak[1] = 200;  // 50 %: five filled cells
        WINDOW *win = open(Monitor::all_channels, channels);
        draw_voice_pass(monitor);
        const int col = narrow ? 4 : 3;
        for (int c : narrow ? std::vector<int>{col, col + 1} : std::vector<int>{col}) {
            for (int row = 8; row <= 12; ++row) {
                EXPECT_EQ(cells_text(win, row, c, 1), " ") << channels << " " << row;
                EXPECT_EQ(cell_attr(win, row, c), reverse_pair(kBlueOnBlack)) << channels << " " << row;
            }
            for (int row = 3; row <= 7; ++row) EXPECT_EQ(cells_text(win, row, c, 1), "-") << channels;
        }
        // The neighbours are voices 0 and 2, silent: ten short lines each.
        const int next = narrow ? col + 2 : col + 1;
        for (int row = 3; row <= 12; ++row) {
            EXPECT_EQ(cells_text(win, row, col - 1, 1), "-") << channels << " " << row;
            EXPECT_EQ(cells_text(win, row, next, 1), "-") << channels << " " << row;
            EXPECT_EQ(cell_attr(win, row, next), bold_pair(kBlueOnBlack));
        }
        // Meters of the 4-channel module end at column 9.
        if (narrow) {
            EXPECT_EQ(cells_text(win, 12, 10, 1), " ");
            EXPECT_EQ(cell_attr(win, 12, 10), kNormal);
        }
        close_voice_monitor(monitor);
    }
}

TEST(MonitorPercent, PeakBelowOneCountsAsOne) {
    const struct {
        long value;
        int peak;
        int percent;
    } cases[] = {{0, 0, 0}, {1, 0, 100}, {0, 1, 0}, {1, 1, 100}, {1, 2, 50}, {50, 200, 25}, {99, 100, 99},
                 {2, 3, 66}, {5, -4, 500}};
    for (const auto &c : cases) EXPECT_EQ(monitor_percent(c.value, c.peak), c.percent) << c.value << "/" << c.peak;
}

TEST_F(VoiceMonitors, PeaksRiseToTheValueAndMetersMeasureAgainstThem) {
    fake_voices[0].frequency = 8000;
    fake_voices[1].frequency = 1;  // peak 0 -> 1: a value of 1 fills the meter
    frequency_peak[0] = 16000;
    WINDOW *win = open(Monitor::voices_frequency, 2);
    draw_voice_pass(monitor);
    EXPECT_EQ(frequency_peak[0], 16000);
    EXPECT_EQ(frequency_peak[1], 1);
    EXPECT_EQ(cells_text(win, 8, 2, 1), " ");  // 50 %: rows 8 to 12
    EXPECT_EQ(cells_text(win, 7, 2, 1), "-");
    EXPECT_EQ(cell_attr(win, 3, 4), bold_pair(kRedOnRed));  // 100 %: the clipping mark on top

    fake_voices[0].frequency = 20000;
    draw_voice_pass(monitor);
    EXPECT_EQ(frequency_peak[0], 20000);
    EXPECT_EQ(cell_attr(win, 3, 2), bold_pair(kRedOnRed));
}

TEST_F(VoiceMonitors, PanningLettersAboveTheMeters) {
    const struct {
        unsigned long panning;
        char letter;
        attr_t attr;
    } cases[] = {
        {0, 'L', bold_pair(kMagentaOnBlack)}, {127, 'L', bold_pair(kMagentaOnBlack)},
        {128, 'M', bold_pair(kBlueOnBlack)},  {129, 'R', bold_pair(kCyanOnBlack)},
        {255, 'R', bold_pair(kCyanOnBlack)},  {PAN_SURROUND, 'L', bold_pair(kMagentaOnBlack)},
    };
    for (int i = 0; i < 6; ++i) fake_voices[i].panning = cases[i].panning;
    WINDOW *win = open(Monitor::all_channels, 6);
    draw_voice_pass(monitor);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(panning_letter(cases[i].panning), cases[i].letter) << cases[i].panning;
        EXPECT_EQ(cells_text(win, 2, 2 + 2 * i, 2), std::string(1, cases[i].letter) + " ") << cases[i].panning;
        EXPECT_EQ(cell_attr(win, 2, 2 + 2 * i), cases[i].attr) << cases[i].panning;
    }
}

TEST_F(VoiceMonitors, AllVoicesBlockRowShowsHowLoudEachVoiceIs) {
    const struct {
        unsigned volume;
        attr_t attr;
    } cases[] = {{0, kNormal},
                 {1, bold_pair(kGreenOnBlack)},
                 {127, bold_pair(kGreenOnBlack)},
                 {128, bold_pair(kYellowOnBlack)},
                 {255, bold_pair(kYellowOnBlack)},
                 {256, bold_pair(kRedOnBlack)}};
    for (int i = 0; i < 6; ++i) fake_voices[i].volume = cases[i].volume;
    song.numchn = 4;  // All voices shows every voice whatever the module has
    WINDOW *win = open(Monitor::all_voices, 4);
    draw_voice_pass(monitor);
    EXPECT_EQ(highest_queried_voice, 63);
    EXPECT_EQ(lowest_queried_voice, 0);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(cells_text(win, 13, 2 + i, 1), "0") << i;  // the block
        EXPECT_EQ(cell_attr(win, 13, 2 + i), cases[i].attr) << cases[i].volume;
        EXPECT_EQ(voice_activity_attr(static_cast<int>(cases[i].volume)), cases[i].attr);
    }
    EXPECT_EQ(cell_attr(win, 13, 65), kNormal);  // voice 64, unused
    EXPECT_EQ(cells_text(win, 13, 65, 2), "0 ");
    EXPECT_EQ(voice_volume_peak[5], 256);
    EXPECT_EQ(cells_text(win, 2, 2, 64), std::string(64, 'M'));
}

TEST_F(VoiceMonitors, UFlipsTheLabelAndTheMainHeaderInTheVolumeMonitorsOnly) {
    WINDOW *win = open(Monitor::all_channels, 4);
    draw_voice_pass(monitor);
    EXPECT_EQ(cells_text(win, 15, 50, 16), "[ Real volume  ]");
    EXPECT_NE(row_text(main_win, 5).find("Real volume"), std::string::npos);
    EXPECT_TRUE(voice_monitor_key(monitor, 'u'));
    draw_voice_pass(monitor);
    EXPECT_EQ(show_real_volume, 0);
    EXPECT_EQ(cells_text(win, 15, 50, 16), "[ Voice volume ]");
    EXPECT_EQ(cell_attr(win, 15, 50), kNormal);
    EXPECT_NE(row_text(main_win, 5).find("Voice volume"), std::string::npos);
    close_voice_monitor(monitor);

    win = open(Monitor::all_voices, 4);
    draw_voice_pass(monitor);
    EXPECT_EQ(cells_text(win, 0, 54, 14), " Voice volume ");
    EXPECT_EQ(cell_attr(win, 0, 54), bold_pair(kYellowOnBlue));
    voice_monitor_key(monitor, 'u');
    draw_voice_pass(monitor);
    EXPECT_EQ(cells_text(win, 0, 54, 14), " Real volume  ");
    close_voice_monitor(monitor);

    for (Monitor kind : {Monitor::voices_position, Monitor::voices_frequency}) {
        open(kind, 4);
        EXPECT_TRUE(voice_monitor_key(monitor, 'u'));
        EXPECT_EQ(show_real_volume, 1);
        close_voice_monitor(monitor);
    }
}

TEST_F(VoiceMonitors, CommandKeysWorkInTheVolumeMonitorsOnly) {
    open(Monitor::all_channels, 4);
    voice_monitor_key(monitor, '+');
    voice_monitor_key(monitor, '*');
    EXPECT_EQ(song.volume, 101);
    EXPECT_EQ(meter_style, 2);
    close_voice_monitor(monitor);

    for (Monitor kind : {Monitor::voices_position, Monitor::voices_frequency}) {
        open(kind, 4);
        for (int key : {int{'+'}, int{'*'}, int{'B'}, int{'M'}, ERR}) EXPECT_TRUE(voice_monitor_key(monitor, key));
        EXPECT_EQ(song.volume, 101);
        EXPECT_EQ(meter_style, 2);
        EXPECT_FALSE(channel_is_muted(player_view(), 0));
        close_voice_monitor(monitor);
    }
}

TEST_F(VoiceMonitors, QAndEscapeCloseAndLeaveTheMainScreen) {
    for (Monitor kind : {Monitor::all_channels, Monitor::all_voices, Monitor::voices_position, Monitor::voices_frequency}) {
        for (int closing : {int{'q'}, 27}) {
            open(kind, 4);
            WINDOW *win = monitor.pw.win;
            EXPECT_EQ(entry_of_window(win), kind == Monitor::voices_position    ? MovableEntry::voices_position
                                            : kind == Monitor::voices_frequency ? MovableEntry::voices_frequency
                                                                                : MovableEntry::all_channels);
            press_keys({'x', closing, 'z'});
            run_voice_monitor(monitor);
            EXPECT_EQ(monitor.pw.win, nullptr);
            EXPECT_EQ(wgetch(main_win), 'z');
            EXPECT_EQ(panel_below(nullptr), main_panel);
            EXPECT_EQ(entry_of_window(win), MovableEntry::count);
        }
    }
}

TEST_F(VoiceMonitors, NinetySixChannelsStayInsideThePeakTablesAndTheWindow) {
    for (int i = 0; i < kFakeVoices; ++i) {
        fake_voices[i] = {200, 30000, 8363, 1000, 0};
    }
    for (Monitor kind : {Monitor::all_channels, Monitor::voices_position, Monitor::voices_frequency}) {
        reset_fake_voices();
        for (auto &v : fake_voices) v = {200, 30000, 8363, 1000, 0};
        WINDOW *win = open(kind, 96);
        show_real_volume = kind == Monitor::all_channels ? 0 : 1;
        draw_voice_pass(monitor);
        EXPECT_EQ(lowest_queried_voice, 0);
        EXPECT_EQ(highest_queried_voice, 63);
        EXPECT_EQ(cells_text(win, 13, 65, 3), "| |");
        EXPECT_EQ(cells_text(win, 14, 65, 3), "64|");
        EXPECT_EQ(cells_text(win, 2, 2, 66), std::string(64, 'L') + " |");
        for (int row = 1; row <= 14; ++row) EXPECT_EQ(cells_text(win, row, 67, 1), "|") << row;
        close_voice_monitor(monitor);
    }
    show_real_volume = 1;
}

TEST_F(VoiceMonitors, AnotherModuleRedrawsTheAxisForItsChannels) {
    for (Monitor kind : {Monitor::all_channels, Monitor::voices_position}) {
        WINDOW *win = open(kind, 4);
        for (auto &v : fake_voices) v.panning = 0;
        EXPECT_FALSE(follow_module(monitor));
        MODULE other{};
        other.numchn = 40;
        forget_module();
        adopt_module(&other, false);
        EXPECT_TRUE(follow_module(monitor));
        EXPECT_FALSE(monitor.narrow);
        draw_voice_pass(monitor);
        EXPECT_EQ(cells_text(win, 14, 1, 12), " 1  4   8   ");
        EXPECT_EQ(cells_text(win, 14, 41, 2), "40");
        EXPECT_EQ(cells_text(win, 2, 2, 41), std::string(40, 'L') + " ");
        EXPECT_EQ(cells_text(win, 3, 42, 1), " ");  // no meter past the last channel
        forget_module();
        use_channels(4);
        EXPECT_TRUE(follow_module(monitor));
        EXPECT_TRUE(monitor.narrow);
        EXPECT_EQ(cells_text(win, 14, 1, 12), " 1     4    ");
        close_voice_monitor(monitor);
    }
}

TEST_F(VoiceMonitors, AWindowResizedWithTheScreenIsDrawnAgainWhole) {
    for (Monitor kind : {Monitor::all_channels, Monitor::voices_frequency}) {
        WINDOW *win = open(kind, 8);
        EXPECT_FALSE(follow_module(monitor));
        // What a change of the screen's size does to an open panel.
        wresize(win, 16, 50);
        werase(win);
        wborder(win, 0, 0, 0, 0, 0, 0, 0, 0);
        EXPECT_TRUE(follow_module(monitor));
        draw_voice_pass(monitor);
        EXPECT_EQ(row_text(win, 0), std::string(monitor_title(kind)) +
                                        std::string(50 - std::string(monitor_title(kind)).size(), ' '));
        EXPECT_EQ(cells_text(win, 13, 1, 17), " |     |       | ");
        EXPECT_EQ(cells_text(win, 14, 1, 17), " 1     4       8 ");
        EXPECT_EQ(cells_text(win, 2, 2, 16), "M M M M M M M M ");
        EXPECT_EQ(cells_text(win, 3, 49, 1), "|");
        EXPECT_FALSE(follow_module(monitor));
        close_voice_monitor(monitor);
    }
}

TEST_F(VoiceMonitors, MovingAMonitorMovesWhereTheVolumeMonitorsOpen) {
    open(Monitor::all_channels, 4);
    const PanelCorner before = PanelPositions.all_channels;
    press_keys({KEY_RIGHT, KEY_RIGHT, KEY_UP, '\n', 'q'});
    EXPECT_TRUE(voice_monitor_key(monitor, 'm'));
    EXPECT_EQ(PanelPositions.all_channels.x, before.x + 2);
    EXPECT_EQ(PanelPositions.all_channels.y, before.y - 1);
    run_voice_monitor(monitor);
    WINDOW *win = open(Monitor::all_voices, 4);
    EXPECT_EQ(getbegx(win), before.x + 2);
    EXPECT_EQ(getbegy(win), before.y - 1);
}

TEST(VoiceMonitorsTiny, AWindowCutToASmallScreenKeepsItsBorder) {
    for (int screen_rows : {12, 17}) {
        HeadlessScreen screen{screen_rows, 40};
        create_test_main_window();
        reset_fake_voices();
        for (auto &v : fake_voices) v = {256, 60000, 8363, 1000, 255};
        MODULE song{};
        song.numchn = 32;
        adopt_module(&song, false);
        player_core().stopped = true;
        for (Monitor kind : {Monitor::all_channels, Monitor::all_voices}) {
            VoiceMonitor monitor = open_voice_monitor(kind);
            ASSERT_NE(monitor.pw.win, nullptr);
            WINDOW *win = monitor.pw.win;
            const int rows = std::min(screen_rows, kind == Monitor::all_voices ? 18 : 16);
            EXPECT_EQ(getmaxy(win), rows);
            EXPECT_EQ(getmaxx(win), 40);
            draw_voice_pass(monitor);
            for (int row = 1; row < rows - 1; ++row) EXPECT_EQ(cells_text(win, row, 39, 1), "|") << row;
            EXPECT_EQ(row_text(win, rows - 1), "+" + std::string(38, '-') + "+") << screen_rows;
            press_keys({'q'});
            run_voice_monitor(monitor);
        }
        forget_module();
        destroy_test_main_window();
    }
}

TEST_F(VoiceMonitors, MainScreenKeysOpenThePanelsAndOnlyAllVoicesNeedsNoModule) {
    forget_module();
    for (int key : {'c', 'C', 'Y', 'y', 'W', 'w'}) {
        press_keys({'z'});
        handle_main_key(key);  // a beep, nothing opened, no key read
        EXPECT_EQ(wgetch(main_win), 'z') << static_cast<char>(key);
    }
    press_keys({'q', 'z'});
    handle_main_key('T');
    EXPECT_EQ(wgetch(main_win), 'z');

    use_channels(4);
    for (int key : {'c', 'C', 'Y', 'y'}) {
        reset_fake_voices();
        press_keys({'q', 'z'});
        handle_main_key(key);
        EXPECT_EQ(wgetch(main_win), 'z') << static_cast<char>(key);
    }
}
