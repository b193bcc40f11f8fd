#include "4_program/mpris_values.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

TEST(MprisValues, PlaybackStatusFollowsThePlayer) {
    PlayerView view;
    EXPECT_STREQ(mpris_playback_status(view), "Stopped");  // no module
    view.module = std::make_shared<ModuleInfo>();
    view.started = true;
    EXPECT_STREQ(mpris_playback_status(view), "Playing");
    view.paused = true;
    EXPECT_STREQ(mpris_playback_status(view), "Paused");
    view.paused = false;
    view.ended = true;
    EXPECT_STREQ(mpris_playback_status(view), "Stopped");
    view.ended = false;
    view.stopped = true;
    EXPECT_STREQ(mpris_playback_status(view), "Stopped");
}

TEST(MprisValues, DesktopVolumesBecomeSongVolumesWithinBounds) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double asked;
        int song;
    } cases[] = {{1.0, 128}, {0.5, 64}, {0.0, 0},      {-1.0, 0},   {-inf, 0},   {2.0, 256},
                 {1e300, 256}, {inf, 256}, {0.25, 32}, {0.004, 1}, {1.999, 256}, {-0.0, 0}};
    for (const auto &c : cases) {
        int song = -1;
        EXPECT_TRUE(song_volume_from_mpris(c.asked, song)) << c.asked;
        EXPECT_EQ(song, c.song) << c.asked;
        EXPECT_EQ(song_volume_from_mpris(mpris_volume(c.song), song) && song == c.song, true) << c.song;
    }
    int song = 77;
    EXPECT_FALSE(song_volume_from_mpris(std::nan(""), song));
    EXPECT_EQ(song, 77);
}

TEST(MprisValues, TrackIdsAreObjectPathsThatNeverRepeat) {
    EXPECT_EQ(mpris_track_id(0), "/org/mpris/MediaPlayer2/TrackList/NoTrack");
    EXPECT_EQ(mpris_track_id(0, 3), "/org/mpris/MediaPlayer2/TrackList/NoTrack");
    EXPECT_EQ(mpris_track_id(1), "/org/xq/track/1_0");
    EXPECT_EQ(mpris_track_id(1, 2), "/org/xq/track/1_2");
    EXPECT_EQ(mpris_track_id(~0ull, 99), "/org/xq/track/18446744073709551615_99");
}

TEST(MprisValues, SeeksInMicrosecondsBecomeRequestsWithinTheFarthestSeek) {
    const long long farthest_ms = kMaxRemoteSeekSeconds * 1000LL;
    const struct {
        std::int64_t us;
        bool relative;
        bool ok;
        char sign;
        long long ms;
    } cases[] = {
        {5'000'000, true, true, '+', 5000},
        {-1'500'000, true, true, '-', 1500},
        {12'345'678, false, true, 0, 12345},
        {0, false, true, 0, 0},
        {-1, false, false, 0, 0},  // before the start
        {std::numeric_limits<std::int64_t>::min(), true, true, '-', farthest_ms},
        {std::numeric_limits<std::int64_t>::max(), false, true, 0, farthest_ms},
        {999, true, true, '+', 0},
    };
    for (const auto &c : cases) {
        RemoteRequest r;
        ASSERT_EQ(mpris_seek_request(c.us, c.relative, r), c.ok) << c.us;
        if (!c.ok) continue;
        EXPECT_EQ(r.command, RemoteCommand::seek);
        EXPECT_EQ(r.seek_sign, c.sign) << c.us;
        EXPECT_EQ(r.seek_seconds * 1000LL + r.seek_milliseconds, c.ms) << c.us;
        EXPECT_LT(r.seek_milliseconds, 1000);
    }
}

TEST(MprisValues, FileUrlsEscapeWhatIsNotPlain) {
    EXPECT_EQ(file_url("/music/a b/#1 100%.xm", "/x"), "file:///music/a%20b/%231%20100%25.xm");
    EXPECT_EQ(file_url("songs/\xe4.mod", "/home/u"), "file:///home/u/songs/%E4.mod");
    EXPECT_EQ(file_url("a.it", "/"), "file:///a.it");
    EXPECT_EQ(file_url("/q?x=1&y\n", "/"), "file:///q%3Fx%3D1%26y%0A");
}

TEST(MprisValues, TextsAreMadeValidUtf8) {
    const struct {
        const char *in;
        const char *out;
    } cases[] = {
        {"plain", "plain"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},                  // valid two-byte
        {"\xe2\x99\xab tune", "\xe2\x99\xab tune"},      // valid three-byte
        {"Latin-1 \xe9t\xe9", "Latin-1 ?t?"},            // lone high bytes
        {"cut \xe2\x99", "cut ??"},                      // a sequence cut short
        {"over \xc0\xaf", "over ??"},                    // an overlong form
        {"sur \xed\xa0\x80", "sur ???"},                 // a surrogate
        {"tab\there\x7f", "tab?here?"},                  // control characters
    };
    for (const auto &c : cases) EXPECT_EQ(clean_utf8(c.in), c.out) << c.in;
    EXPECT_EQ(clean_utf8(std::string(5000, 'x')).size(), 1024u);
    EXPECT_EQ(clean_utf8("ab\xc3\xa9", 3), "ab");  // never cuts a character in two
}

// The bus library is started only where it finds a bus: an address given,
// or a "bus" entry in the runtime folder.
TEST(MprisValues, SessionBusIsLookedForWhereTheBusLibraryLooks) {
    char with_pattern[] = "/tmp/xqbus.XXXXXX";
    char without_pattern[] = "/tmp/xqbus.XXXXXX";
    const std::string with_bus = mkdtemp(with_pattern);
    const std::string without_bus = mkdtemp(without_pattern);
    std::fclose(std::fopen((with_bus + "/bus").c_str(), "w"));
    const struct {
        const char *address;
        const char *runtime_dir;
        bool may_exist;
    } cases[] = {
        {"unix:path=/run/user/1000/bus", nullptr, true},
        {"unix:path=/nonexistent/bus", without_bus.c_str(), true},  // the library's to find out
        {nullptr, with_bus.c_str(), true},
        {"", with_bus.c_str(), true},
        {nullptr, without_bus.c_str(), false},
        {nullptr, "/nonexistent", false},
        {nullptr, nullptr, false},
        {"", "", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(session_bus_may_exist(c.address, c.runtime_dir), c.may_exist)
            << (c.address ? c.address : "(none)") << " " << (c.runtime_dir ? c.runtime_dir : "(none)");
    std::filesystem::remove_all(with_bus);
    std::filesystem::remove_all(without_bus);
}
