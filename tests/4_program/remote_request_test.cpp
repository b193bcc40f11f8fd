#include "4_program/remote_request.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <utility>

namespace {

int parse(const std::string &text, RemoteRequest &out, std::string &error) {
    char message[128] = "";
    const int result = parse_remote_request(text.data(), text.size(), out, message, sizeof message);
    error = message;
    return result;
}

}  // namespace

TEST(RemoteRequest, ReadsEveryCommandAndTheVolumeForms) {
    const struct {
        const char *text;
        RemoteCommand command;
        char sign;
        int amount;
    } cases[] = {
        {"play", RemoteCommand::play, 0, 0},
        {"pause\n", RemoteCommand::pause, 0, 0},
        {"toggle\r\n", RemoteCommand::toggle, 0, 0},
        {"  stop  ", RemoteCommand::stop, 0, 0},
        {"next", RemoteCommand::next, 0, 0},
        {"prev", RemoteCommand::prev, 0, 0},
        {"forward", RemoteCommand::forward, 0, 0},
        {"back", RemoteCommand::back, 0, 0},
        {"quit\n", RemoteCommand::quit, 0, 0},
        {"status\n", RemoteCommand::status, 0, 0},
        {"volume +5\n", RemoteCommand::volume, '+', 5},
        {"volume\t-256", RemoteCommand::volume, '-', 256},
        {"volume 0", RemoteCommand::volume, 0, 0},
        {"volume 064", RemoteCommand::volume, 0, 64},
    };
    for (const auto &c : cases) {
        RemoteRequest r;
        std::string error;
        ASSERT_EQ(parse(c.text, r, error), 0) << c.text << ": " << error;
        EXPECT_EQ(r.command, c.command) << c.text;
        EXPECT_EQ(r.volume_sign, c.sign) << c.text;
        EXPECT_EQ(r.volume_amount, c.amount) << c.text;
    }
}

TEST(RemoteRequest, ReadsTheSeekForms) {
    const struct {
        const char *text;
        char sign;
        long seconds;
    } cases[] = {
        {"seek +5", '+', 5},     {"seek -60\n", '-', 60}, {"seek 1:05", 0, 65}, {"seek 0:00", 0, 0},
        {"seek 99:59", 0, 5999}, {"seek 90", 0, 90},       {"seek +5999", '+', 5999},
    };
    for (const auto &c : cases) {
        RemoteRequest r;
        std::string error;
        ASSERT_EQ(parse(c.text, r, error), 0) << c.text << ": " << error;
        EXPECT_EQ(r.command, RemoteCommand::seek) << c.text;
        EXPECT_EQ(r.seek_sign, c.sign) << c.text;
        EXPECT_EQ(r.seek_seconds, c.seconds) << c.text;
    }
    for (const char *bad : {"seek", "seek 1 2", "seek +", "seek 1:5", "seek 1:60", "seek +1:00", "seek 100:00",
                            "seek 6000", "seek 12345", "seek -x", "seek :30", "seek 1:005"}) {
        RemoteRequest r;
        std::string error;
        EXPECT_EQ(parse(bad, r, error), -1) << bad;
        EXPECT_EQ(error, "error: seek needs +N, -N (seconds) or M:SS") << bad;
    }
}

TEST(RemoteRequest, RefusesWhatIsNotARequestWithAnErrorLine) {
    const struct {
        std::string text;
        const char *error;
    } cases[] = {
        {"", "error: no command"},
        {"   \n", "error: no command"},
        {"bogus", "error: unknown command 'bogus'"},
        {"PLAY", "error: unknown command 'PLAY'"},
        {"play now", "error: play takes no argument"},
        {"status 1 2 3 4", "error: status takes no argument"},
        {"volume", "error: volume needs +N, -N or N (0 to 256)"},
        {"volume 1 2", "error: volume takes one argument"},
        {"volume 257", "error: bad volume '257': use +N, -N or N (0 to 256)"},
        {"volume +1000", "error: bad volume '+1000': use +N, -N or N (0 to 256)"},
        {"volume +", "error: bad volume '+': use +N, -N or N (0 to 256)"},
        {"volume 5x", "error: bad volume '5x': use +N, -N or N (0 to 256)"},
        {"volume --5", "error: bad volume '--5': use +N, -N or N (0 to 256)"},
        {std::string("pl\0ay", 5), "error: the request is not a line of text"},
        {"\x1b[Aplay", "error: the request is not a line of text"},
        {"next\nnext\n", "error: the request is not a line of text"},
        {std::string(300, 'x'), "error: the request is longer than 255 bytes"},
    };
    for (const auto &c : cases) {
        RemoteRequest r;
        r.command = RemoteCommand::quit;
        std::string error;
        EXPECT_EQ(parse(c.text, r, error), -1) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_EQ(r.command, RemoteCommand::quit) << "a refused request changes nothing";
    }
}

TEST(RemoteRequest, AnUnknownWordIsShownCutShort) {
    RemoteRequest r;
    std::string error;
    EXPECT_EQ(parse(std::string(200, 'z'), r, error), -1);
    EXPECT_EQ(error, "error: unknown command '" + std::string(32, 'z') + "'");
}

TEST(RemoteRequest, VolumeRequestsReachTheAskedVolumeWithinItsBounds) {
    const struct {
        char sign;
        int amount;
        int current;
        int wanted;
    } cases[] = {
        {'+', 5, 128, 133}, {'-', 5, 128, 123}, {0, 100, 128, 100}, {0, 256, 250, 256}, {0, 64, 64, 64},
        {'-', 0, 10, 10},   {'-', 20, 10, 0},   {'+', 200, 250, 256},
    };
    for (const auto &c : cases) {
        RemoteRequest r;
        r.command = RemoteCommand::volume;
        r.volume_sign = c.sign;
        r.volume_amount = c.amount;
        EXPECT_EQ(requested_volume(r, c.current), c.wanted) << c.sign << c.amount << " from " << c.current;
    }
}

TEST(RemoteStatus, WritesOneKeyValueLineEach) {
    RemoteStatus s;
    s.state = "paused";
    s.file = "/m/song.xm";
    s.title = "line\none\x7f";
    s.format = "FastTracker 2";
    s.position = 3;
    s.positions = 12;
    s.row = 17;
    s.pattern = 4;
    s.seconds = 42;
    s.bpm = 125;
    s.speed = 6;
    s.volume = 96;
    s.playlist_index = 2;
    s.playlist_length = 3;
    s.random = 1;
    char out[kMaxRemoteReply];
    const std::size_t n = format_remote_status(out, sizeof out, s);
    const std::string expected =
        "state=paused\nfile=/m/song.xm\ntitle=line?one?\nformat=FastTracker 2\nposition=3\npositions=12\n"
        "row=17\npattern=4\ntime=42\nbpm=125\nspeed=6\nvolume=96\nplaylist_index=2\nplaylist_length=3\nrandom=1\n"
        "length=\nsubsong=0\nsubsongs=0\n";
    EXPECT_EQ(std::string(out), expected);
    EXPECT_EQ(n, expected.size());

    // A known length in seconds with one decimal, cut (not rounded) as the
    // time box cuts its seconds.
    for (const auto &[ms, shown] : {std::pair{255'999LL, "length=255.9\n"}, std::pair{0LL, "length=0.0\n"},
                                    std::pair{97'940LL, "length=97.9\n"}}) {
        s.length_ms = ms;
        s.subsong = 2;
        s.subsongs = 5;
        format_remote_status(out, sizeof out, s);
        EXPECT_NE(std::string(out).find(std::string("random=1\n") + shown + "subsong=2\nsubsongs=5\n"), std::string::npos)
            << out;
    }
    s.length_ms = -1;

    // Every text at its longest still fits the answer's buffer.
    const std::string long_text(255, 'x');
    s.file = s.title = s.format = long_text.c_str();
    EXPECT_LT(format_remote_status(out, sizeof out, s), sizeof out - 1);
    EXPECT_NE(std::string(out).find("random=1\n"), std::string::npos);

    // A buffer too small is cut, never overrun, and always terminated.
    char small[24];
    std::memset(small, '#', sizeof small);
    const std::size_t cut = format_remote_status(small, sizeof small, s);
    EXPECT_LT(cut, sizeof small);
    EXPECT_EQ(std::strlen(small), cut);
}

TEST(RemoteSocketPath, PrefersTheRuntimeDirectoryThenHome) {
    const std::string long_dir = "/tmp/" + std::string(100, 'd');
    const struct {
        const char *runtime;
        const char *home;
        int result;
        const char *path;
    } cases[] = {
        {"/run/user/1000", "/home/me", 0, "/run/user/1000/xq/control"},
        {"", "/home/me", 0, "/home/me/.xq/control"},
        {nullptr, "/home/me", 0, "/home/me/.xq/control"},
        {nullptr, nullptr, -1, ""},
        {"", "", -1, ""},
        {long_dir.c_str(), "/home/me", -1, ""},  // beyond a socket address
    };
    for (const auto &c : cases) {
        char path[256] = "";
        EXPECT_EQ(remote_socket_path(c.runtime, c.home, path, sizeof path), c.result) << (c.runtime ? c.runtime : "-");
        if (c.result == 0) {
            EXPECT_STREQ(path, c.path);
        }
    }
    char dir[256];
    ASSERT_EQ(remote_socket_dir("/run/user/1000/xq/control", dir, sizeof dir), 0);
    EXPECT_STREQ(dir, "/run/user/1000/xq");
    EXPECT_EQ(remote_socket_dir("control", dir, sizeof dir), -1);
}
