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

#include "1_player/module_loader.h"
#include "1_player/player_limits.h"
#include "1_player/settings.h"
#include "2_screen/channel_table.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "2_screen/status_lines.h"
#include "3_panels/module_loading.h"
#include "4_program/shutdown.h"
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

    void SetUp() override {
        create_test_main_window();
        save_marker_cells();
        ASSERT_EQ(load_module(kEightChannels.c_str()), 0);
        stopped = false;
        show_real_volume = 1;
        mute_all_next = 1;
        spinner_off = 1;
        reverse_stereo = 0;
        md_reverb = 0;
    }
    void TearDown() override {
        if (module) Player_Free(module);
        module = nullptr;
        playing = false;
        stopped = false;
        md_mode = saved_mode;
        md_reverb = 0;
        reverse_stereo = 0;
        destroy_test_main_window();
    }

    static void press(int key, int times) {
        for (int i = 0; i < times; ++i) handle_command_key(key);
    }
};

}  // namespace

TEST_F(CommandKeys, SettingsStopAtTheirBounds) {
    struct Field {
        std::function<int()> get;
        std::function<void(int)> set;
    };
    const Field volume{[] { return module->volume; }, [](int v) { module->volume = static_cast<SWORD>(v); }};
    const Field bpm{[] { return module->bpm; }, [](int v) { module->bpm = static_cast<UWORD>(v); }};
    const Field tempo{[] { return module->inittempo; }, [](int v) { module->inittempo = static_cast<UWORD>(v); }};
    const Field speed{[] { return module->sngspd; }, [](int v) { module->sngspd = static_cast<UWORD>(v); }};
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
    EXPECT_EQ(song_position, 0);

    handle_command_key('n');
    EXPECT_EQ(module->sngpos, 1);
    EXPECT_EQ(song_position, 1);
    handle_command_key('n');
    handle_command_key('v');
    EXPECT_EQ(module->sngpos, 1);
    EXPECT_EQ(song_position, 1);

    // n goes by the last position it reached, not by where the song is now
    song_position = module->numpos - 1;
    handle_command_key('n');
    EXPECT_EQ(module->sngpos, 1);
    EXPECT_EQ(song_position, 3);

    handle_command_key('A');
    EXPECT_EQ(song_position, 0);
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
    channel_muted[2] = true;  // a channel muted by hand is unmuted with the rest
    Player_Mute(2);
    for (bool mute : {true, false}) {
        handle_command_key('M');
        for (int j = 0; j < channels; ++j) {
            EXPECT_EQ(channel_muted[j], mute) << j;
            EXPECT_EQ(Player_Muted(static_cast<UBYTE>(j)), mute) << j;
        }
        EXPECT_EQ(mute_all_next, mute ? 0 : 1);
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
        EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::microseconds(kStopNoticeMicroseconds));
        EXPECT_TRUE(stopped);
        EXPECT_FALSE(playing);
        EXPECT_FALSE(Player_Active());
        EXPECT_EQ(module->patpos, 0);
        EXPECT_EQ(cells_text(shown(), 10, 34, 15), cells_text(main_win, 10, 34, 15));  // the notice is gone

        handle_command_key(restart_key);
        EXPECT_FALSE(stopped) << static_cast<char>(restart_key);
        EXPECT_TRUE(playing);
        EXPECT_TRUE(Player_Active());
        MikMod_Update();
        EXPECT_EQ(module->sngpos, 0) << static_cast<char>(restart_key);
        EXPECT_LT(module->patpos, 4);
    }
}

TEST_F(CommandKeys, PauseDiscardsEveryKeyButP) {
    module->volume = 100;
    press_keys({'q', '+', 't', 'p', 'z'});
    handle_command_key('p');
    EXPECT_TRUE(playing);
    EXPECT_FALSE(stopped);
    EXPECT_FALSE(Player_Paused());
    EXPECT_EQ(module->volume, 100);
    EXPECT_EQ(wgetch(main_win), 'z');
}

TEST_F(CommandKeys, PlayWithoutARunningModuleStartsItWithoutPausing) {
    playing = false;  // as after a failed load
    press_keys({'z'});
    handle_command_key('p');
    EXPECT_TRUE(playing);
    EXPECT_FALSE(Player_Paused());
    EXPECT_EQ(wgetch(main_win), 'z');
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
    EXPECT_TRUE(playing);
    EXPECT_FALSE(stopped);
}

// Modules may have more channels than the table marks (a MOD says "99CH");
// muting them all must not write past the marks.
TEST(MuteAll, ModulesWithMoreChannelsThanTheTableOrNone) {
    HeadlessScreen screen;
    create_test_main_window();
    MODULE song{};
    module = &song;
    for (int channels : {99, 0}) {
        song.numchn = static_cast<UBYTE>(channels);
        mute_all_next = 1;
        handle_command_key('M');
        EXPECT_EQ(mute_all_next, 0) << channels;
        EXPECT_EQ(channel_muted[kMaxChannels - 1], channels > 0);
        handle_command_key('M');
        EXPECT_EQ(mute_all_next, 1);
        EXPECT_FALSE(channel_muted[kMaxChannels - 1]);
    }
    module = nullptr;
    destroy_test_main_window();
}

namespace {

// Sends SIGTERM after `ms` milliseconds from another thread, which also
// handles it: the main thread blocks it, so its key read or sleep is not
// cut short by the signal and only the loop's own checks can see the
// request, as when the signal lands just before the read. SIGALRM kills the
// process after `limit_ms`, so that a late exit fails the test.
void quit_after(int ms, int limit_ms) {
    std::thread([ms] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        kill(getpid(), SIGTERM);
        std::this_thread::sleep_for(std::chrono::hours(1));
    }).detach();
    sigset_t quit;
    sigemptyset(&quit);
    sigaddset(&quit, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &quit, nullptr);
    itimerval limit{};
    limit.it_value.tv_sec = limit_ms / 1000;
    limit.it_value.tv_usec = (limit_ms % 1000) * 1000;
    setitimer(ITIMER_REAL, &limit, nullptr);
}

// Runs in the death test's child, on its own headless screen.
void play_in_child() {
    start_silent_player();
    create_test_main_window();
    if (load_module(kEightChannels.c_str()) != 0) std::_Exit(4);
    refresh_delay = 40;
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
            std::_Exit(3);  // p never comes
        },
        ::testing::ExitedWithCode(0), "");
}

// The stop notice's half second does not hold a quit up.
TEST(CommandKeysDeathTest, QuitSignalCutsTheStopNoticeShort) {
    EXPECT_EXIT(
        {
            HeadlessScreen screen;
            play_in_child();
            quit_after(100, 300);
            handle_command_key('t');
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}
