#include "3_panels/command_keys.h"

#include <chrono>
#include <csignal>
#include <signal.h>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <mikmod.h>
#include <string>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

#include "1_player/loaded_module.h"
#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "1_player/settings.h"
#include "2_screen/channel_table.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "2_screen/status_lines.h"
#include "3_panels/event_loop.h"
#include "3_panels/idle.h"
#include "3_panels/module_loading.h"
#include "3_panels/panel_runner.h"
#include "4_program/shutdown.h"
#include "1_player/player_core.h"
#include "headless_screen.h"
#include "silent_player.h"

namespace {

const std::string kEightChannels = std::string(XQ_FIXTURE_DIR) + "/eight.mod";  // 8 channels, 4 positions

// The commands against a real module, played by libmikmod's silent driver
// on a headless 80x24 main screen.
class CommandKeys : public ::testing::Test {
protected:
    static void SetUpTestSuite() { start_silent_player(); }
    static void TearDownTestSuite() { stop_silent_player(); }

    HeadlessScreen screen{24, 80};
    UWORD saved_mode = md_mode;
    MODULE *module = nullptr;  // the player's

    void SetUp() override {
        create_test_main_window();
        save_marker_cells();
        ASSERT_EQ(load_module(kEightChannels.c_str()), 0);
        module = player_module();
        show_real_volume = 1;
        spinner_off = 1;
        reverse_stereo = 0;
        md_reverb = 0;
    }
    void TearDown() override {
        player_unload();
        module = nullptr;
        md_mode = saved_mode;
        md_reverb = 0;
        reverse_stereo = 0;
        destroy_test_main_window();
    }

    static void press(int key, int times) {
        for (int i = 0; i < times; ++i) handle_command_key(key);
    }
    static const PlayerView &view() { return player_view(); }
};

}  // namespace

TEST_F(CommandKeys, SettingsStopAtTheirBounds) {
    struct Field {
        std::function<int()> get;
        std::function<void(int)> set;
    };
    const Field volume{[this] { return module->volume; }, [this](int v) { module->volume = static_cast<SWORD>(v); }};
    const Field bpm{[this] { return module->bpm; }, [this](int v) { module->bpm = static_cast<UWORD>(v); }};
    const Field tempo{[this] { return module->inittempo; }, [this](int v) { module->inittempo = static_cast<UWORD>(v); }};
    const Field speed{[this] { return module->sngspd; }, [this](int v) { module->sngspd = static_cast<UWORD>(v); }};
    const Field reverb{[] { return md_reverb; }, [](int v) { md_reverb = static_cast<UBYTE>(v); }};
    const struct {
        int key;
        const Field &field;
        int start;
        int presses;
        int expected;
    } cases[] = {
        {'+', volume, 250, 10, 256},
        {'-', volume, 2, 5, 0},
        {'+', volume, -3, 1, -2},  // the song volume is signed
        {'-', volume, -3, 1, -3},
        // BPM stays within what the library plays
        {'B', bpm, 250, 10, highest_bpm(*module)},
        {'b', bpm, 40, 10, kLowestBpm},
        {'K', tempo, 250, 10, 256},
        {'k', tempo, 2, 5, 0},
        {'S', speed, 250, 10, 256},
        {'s', speed, 2, 5, 0},
        {'R', reverb, 10, 10, 15},
        {'r', reverb, 2, 5, 0},
    };
    for (const auto &c : cases) {
        c.field.set(c.start);
        press(c.key, c.presses);
        EXPECT_EQ(c.field.get(), c.expected) << static_cast<char>(c.key) << " from " << c.start;
    }
}

TEST_F(CommandKeys, PositionKeysStopAtTheSongsEnds) {
    ASSERT_EQ(module->numpos, 4);
    handle_command_key('v');  // at position 0
    EXPECT_EQ(module->sngpos, 0);
    EXPECT_EQ(view().song_position, 0);

    handle_command_key('n');
    EXPECT_EQ(module->sngpos, 1);
    EXPECT_EQ(view().song_position, 1);
    handle_command_key('n');
    handle_command_key('v');
    EXPECT_EQ(module->sngpos, 1);
    EXPECT_EQ(view().song_position, 1);

    // n goes by the last position it reached, not by where the song is now
    player_core().song_position = module->numpos - 1;
    handle_command_key('n');
    EXPECT_EQ(module->sngpos, 1);
    EXPECT_EQ(view().song_position, 3);

    handle_command_key('A');
    EXPECT_EQ(view().song_position, 0);
    for (int i = 0; i < 30; ++i) MikMod_Update();
    ASSERT_GT(module->patpos, 10);
    handle_command_key('a');
    EXPECT_LT(module->patpos, 4);
}

TEST_F(CommandKeys, ReverseStereoOnlyInStereo) {
    md_mode = static_cast<UWORD>(md_mode & ~(DMODE_STEREO | DMODE_REVERSE));
    const UWORD mono = md_mode;
    put_text(main_win, 3, 1, "untouched");
    handle_command_key('!');
    EXPECT_EQ(md_mode, mono);
    EXPECT_EQ(reverse_stereo, 0);
    EXPECT_EQ(cells_text(main_win, 3, 1, 9), "untouched");

    md_mode = static_cast<UWORD>(md_mode | DMODE_STEREO);
    const UWORD stereo = md_mode;
    handle_command_key('!');
    EXPECT_EQ(md_mode, stereo | DMODE_REVERSE);
    EXPECT_EQ(reverse_stereo, 1);
    EXPECT_NE(row_text(main_win, 3).find("!STEREO"), std::string::npos) << row_text(main_win, 3);
    handle_command_key('!');
    EXPECT_EQ(md_mode, stereo);
    EXPECT_EQ(reverse_stereo, 0);
    EXPECT_NE(row_text(main_win, 3).find(" STEREO"), std::string::npos) << row_text(main_win, 3);
}

TEST_F(CommandKeys, VolumeDisplaySwitchesTheHeader) {
    const std::string real = " Ch  Period  Vc    Freq     Pos    Panning    Volume       Real volume";
    const std::string voice = " Ch  Period  Vc    Freq     Pos    Panning    Volume      Voice volume";
    handle_command_key('u');
    EXPECT_EQ(show_real_volume, 0);
    EXPECT_EQ(row_text(main_win, 5), voice + std::string(80 - voice.size(), ' '));
    EXPECT_EQ(cell_attr(main_win, 5, 79), kReverse);
    handle_command_key('u');
    EXPECT_EQ(show_real_volume, 1);
    EXPECT_EQ(row_text(main_win, 5), real + std::string(80 - real.size(), ' '));
}

TEST_F(CommandKeys, MuteAllTwiceMutesThenUnmutesEveryChannel) {
    const int channels = module->numchn;
    ASSERT_EQ(channels, 8);
    player_toggle_mute(2);  // a channel muted by hand is unmuted with the rest
    for (bool mute : {true, false}) {
        handle_command_key('M');
        for (int j = 0; j < channels; ++j) {
            EXPECT_EQ(channel_is_muted(view(), j), mute) << j;
            EXPECT_EQ(Player_Muted(static_cast<UBYTE>(j)), mute) << j;
        }
        EXPECT_EQ(view().mute_all_next, !mute);
    }
    EXPECT_EQ(cells_text(main_win, 6, 0, 4), ">01<");
}

TEST_F(CommandKeys, SpinnerKeyRestoresTheTitleWhenTurnedOff) {
    put_text(main_win, 0, 1, "-\\");
    handle_command_key(KEY_F(12));
    EXPECT_EQ(spinner_off, 0);
    EXPECT_EQ(cells_text(main_win, 0, 0, 3), " -\\");  // turning it on draws nothing

    handle_command_key(KEY_F(12));
    EXPECT_EQ(spinner_off, 1);
    EXPECT_EQ(cells_text(main_win, 0, 0, 14), " :: XQ v0.6 ::");
    for (int col = 0; col < 14; ++col) EXPECT_EQ(cell_attr(main_win, 0, col), bold_pair(kCyanOnBlue)) << col;
}

TEST_F(CommandKeys, StopThenPlayOrRestartStartsFromTheBeginning) {
    for (int restart_key : {'p', 'A'}) {
        handle_command_key('n');
        handle_command_key('n');
        for (int i = 0; i < 5; ++i) MikMod_Update();
        ASSERT_EQ(module->sngpos, 2);

        const auto before = std::chrono::steady_clock::now();
        handle_command_key('t');
        EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(kStopNoticeMs));
        EXPECT_TRUE(view().stopped);
        EXPECT_FALSE(is_playing(view()));
        EXPECT_FALSE(Player_Active());
        EXPECT_EQ(module->patpos, 0);
        EXPECT_EQ(cells_text(shown(), 10, 34, 15), cells_text(main_win, 10, 34, 15));  // the notice is gone

        handle_command_key(restart_key);
        EXPECT_FALSE(view().stopped) << static_cast<char>(restart_key);
        EXPECT_TRUE(is_playing(view()));
        EXPECT_TRUE(Player_Active());
        MikMod_Update();
        EXPECT_EQ(module->sngpos, 0) << static_cast<char>(restart_key);
        EXPECT_LT(module->patpos, 4);
    }
}

// The pause is the player's: while it lasts, whatever loop reads the keys
// drops every key but `p`, which ends it.
TEST_F(CommandKeys, PauseDiscardsEveryKeyButP) {
    module->volume = 100;
    handle_command_key('p');
    EXPECT_TRUE(view().paused);
    EXPECT_TRUE(Player_Paused());
    EXPECT_TRUE(keys_held_by_pause());
    press_keys({'q', '+', 't', 'h', 'p', 'z'});
    PanelDescription desc;
    desc.passes_to_command_keys = true;
    desc.close_when = [] { return !player_view().paused; };
    run_panel_keys(desc, main_win);
    EXPECT_TRUE(is_playing(view()));
    EXPECT_FALSE(view().stopped);
    EXPECT_FALSE(Player_Paused());
    EXPECT_EQ(module->volume, 100);
    EXPECT_EQ(panel_below(nullptr), main_panel);  // h opened nothing
    EXPECT_EQ(wgetch(main_win), 'z');
}

TEST_F(CommandKeys, PlayOnAStoppedModuleStartsItWithoutPausing) {
    player_stop();
    ASSERT_TRUE(view().stopped);
    handle_command_key('p');
    EXPECT_TRUE(is_playing(view()));
    EXPECT_FALSE(Player_Paused());
    EXPECT_TRUE(Player_Active());
}

TEST_F(CommandKeys, TimeoutsAndUnboundKeysChangeNothing) {
    const SWORD volume = module->volume;
    const UWORD bpm = module->bpm;
    const SWORD position = module->sngpos;
    // N and V do nothing while no playlist plays; l opens the playlist panel.
    for (int key : {ERR, int{'N'}, int{'V'}, int{'x'}, KEY_F(1)}) handle_command_key(key);
    EXPECT_EQ(module->volume, volume);
    EXPECT_EQ(module->bpm, bpm);
    EXPECT_EQ(module->sngpos, position);
    EXPECT_TRUE(is_playing(view()));
    EXPECT_FALSE(view().stopped);
}

// Modules may have more channels than the table marks (a MOD says "99CH");
// muting them all must not write past the marks.
TEST(MuteAll, ModulesWithMoreChannelsThanTheTableOrNone) {
    HeadlessScreen screen;
    create_test_main_window();
    MODULE song{};
    for (int channels : {99, 0}) {
        song.numchn = static_cast<UBYTE>(channels);
        adopt_module(&song, false);
        player_core().mute_all_next = true;
        handle_command_key('M');
        EXPECT_FALSE(player_view().mute_all_next) << channels;
        EXPECT_EQ(channel_is_muted(player_view(), kMaxChannels - 1), channels > 0);
        handle_command_key('M');
        EXPECT_TRUE(player_view().mute_all_next);
        EXPECT_FALSE(channel_is_muted(player_view(), kMaxChannels - 1));
    }
    forget_module();
    destroy_test_main_window();
}

namespace {

// Sends SIGTERM to the main thread after `ms` milliseconds, from another
// thread, whatever the main thread is doing then. SIGALRM kills the
// process after `limit_ms`, so that a late exit fails the test.
void quit_after(int ms, int limit_ms) {
    const pthread_t main_thread = pthread_self();
    std::thread([ms, main_thread] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        pthread_kill(main_thread, SIGTERM);
        std::this_thread::sleep_for(std::chrono::hours(1));
    }).detach();
    itimerval limit{};
    limit.it_value.tv_sec = limit_ms / 1000;
    limit.it_value.tv_usec = (limit_ms % 1000) * 1000;
    setitimer(ITIMER_REAL, &limit, nullptr);
}

// Runs in the death test's child, on its own headless screen, with the
// loops acting on signals as the program's do.
void play_in_child() {
    start_silent_player();
    create_test_main_window();
    if (load_module(kEightChannels.c_str()) != 0) std::_Exit(4);
    refresh_delay = 40;
    LoopContext loop;
    loop.act_on_signals = act_on_signals;
    set_loop_context(loop);
    install_quit_handlers();
}

}  // namespace

// A quit signal ends the program while the "Paused..." notice waits for p.
TEST(CommandKeysDeathTest, QuitSignalEndsThePause) {
    EXPECT_EXIT(
        {
            HeadlessScreen screen;
            play_in_child();
            quit_after(100, 2000);
            handle_command_key('p');
            PanelDescription desc;
            run_panel_keys(desc, main_win);  // p never comes
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}

// The stop notice's half second does not hold a quit up: it ends at once,
// and the idle step that follows carries the quit out.
TEST(CommandKeysDeathTest, QuitSignalCutsTheStopNoticeShort) {
    EXPECT_EXIT(
        {
            HeadlessScreen screen;
            play_in_child();
            quit_after(100, 300);
            handle_command_key('t');
            idle_step();
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}
