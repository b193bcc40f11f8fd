#include "1_player/song_walk.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <mikmod.h>
#include <string>
#include <utility>
#include <vector>

#include "1_player/loaded_module.h"
#include "1_player/order_list.h"
#include "1_player/song_seek.h"
#include "1_player/sound_output.h"
#include "silent_player.h"

namespace {

// What songs_song (tools/xqmod/presets.py) holds: three songs, their starts
// and their lengths as a player taking every jump times them.
constexpr int kStarts[] = {0, 4, 6};
constexpr long long kLengthsMs[] = {5660, 3840, 2560};
constexpr long long kTickNs = 20'000'000;  // one tick at 125 BPM

const char *const kFormats[] = {"xm", "mod", "it", "s3m"};

std::string fixture(const char *name) { return std::string(XQ_FIXTURE_DIR) + "/" + name; }

class SongWalkTest : public ::testing::Test {
protected:
    void SetUp() override { start_silent_player(); }
    void TearDown() override {
        if (module_) {
            Player_Stop();
            Player_Free(module_);
        }
        stop_silent_player();
    }
    // Loads the songs fixture of `format` and makes it the module the
    // library plays.
    MODULE &load(const char *format) {
        const std::string name = std::strchr(format, '.') ? format : std::string("songs.") + format;
        const std::vector<char> bytes = file_bytes(fixture(name.c_str()));
        module_ = Player_LoadMem(bytes.data(), static_cast<int>(bytes.size()), 64, 0);
        EXPECT_NE(module_, nullptr) << format;
        Player_Start(module_);
        return *module_;
    }
    MODULE *module_ = nullptr;
};

TEST_F(SongWalkTest, FindsEachSongWithItsLengthInEveryFormat) {
    for (const char *format : kFormats) {
        const std::vector<char> bytes = file_bytes(fixture((std::string("songs.") + format).c_str()));
        const SongWalks songs = walk_module_bytes(bytes.data(), bytes.size());
        ASSERT_EQ(songs.size(), 3u) << format;
        for (int s = 0; s < 3; ++s) {
            SCOPED_TRACE(std::string(format) + " song " + std::to_string(s + 1));
            EXPECT_EQ(songs[s].start_position, kStarts[s]);
            EXPECT_TRUE(songs[s].length_known);
            EXPECT_NEAR(songs[s].length_ns / 1'000'000.0, kLengthsMs[s], 1.0);
        }
        // The first two end where a row would play again, the third at the
        // end of the order list.
        EXPECT_TRUE(songs[0].ends_at_repeat);
        EXPECT_TRUE(songs[1].ends_at_repeat);
        EXPECT_FALSE(songs[2].ends_at_repeat);
    }
}

TEST_F(SongWalkTest, TheMapHoldsEachRowAtItsTime) {
    MODULE &m = load("xm");
    std::vector<char> reached(m.numpos, 0);
    const SongWalk walk = walk_song(m, 0, reached);
    // Rows 4-7 twice (the pattern loop), row 10 once however long its delay,
    // then rows 11-15; position 1 from 2.64 s at 150 BPM (100 ms a row);
    // position 2 from its row 4 at speed 3; position 3 back at 120 ms a row.
    const struct {
        long long ms;
        int position;
        int row;
        bool entry;
    } expected[] = {
        {0, 0, 0, true},      {480, 0, 4, false},   {840, 0, 7, false},   {960, 0, 4, false},
        {1320, 0, 7, false},  {1440, 0, 8, false},  {1680, 0, 10, false}, {2040, 0, 11, false},
        {2640, 1, 0, true},   {3440, 1, 8, false},  {3540, 2, 4, true},   {3690, 2, 7, false},
        {3740, 3, 0, true},   {5540, 3, 15, false},
    };
    for (const auto &e : expected) {
        SCOPED_TRACE(e.ms);
        const int r = row_at_time(walk, e.ms * 1'000'000LL);
        ASSERT_GE(r, 0);
        EXPECT_EQ(walk.rows[r].sngpos, e.position);
        EXPECT_EQ(walk.rows[r].patpos, e.row);
        EXPECT_EQ(walk.rows[r].entry, e.entry);
        EXPECT_NEAR(walk.rows[r].time_ns / 1e6, e.ms, 1.0);
    }
    // Positions 0 to 3 are the first song's, no others.
    EXPECT_EQ(std::vector<char>(reached.begin(), reached.begin() + 5), (std::vector<char>{1, 1, 1, 1, 0}));
}

// Plays the song from its start through play_song_tick until it ends, and
// returns how long it played.
long long play_until_end(MODULE &m, SongEnding &ending) {
    restart_song_at(m, ending.start_position);
    m.sngtime = 0;
    long long played = 0;
    for (int ticks = 0; ticks < 100000; ++ticks) {
        play_song_tick(m, ending);
        if (m.sngpos >= m.numpos) return played;
        played += tick_ns(mixer_bpm(m));
    }
    return -1;
}

TEST_F(SongWalkTest, PlaybackEndsWhereTheWalkEndsItAfterItsPasses) {
    for (const char *format : kFormats) {
        const std::vector<char> bytes = file_bytes(fixture((std::string("songs.") + format).c_str()));
        const SongWalks songs = walk_module_bytes(bytes.data(), bytes.size());
        ASSERT_EQ(songs.size(), 3u);
        MODULE &m = load(format);
        m.loop = 1;
        m.wrap = 0;
        for (int s = 0; s < 3; ++s) {
            for (int loops : {1, 3}) {
                SCOPED_TRACE(std::string(format) + " song " + std::to_string(s + 1) + " loops " + std::to_string(loops));
                SongEnding ending = ending_of(songs[s], loops, false);
                const long long played = play_until_end(m, ending);
                // A song that ends by a jump back repeats only the part it
                // jumps to: the first song goes back to position 1.
                long long expected = songs[s].length_ns * loops;
                if (s == 0) expected = songs[0].length_ns + (loops - 1) * (songs[0].length_ns - 2640'000'000LL);
                EXPECT_NEAR(played, expected, kTickNs);
            }
        }
        Player_Stop();
        Player_Free(module_);
        module_ = nullptr;
    }
}

// The last pass of a song that ends by a jump back fades out over its last
// 128 ticks when asked to, and only then; the passes before keep their
// volume.
TEST_F(SongWalkTest, TheLastPassOfASongEndingAtARepeatFadesOut) {
    const std::vector<char> bytes = file_bytes(fixture("songs.xm"));
    const SongWalks songs = walk_module_bytes(bytes.data(), bytes.size());
    ASSERT_TRUE(songs[0].ends_at_repeat);
    MODULE &m = load("xm");
    m.loop = 1;
    m.wrap = 0;
    for (int loops : {1, 2}) {
        for (bool fade : {false, true}) {
            SCOPED_TRACE("loops " + std::to_string(loops) + (fade ? " fading" : ""));
            SongEnding ending = ending_of(songs[0], loops, fade);
            restart_song_at(m, ending.start_position);
            m.volume = 100;
            const long long whole = songs[0].length_ns + (loops - 1) * ending.later_pass_ns;
            const long long fade_start = whole - kFadeTicks * kTickNs;
            long long played = 0;
            int before_fade = -1;
            int last = -1;
            int lowest = 1000;
            while (m.sngpos < m.numpos && played < 2 * whole) {
                play_song_tick(m, ending);
                played += tick_ns(mixer_bpm(m));
                if (played < fade_start - 2 * kTickNs) before_fade = m.volume;
                if (m.sngpos < m.numpos) last = m.volume;
                lowest = std::min(lowest, static_cast<int>(m.volume));
            }
            EXPECT_NEAR(played, whole, 2 * kTickNs);
            EXPECT_EQ(before_fade, 100);
            if (fade) {
                EXPECT_LE(last, 2);  // all but silent at the end
            } else {
                EXPECT_EQ(lowest, 100);
            }
        }
    }
}

TEST_F(SongWalkTest, AStateThatLeadsToARepeatOnlyTheSecondTimeEndsTheSongThen) {
    // Position 1 is entered at row 4 first (the FastTracker loop quirk),
    // at row 0 after the jump back: its break at row 8 leads twice to row 4
    // of position 2, the second time into a row that played already.
    const std::vector<char> bytes = file_bytes(fixture("songs_quirk.xm"));
    const SongWalks songs = walk_module_bytes(bytes.data(), bytes.size());
    ASSERT_EQ(songs.size(), 3u);
    EXPECT_EQ(songs[0].end_key_count, 2);
    // 2.64 s, then position 1 rows 4-8 at 125 BPM, position 2 rows 4-7 at
    // speed 3, position 3, and position 1 again, rows 0-8 at 150 BPM.
    EXPECT_NEAR(songs[0].length_ns / 1e6, 2640 + 600 + 240 + 1920 + 900, 1.0);
    EXPECT_NEAR(songs[0].repeat_ns / 1e6, 2640 + 600, 1.0);
    MODULE &m = load("songs_quirk.xm");
    m.loop = 1;
    m.wrap = 0;
    // A second pass goes on from position 2's row 4, now at 150 BPM: 4
    // rows of 50 ms, position 3, position 1's rows 0-8.
    for (const auto &[loops, ms] : {std::pair{1, 6300LL}, std::pair{2, 6300LL + 200 + 1920 + 900}}) {
        SongEnding ending = ending_of(songs[0], loops, false);
        EXPECT_NEAR(play_until_end(m, ending) / 1e6, ms, 1.0) << loops;
    }
}

TEST_F(SongWalkTest, TheTunesAfterEndMarkersAreSongsPlayedFromACopyOfTheirOwn) {
    // Orders 0 1 --- 2 3 --- 4: the library lets the first marker pass and
    // would play the second tune on from the first; each plays alone.
    constexpr long long kTuneMs[] = {3840, 3840, 960};
    constexpr int kTuneStarts[] = {0, 3, 6};
    for (const char *name : {"tunes.it", "tunes.s3m"}) {
        SCOPED_TRACE(name);
        const std::vector<char> bytes = file_bytes(fixture(name));
        const SongWalks songs = walk_module_bytes(bytes.data(), bytes.size());
        ASSERT_EQ(songs.size(), 3u);
        for (int s = 0; s < 3; ++s) {
            EXPECT_EQ(songs[s].tune_start, kTuneStarts[s]);
            EXPECT_EQ(songs[s].start_position, 0);
            EXPECT_NEAR(songs[s].length_ns / 1e6, kTuneMs[s], 1.0);
            // Played from its copy, each ends where its walk ends it.
            const std::vector<char> tune = tune_bytes(bytes.data(), bytes.size(), songs[s].tune_start);
            MODULE *m = Player_LoadMem(tune.data(), static_cast<int>(tune.size()), 64, 0);
            ASSERT_NE(m, nullptr);
            Player_Start(m);
            m->loop = 1;
            m->wrap = 0;
            SongEnding ending = ending_of(songs[s], 2, false);
            EXPECT_NEAR(play_until_end(*m, ending) / 1e6, 2 * kTuneMs[s], 1.0) << s;
            Player_Stop();
            Player_Free(m);
        }
    }
}

TEST(OrderList, FindsTheTunesOfAFileAndCopiesEachAlone) {
    // An S3M header: "SCRM" at 0x2C, the order count at 0x20, the orders
    // from 0x60.
    const auto s3m = [](std::vector<unsigned char> orders) {
        std::vector<char> file(0x60 + orders.size() + 16, 0);
        std::memcpy(file.data() + 0x2C, "SCRM", 4);
        file[0x20] = static_cast<char>(orders.size());
        std::memcpy(file.data() + 0x60, orders.data(), orders.size());
        return file;
    };
    const struct {
        std::vector<unsigned char> orders;
        std::vector<int> starts;
    } cases[] = {
        {{0, 1, 2, 255}, {}},                              // one tune
        {{0, 1, 255, 2, 3, 255, 4, 255}, {0, 3, 6}},
        {{254, 0, 255, 255, 254, 1, 255}, {1, 5}},         // skips and markers in runs
        {{0, 255, 255, 255}, {}},
    };
    for (const auto &c : cases) {
        const std::vector<char> file = s3m(c.orders);
        EXPECT_EQ(tune_starts(file.data(), file.size()), c.starts);
    }
    const std::vector<char> file = s3m({0, 1, 255, 2, 254, 3, 255, 4, 255});
    const std::vector<char> tune = tune_bytes(file.data(), file.size(), 3);
    ASSERT_EQ(tune.size(), file.size());
    EXPECT_EQ(std::vector<unsigned char>(tune.begin() + 0x60, tune.begin() + 0x69),
              (std::vector<unsigned char>{254, 254, 254, 2, 254, 3, 255, 255, 255}));
    EXPECT_TRUE(std::equal(tune.begin() + 0x69, tune.end(), file.begin() + 0x69));
    EXPECT_TRUE(tune_bytes(file.data(), file.size(), 9).empty());
    // Too short for the order list it announces, or not an S3M or IT.
    std::vector<char> cut = file;
    cut.resize(0x64);
    EXPECT_TRUE(tune_starts(cut.data(), cut.size()).empty());
    EXPECT_TRUE(tune_bytes(cut.data(), cut.size(), 3).empty());
    std::vector<char> other = file;
    other[0x2C] = 'X';
    EXPECT_TRUE(tune_bytes(other.data(), other.size(), 3).empty());
}

TEST_F(SongWalkTest, ASongThatWrapsRoundIsNotEnded) {
    const std::vector<char> bytes = file_bytes(fixture("songs.xm"));
    const SongWalks songs = walk_module_bytes(bytes.data(), bytes.size());
    MODULE &m = load("xm");
    m.loop = 1;
    m.wrap = 1;
    SongEnding ending = ending_of(songs[1], 1, false);
    restart_song_at(m, 4);
    long long played = 0;
    while (played < 3 * songs[1].length_ns) {
        play_song_tick(m, ending);
        ASSERT_LT(m.sngpos, m.numpos);
        played += tick_ns(mixer_bpm(m));
    }
}

TEST_F(SongWalkTest, ASeekLandsOnTheMapsRowWithTheSongClock) {
    const std::vector<char> bytes = file_bytes(fixture("songs.xm"));
    const SongWalks songs = walk_module_bytes(bytes.data(), bytes.size());
    MODULE &m = load("xm");
    m.loop = 1;
    m.wrap = 0;
    // Forwards and backwards, into a pattern loop's second pass, across a
    // BPM change, onto a row entered by a break, and past the end (onto the
    // last row, whose jump back the library takes up at once).
    for (long long ms : {3000LL, 1000LL, 3600LL, 5000LL, 100LL, 9000LL}) {
        SCOPED_TRACE(ms);
        SeekVoices voices;
        const long long landed = seek_song(m, songs[0], ms * 1'000'000LL, voices);
        const long long target = std::min(ms * 1'000'000LL, songs[0].length_ns - 1);
        // The held tone of channel 0, started at 0 s, waits to go on from
        // its place in its looped square.
        ASSERT_GT(voices.count, 0);
        EXPECT_NE(voices.sample[0], nullptr);
        EXPECT_GE(landed, target);
        EXPECT_LT(landed, target + kTickNs);
        const SongRow &row = songs[0].rows[row_at_time(songs[0], landed)];
        EXPECT_EQ(m.sngpos, ms < 9000 ? row.sngpos : 1);
        EXPECT_EQ(m.patpos, ms < 9000 ? row.patpos : 0);
        // The library's clock counts each tick at the tempo before it.
        EXPECT_NEAR(m.sngtime * 1e9 / 1024, landed, kTickNs);
        // Playing on from there ends the song at its length.
        SongEnding ending = ending_of(songs[0], 1, false);
        ending.end_keys_seen = end_keys_before(songs[0], landed);
        long long played = landed;
        while (m.sngpos < m.numpos && played < 2 * songs[0].length_ns) {
            play_song_tick(m, ending);
            if (m.sngpos < m.numpos) played += tick_ns(mixer_bpm(m));
        }
        EXPECT_NEAR(played, songs[0].length_ns, kTickNs);
    }
}

TEST(SongSeek, SamplePositionFollowsTheLoop) {
    const struct {
        double position, step;
        unsigned long length, loop_start, loop_end;
        bool loop, bidi;
        double expected;
    } cases[] = {
        {0, 50, 100, 0, 0, false, false, 50},
        {90, 20, 100, 0, 0, false, false, -1},     // played to its end
        {90, 20, 100, 40, 100, true, false, 50},   // round the loop
        {10, 250, 100, 40, 100, true, false, 80},  // several times round
        {90, 20, 100, 40, 100, true, true, 90},    // back from the loop's end
        {90, 80, 100, 40, 100, true, true, 50},    // and forwards again
        {0, 30, 100, 40, 100, true, false, 30},    // not yet in the loop
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(sample_position_after(c.position, c.step, c.length, c.loop_start, c.loop_end, c.loop, c.bidi),
                         c.expected)
            << c.position << "+" << c.step;
}

TEST(SongSeek, TheSilentRunStartsAtAPositionsFirstRowWhenOneIsNear) {
    SongWalk walk;
    // A row every second; positions start at 0, 4 and 30 s.
    for (int s = 0; s < 40; ++s) walk.rows.push_back({s * 1'000'000'000LL, 0, 0, 0, 0, 6, 125, 64, s == 0 || s == 4 || s == 30});
    walk.length_ns = 40'000'000'000LL;
    const struct {
        long long target_s;
        int start;
    } cases[] = {{0, 0}, {1, 0}, {5, 0}, {13, 4}, {14, 4}, {15, 13}, {31, 29}, {33, 30}, {39, 30}};
    for (const auto &c : cases) EXPECT_EQ(seek_start_row(walk, c.target_s * 1'000'000'000LL), c.start) << c.target_s;
}

}  // namespace
