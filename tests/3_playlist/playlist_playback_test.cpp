#include "3_playlist/playlist_playback.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <mikmod.h>
#include <string>
#include <thread>
#include <vector>

#include "1_player/loaded_module.h"
#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "1_player/settings.h"
#include "2_screen/colors.h"
#include "2_screen/keys.h"
#include "2_screen/main_window.h"
#include "2_screen/playlist_footer.h"
#include "2_screen/status_lines.h"
#include "3_playlist/playlist_store.h"
#include "headless_screen.h"
#include "silent_player.h"

TEST(PlaylistTime, RealMinutesAndSecondsOfTheSongClock) {
    EXPECT_EQ(song_time_ms(1024), 1000u);
    EXPECT_EQ(song_time_ms(2068), 2020u);
    // 4096 entries of an hour each stay exact in 64 bits.
    EXPECT_EQ(song_time_ms(3600ul * 1024) * 4096, 3600ull * 1000 * 4096);

    const struct {
        std::uint64_t ms;
        const char *shown;
    } cases[] = {
        {0, "00:00"},
        {125000 + song_time_ms(5 * 1024), "02:10"},
        {61999, "01:01"},
        {3600ull * 1000 * 4096, "9999:59"},  // the minutes stop at 9999
    };
    for (const auto &c : cases) {
        char text[16];
        format_playlist_time(text, sizeof text, c.ms);
        EXPECT_STREQ(text, c.shown) << c.ms;
    }
}

TEST(PlaylistTime, FooterAndFinishedTexts) {
    char text[64];
    format_footer_counts(text, sizeof text, 1, 3, 6060);
    EXPECT_STREQ(text, "  1/  3   (00:06)");
    // Big numbers narrow the gap so the text ends inside the footer's frame
    // (columns 16 to 34).
    format_footer_counts(text, sizeof text, 4096, 4096, 3600ull * 1000 * 4096);
    EXPECT_STREQ(text, "4096/4096 (9999:59)");
    EXPECT_LE(std::strlen(text), 19u);
    format_finished_message(text, sizeof text, 3, 3, 6060);
    EXPECT_STREQ(text, "[ Playlist finished   3/  3 (00:06) ]");
    // With the playlist's length, in a frame six columns wider (16 to 40).
    format_footer_counts(text, sizeof text, 2, 5, 190'000, 2'700'000);
    EXPECT_STREQ(text, "  2/  5   (03:10/45:00)");
    format_footer_counts(text, sizeof text, 4096, 4096, 3600ull * 1000 * 4096, 3600ull * 1000 * 4096);
    EXPECT_STREQ(text, "4096/4096 (9999:59/9999:59)");
}

TEST(PlaylistRandom, AShuffleHoldsEveryEntryOnce) {
    static int order[kPlaylistCapacity];
    for (int count : {0, 1, 2, 3, 17, kPlaylistCapacity}) {
        std::uint64_t state = 12345 + static_cast<std::uint64_t>(count);
        shuffle_order(order, count, state);
        std::vector<int> sorted(order, order + count);
        std::sort(sorted.begin(), sorted.end());
        for (int i = 0; i < count; ++i) ASSERT_EQ(sorted[static_cast<std::size_t>(i)], i) << count;
    }
}

TEST(PlaylistRandom, SeedsGiveTheirOwnOrdersAndEveryOrderComes) {
    int a[16], b[16];
    std::uint64_t first = 1, again = 1, other = 2;
    shuffle_order(a, 16, first);
    shuffle_order(b, 16, again);
    EXPECT_TRUE(std::equal(a, a + 16, b));  // the same seed, the same order
    shuffle_order(b, 16, other);
    EXPECT_FALSE(std::equal(a, a + 16, b));
    // Three entries: each of the six orders about as often, every entry
    // first about a third of the time (the old picks never put the first
    // entry anywhere but first, nor the last one under N).
    std::map<std::vector<int>, int> seen;
    std::uint64_t state = 7;
    for (int i = 0; i < 6000; ++i) {
        int order[3];
        shuffle_order(order, 3, state);
        ++seen[std::vector<int>(order, order + 3)];
    }
    EXPECT_EQ(seen.size(), 6u);
    for (const auto &[order, times] : seen) {
        EXPECT_GT(times, 850) << order[0] << order[1] << order[2];
        EXPECT_LT(times, 1150) << order[0] << order[1] << order[2];
    }
}

namespace {

const std::string kFixtures = XQ_FIXTURE_DIR;
const std::string kA = kFixtures + "/short_a.xm";
const std::string kB = kFixtures + "/short_b.xm";
const std::string kC = kFixtures + "/short_c.xm";
const std::string kMissing = "/nonexistent/song.xm";

// The library's loaders can be registered only once in a process, so the
// silent player runs for the whole test program (the panel's tests use it
// too).
class SilentPlayer : public ::testing::Environment {
public:
    void SetUp() override { start_silent_player(); }
    void TearDown() override { stop_silent_player(); }
};
const auto *const kSilentPlayer = ::testing::AddGlobalTestEnvironment(new SilentPlayer);

// Songs of 2 s on the silent driver, which plays only as fast as it is fed.
class Playback : public ::testing::Test {
protected:

    HeadlessScreen screen{24, 80};

    void SetUp() override {
        create_test_main_window();
        playlist_clear();
        random_mode = 0;
    }
    void TearDown() override {
        playlist_active = false;
        playlist_footer = PlaylistFooter{};
        player_unload();
        random_mode = 0;
        playlist_clear();
        destroy_test_main_window();
    }

    static void add(std::initializer_list<std::string> paths) {
        for (const std::string &p : paths) ASSERT_EQ(playlist_add_path(p.c_str()), AddResult::added) << p;
    }
    static std::string song() { return player_view().module ? player_view().module->title : ""; }
    static std::uint64_t loaded() { return loaded_module_number(player_view()); }
    static void play_to_end() {
        MODULE *module = player_module();
        for (int i = 0; i < 100000 && !song_has_ended(*module); ++i) MikMod_Update();
        ASSERT_TRUE(song_has_ended(*module));
    }
    // About half a second of the song.
    static void play_a_while() {
        MODULE *module = player_module();
        const unsigned long until = module->sngtime + 512;
        for (int i = 0; i < 100000 && module->sngtime < until && !song_has_ended(*module); ++i) MikMod_Update();
        ASSERT_FALSE(song_has_ended(*module));
    }
    static unsigned long song_time() { return player_module()->sngtime; }
    // The idle step that follows: the playlist moves on if its song ended.
    static void step() { playlist_step(); }
    // The idle step once the second after an entry that could not be loaded
    // has passed.
    static void step_a_second_later() {
        std::this_thread::sleep_for(std::chrono::milliseconds(kFailedEntryMs + 20));
        playlist_step();
    }
    static std::string bottom_row() { return row_text(main_win, screen_rows() - 1); }
};

}  // namespace

TEST_F(Playback, ThreeEntriesInOrderAndTheFinishedMessage) {
    add({kA, kB, kC});
    playlist_active = true;
    start_playlist();
    EXPECT_EQ(song(), "song a");
    EXPECT_EQ(bottom_row().substr(0, 48), "+-[ Playlist:     1/  3   (00:00)  ]------------");
    EXPECT_EQ(cell_attr(main_win, 23, 4), bold_pair(kYellowOnBlue));
    EXPECT_EQ(cell_attr(main_win, 23, 16), kNormal);

    std::uint64_t total = 0;
    for (const char *next : {"song b", "song c"}) {
        play_a_while();
        step();  // nothing happens before the end
        ASSERT_TRUE(playlist_active);
        ASSERT_NE(song(), next);
        play_to_end();
        total += song_time_ms(song_time());
        step();  // the player says the song ended: the next one plays at once
        EXPECT_EQ(song(), next);
        EXPECT_EQ(playlist_elapsed_ms, total);
        draw_status_row();
        const std::string counts = std::string(next) == "song b" ? "2/  3" : "3/  3";
        EXPECT_NE(bottom_row().find("Playlist:     " + counts), std::string::npos) << bottom_row();
    }
    play_to_end();
    total += song_time_ms(song_time());
    step();
    EXPECT_FALSE(playlist_active);
    EXPECT_TRUE(playlist_footer.clear_pending);
    EXPECT_EQ(playlist_elapsed_ms, total);
    EXPECT_GE(total, 6000u);  // three songs of 2 s in real time, not in 1/1024 s
    EXPECT_LT(total, 6200u);
    EXPECT_NE(bottom_row().find("[ Playlist finished   3/  3 (00:06) ]"), std::string::npos) << bottom_row();
    const std::uint64_t last = loaded();
    step();  // later steps change nothing
    EXPECT_EQ(loaded(), last);
}

// Every entry plays once per pass, in the pass's order; each start of the
// playlist draws another order.
TEST_F(Playback, RandomModePlaysEveryEntryOnceThenFinishes) {
    random_mode = 1;
    add({kA, kB, kC});
    std::set<std::vector<std::string>> orders;
    for (int pass = 0; pass < 12; ++pass) {
        seed_shuffle(static_cast<std::uint64_t>(pass));
        playlist_active = true;
        start_playlist();
        std::vector<std::string> played{song()};
        while (playlist_active && played.size() < 10) {
            play_to_end();
            const std::uint64_t before = loaded();
            step();
            if (loaded() != before) played.push_back(song());
        }
        ASSERT_EQ(played.size(), 3u);
        EXPECT_EQ(std::set<std::string>(played.begin(), played.end()).size(), 3u);
        EXPECT_NE(bottom_row().find("Playlist finished   3/  3"), std::string::npos) << bottom_row();
        orders.insert(played);
    }
    EXPECT_GT(orders.size(), 2u);
}

TEST_F(Playback, NextFollowsTheShuffledOrderAndPreviousGoesBackThroughIt) {
    random_mode = 1;
    add({kA, kB, kC});
    seed_shuffle(3);
    playlist_active = true;
    start_playlist();
    std::vector<std::string> forward{song()};
    for (int i = 0; i < 3; ++i) {  // the third N is on the last place: nothing
        playlist_next();
        if (song() != forward.back()) forward.push_back(song());
    }
    ASSERT_EQ(forward.size(), 3u);
    EXPECT_EQ(std::set<std::string>(forward.begin(), forward.end()).size(), 3u);
    for (int i : {1, 0}) {
        playlist_previous();
        EXPECT_EQ(song(), forward[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(playlist_index, 0);
}

TEST_F(Playback, NextAndPreviousWithinTheirBounds) {
    add({kA, kB, kC});
    playlist_next();  // no playlist playing: nothing
    playlist_previous();
    EXPECT_EQ(player_view().module, nullptr);

    playlist_active = true;
    start_playlist();
    playlist_previous();  // on entry 0
    EXPECT_EQ(song(), "song a");
    play_a_while();
    const std::uint64_t so_far = song_time_ms(song_time());
    ASSERT_GT(so_far, 0u);
    playlist_next();
    EXPECT_EQ(song(), "song b");
    EXPECT_EQ(playlist_index, 1);
    EXPECT_EQ(playlist_elapsed_ms, so_far);  // N adds the time played so far
    playlist_next();
    EXPECT_EQ(song(), "song c");
    playlist_next();  // on the last entry
    EXPECT_EQ(song(), "song c");
    playlist_previous();
    EXPECT_EQ(song(), "song b");
    EXPECT_EQ(playlist_elapsed_ms, so_far);  // V subtracts nothing
    draw_status_row();
    EXPECT_NE(bottom_row().find("2/  3"), std::string::npos) << bottom_row();
}

TEST_F(Playback, EntriesThatCannotBeLoadedArePassedOverWithTheirBox) {
    add({kMissing, kA, kFixtures, kC});
    playlist_active = true;
    press_keys({'\n'});  // closes "File can't be read."
    start_playlist();
    EXPECT_EQ(player_view().module, nullptr);
    step();  // not before a second has passed
    EXPECT_EQ(player_view().module, nullptr);
    step_a_second_later();
    EXPECT_EQ(song(), "song a");
    EXPECT_EQ(playlist_elapsed_ms, 0u);
    play_to_end();
    const std::uint64_t a = song_time_ms(song_time());
    press_keys({'\n'});  // closes "Not a file."
    step();
    EXPECT_EQ(playlist_index, 2);
    EXPECT_EQ(song(), "song a");  // the old module stays
    EXPECT_EQ(playlist_elapsed_ms, a);
    step_a_second_later();  // its time is not counted twice
    EXPECT_EQ(song(), "song c");
    EXPECT_EQ(playlist_elapsed_ms, a);
    play_to_end();
    const std::uint64_t c = song_time_ms(song_time());
    step();
    EXPECT_FALSE(playlist_active);
    EXPECT_EQ(playlist_elapsed_ms, a + c);
    EXPECT_NE(bottom_row().find("Playlist finished   4/  4"), std::string::npos) << bottom_row();
}

TEST(FailedRun, OneBoxTellsHowManyAndTheLastReason) {
    const struct {
        int count;
        bool none_played;
        const char *text;
    } cases[] = {
        {1, false, "'a.xm': Not a file."},
        {1, true, "'a.xm': Not a file."},
        {2, false, "2 entries passed over. Last: 'a.xm': Not a file."},
        {4096, true, "None of the 4096 played. Last: 'a.xm': Not a file."},
    };
    for (const auto &c : cases) {
        char text[128];
        format_failed_run(text, sizeof text, c.count, c.none_played, "'a.xm': Not a file.");
        EXPECT_STREQ(text, c.text) << c.count;
    }
}

// Entries that cannot be loaded, right after one that could not: the first
// has its box as ever, the others are passed over at once, and one box
// (closed by q here) tells of the run as the entry after it plays.
TEST_F(Playback, ARunOfEntriesThatCannotBeLoadedGetsOneBox) {
    add({kA, kMissing, kFixtures, kMissing, kFixtures, kMissing, kC});
    playlist_active = true;
    start_playlist();
    play_to_end();
    const std::uint64_t a = song_time_ms(song_time());
    press_keys({'\n'});  // the first one's box
    step();
    EXPECT_EQ(playlist_index, 1);
    EXPECT_EQ(song(), "song a");
    press_keys({'q', 'z'});
    step_a_second_later();
    EXPECT_EQ(song(), "song c");
    EXPECT_EQ(playlist_index, 6);
    EXPECT_EQ(playlist_elapsed_ms, a);
    EXPECT_EQ(wgetch(main_win), 'z');  // one box took one key
    EXPECT_EQ(panel_below(nullptr), main_panel);
    draw_status_row();
    EXPECT_NE(bottom_row().find("7/  7"), std::string::npos) << bottom_row();
}

// At the start nothing plays yet: every entry that cannot be loaded is
// passed over at once, and one box tells of them all, Escape or q closing
// it as Enter does; with nothing to play the start fails after it.
TEST_F(Playback, AStartPassesOverItsFailuresWithOneBox) {
    add({kMissing, kFixtures, kMissing, kA, kMissing});
    press_keys({'q', 'z'});
    EXPECT_EQ(start_command_line_playlist(), 0);
    EXPECT_EQ(song(), "song a");
    EXPECT_EQ(playlist_index, 3);
    EXPECT_TRUE(playlist_active);
    EXPECT_EQ(wgetch(main_win), 'z');
    player_unload();
    playlist_clear();

    add({kMissing, kFixtures, kMissing});
    press_keys({kEscape, 'z'});
    EXPECT_EQ(start_command_line_playlist(), -1);
    EXPECT_FALSE(playlist_active);
    EXPECT_EQ(player_view().module, nullptr);
    EXPECT_EQ(wgetch(main_win), 'z');
}

// Nobody presses Enter: the box of an entry that cannot be loaded closes
// when the playlist is due to move on, and it then moves on at once.
TEST_F(Playback, AFailedEntrysBoxClosesWhenThePlaylistMovesOn) {
    add({kMissing, kA});
    playlist_active = true;
    start_playlist();  // returns once the box has closed, about a second later
    EXPECT_EQ(player_view().module, nullptr);
    EXPECT_EQ(panel_below(nullptr), main_panel);  // the box is gone
    step();  // the next idle step
    EXPECT_EQ(song(), "song a");
    EXPECT_EQ(playlist_index, 1);
}

TEST_F(Playback, AListThatShrinksWhilePlayingNeverSendsTheIndexPastItsEnd) {
    add({kA, kB, kC});
    playlist_active = true;
    start_playlist();
    playlist_next();
    playlist_next();
    ASSERT_EQ(playlist_index, 2);
    playlist_remove(2);
    playlist_remove(1);
    playlist_previous();  // the index is back inside: entry 0, so V does nothing
    EXPECT_EQ(playlist_index, 0);
    EXPECT_EQ(song(), "song c");
    step();
    draw_status_row();
    EXPECT_NE(bottom_row().find("1/  1"), std::string::npos) << bottom_row();
    play_to_end();
    step();
    EXPECT_FALSE(playlist_active);
    playlist_clear();
    playlist_active = true;
    play_to_end();
    step();  // an emptied list finishes without reading any slot
    EXPECT_FALSE(playlist_active);
    EXPECT_NE(bottom_row().find("finished   0/  0"), std::string::npos) << bottom_row();
}

TEST_F(Playback, TheCommandLinePlaylistStartsAtTheFirstEntryThatLoads) {
    add({kMissing, kB, kC});
    press_keys({'\n'});
    ASSERT_EQ(start_command_line_playlist(), 0);
    EXPECT_TRUE(playlist_active);
    EXPECT_EQ(playlist_index, 1);
    EXPECT_EQ(song(), "song b");
    play_to_end();
    step();
    EXPECT_EQ(song(), "song c");

    player_unload();
    playlist_clear();
    add({kMissing});
    press_keys({'\n'});
    EXPECT_EQ(start_command_line_playlist(), -1);
    EXPECT_FALSE(playlist_active);
}

TEST(PlaylistFooter, StopsShortOfTheTimeBoxOnANarrowScreen) {
    HeadlessScreen screen{12, 40};
    create_test_main_window();
    MODULE song{};
    song.numpos = 4;
    adopt_module(&song, false);
    playlist_footer.shown = true;
    playlist_footer.entry = 1;
    playlist_footer.count = 1;
    draw_status_row();
    const std::string row = row_text(main_win, 11);
    EXPECT_EQ(row.substr(23, 15), "[ Time: 00:00 ]") << row;
    EXPECT_NE(row.find("Playlist:"), std::string::npos) << row;
    playlist_footer.shown = false;
    playlist_footer.clear_pending = true;
    draw_status_row();
    EXPECT_EQ(row_text(main_win, 11).substr(1, 22), std::string(22, '-'));
    EXPECT_EQ(row_text(main_win, 11).substr(23, 15), "[ Time: 00:00 ]");
    forget_module();
    playlist_footer = PlaylistFooter{};
    destroy_test_main_window();
}
