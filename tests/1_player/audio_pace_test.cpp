#include <gtest/gtest.h>
#include <mikmod.h>
#include <poll.h>
#include <string>
#include <unistd.h>

#include "1_player/loaded_module.h"
#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "1_player/player_view.h"
#include "1_player/settings.h"
#include "1_player/sound_output.h"
#include "silent_player.h"

namespace {

constexpr long long kMs = 1'000'000;

}  // namespace

// A driver that blocks keeps the sound about a buffer ahead; one that fell
// behind (it played silence meanwhile) counts afresh; one that takes sound
// without playing it runs ahead without bound.
TEST(AudioPace, CountsTheSoundAheadOfTheClock) {
    AudioPace pace;
    EXPECT_EQ(sound_ahead_ns(pace, 5'000 * kMs, 100 * kMs), 0);  // the first call anchors
    EXPECT_EQ(sound_ahead_ns(pace, 5'200 * kMs, 110 * kMs), 190 * kMs);
    EXPECT_EQ(sound_ahead_ns(pace, 5'400 * kMs, 310 * kMs), 190 * kMs);
    // Held up for a second: the output ran dry and starts again from now.
    EXPECT_EQ(sound_ahead_ns(pace, 5'420 * kMs, 1'310 * kMs), 0);
    EXPECT_EQ(sound_ahead_ns(pace, 5'520 * kMs, 1'320 * kMs), 90 * kMs);
    reset_pace(pace);
    EXPECT_EQ(sound_ahead_ns(pace, 9'000 * kMs, 2'000 * kMs), 0);
}

TEST(AudioPace, AnOutputIsStalledOnlyAfterBeingHeldAtTheLimit) {
    AudioPace pace;
    const long long limit = kMostAheadNs;
    EXPECT_FALSE(output_stalled(pace, limit, limit, 0));
    EXPECT_FALSE(output_stalled(pace, limit + 1, limit, 10 * kMs));
    // Held at the limit, it dips just below it between waits.
    EXPECT_FALSE(output_stalled(pace, limit - 20 * kMs, limit, 40 * kMs));
    EXPECT_FALSE(output_stalled(pace, limit + 1, limit, 10 * kMs + kLostAfterNs - 1));
    EXPECT_TRUE(output_stalled(pace, limit + 1, limit, 10 * kMs + kLostAfterNs));
    // A working driver's level starts the watch again.
    EXPECT_FALSE(output_stalled(pace, limit / 4, limit, 20 * kMs + kLostAfterNs));
    EXPECT_FALSE(output_stalled(pace, limit + 1, limit, 30 * kMs + kLostAfterNs));
}

TEST(AudioPace, ATickLastsTwoAndAHalfSecondsOverTheBpm) {
    EXPECT_EQ(tick_ns(125), 20 * kMs);
    EXPECT_EQ(tick_ns(250), 10 * kMs);
    EXPECT_GT(tick_ns(0), 0);
}

TEST(PlaceHistory, FindsTheLastPlaceMixedBeforeAMoment) {
    PlaceHistory history;
    EXPECT_EQ(place_heard_at(history, 1'000 * kMs), nullptr);
    for (int i = 0; i < kPlaceHistory + 10; ++i) note_place(history, {i * 20 * kMs, i / 64, i % 64, 0});
    const SongPlace *p = place_heard_at(history, 5'010 * kMs);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->mixed_ns, 5'000 * kMs);
    EXPECT_EQ(p->patpos, 250 % 64);
    EXPECT_EQ(place_heard_at(history, 5 * kMs), nullptr);  // older than anything kept
}

TEST(SongEnd, OnlyASongThatDoesNotWrapEnds) {
    MODULE m{};
    m.numpos = 3;
    const struct {
        int sngpos;
        bool wrap;
        bool ended;
    } cases[] = {{0, false, false}, {2, false, false}, {3, false, true}, {4, false, true}, {3, true, false}};
    for (const auto &c : cases) {
        m.sngpos = static_cast<SWORD>(c.sngpos);
        m.wrap = c.wrap;
        EXPECT_EQ(song_has_ended(m), c.ended) << c.sngpos << " " << c.wrap;
    }
}

// The sound thread on the silent driver: the song moves at the clock's
// pace, commands run in order on the module as the player has it, a caller
// that waits sees their effect in the snapshot, and the screens are woken
// once a frame while the song moves and not at all while it stands still.
TEST(PlayerThread, PlaysCarriesOutCommandsAndWakesTheScreensOnlyWhileTheSongMoves) {
    start_silent_player();
    ASSERT_EQ(start_player_thread(run_sound_loop), 0);
    set_player_frame_interval_ms(100);
    const std::string song = std::string(XQ_FIXTURE_DIR) + "/eight.mod";
    ASSERT_TRUE(player_load(song.c_str(), false, false).loaded);
    ASSERT_NE(player_view().module, nullptr);
    const int wake = player_wake_fd();
    ASSERT_GE(wake, 0);
    const int bpm = player_view().bpm;
    for (int i = 0; i < 5; ++i)
        player_change_setting(PlayerSetting::bpm, [](int value, int) { return value + 1; });
    player_catch_up();
    EXPECT_EQ(player_view().bpm, bpm + 5);
    EXPECT_TRUE(player_view_caught_up());

    // About a second of song in about a second, in frames of 100 ms.
    const unsigned long start = player_view().sngtime;
    const std::uint64_t first = player_view().number;
    pollfd ready{wake, POLLIN, 0};
    for (int i = 0; i < 300 && player_view().sngtime < start + 1024; ++i) {
        poll(&ready, 1, 50);
        refresh_player_view();
    }
    EXPECT_GE(player_view().sngtime, start + 1024);
    const std::uint64_t frames = player_view().number - first;
    EXPECT_GE(frames, 6u);
    EXPECT_LE(frames, 14u);

    ASSERT_TRUE(player_pause());
    EXPECT_TRUE(player_view().paused);
    EXPECT_FALSE(player_pause());  // paused already
    refresh_player_view();
    const std::uint64_t paused_at = player_view().number;
    EXPECT_EQ(poll(&ready, 1, 300), 0);  // nothing moves: nothing wakes the screens
    refresh_player_view();
    EXPECT_EQ(player_view().number, paused_at);
    ASSERT_TRUE(player_resume());
    EXPECT_FALSE(player_view().paused);

    player_stop();
    player_catch_up();
    EXPECT_TRUE(player_view().stopped);
    refresh_player_view();
    EXPECT_EQ(poll(&ready, 1, 300), 0);

    stop_player_thread();
    EXPECT_FALSE(player_thread_running());
    player_restart();  // runs at once without the thread
    EXPECT_TRUE(player_view().started);
    stop_silent_player();
}
