#include "4_program/render.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "../3_filesel/temp_tree.h"

TEST(Render, OutputNamesForOneModuleSeveralOrADirectory) {
    const struct {
        const char *output;
        bool directory;
        bool several;
        const char *module;
        const char *expected;
    } cases[] = {
        {"out.wav", false, false, "/m/song.xm", "out.wav"},
        {"out", false, false, "/m/song.xm", "out"},
        {"out.wav", false, true, "/m/song.xm", "out-song.wav"},
        {"/r/Out.WAV", false, true, "/m/a.b.mod", "/r/Out-a.b.wav"},
        {"dir", true, true, "/m/song.xm", "dir/song.wav"},
        {"dir/", true, false, "tune", "dir/tune.wav"},
        {"dir", true, false, "/m/.xm", "dir/.xm.wav"},
        // A member of a pack, a compressed module.
        {"out.wav", false, true, "/m/pack.zip/sub/song.xm", "out-song.wav"},
        {"dir", true, false, "/m/song.xm.gz", "dir/song.wav"},
        {"dir", true, false, "/m/SONG.IT.BZ2", "dir/SONG.wav"},
    };
    for (const auto &c : cases) {
        char out[kPathCapacity];
        ASSERT_EQ(render_output_path(out, c.output, c.directory, c.several, c.module), 0) << c.module;
        EXPECT_STREQ(out, c.expected);
    }
    char out[kPathCapacity];
    const std::string long_dir(250, 'd');
    EXPECT_EQ(render_output_path(out, long_dir.c_str(), true, false, "/m/song.xm"), -1);
}

TEST(Render, OptionsAndTheirMistakes) {
    const struct {
        std::vector<std::string> args;
        int result;
        const char *output;
        int loops;
        unsigned rate;
        std::vector<std::string> paths;
    } cases[] = {
        {{"xq", "--render", "o.wav", "a.xm"}, 0, "o.wav", 1, 0, {"a.xm"}},
        {{"xq", "a.xm", "-o", "o.wav", "--loops", "3", "b.xm"}, 0, "o.wav", 3, 0, {"a.xm", "b.xm"}},
        {{"xq", "-o", "o.wav", "--rate", "22050", "--", "--loops"}, 0, "o.wav", 1, 22050, {"--loops"}},
        {{"xq", "-o", "o.wav"}, -1, nullptr, 1, 0, {}},
        {{"xq", "-o"}, -1, nullptr, 1, 0, {}},
        {{"xq", "-o", "o.wav", "--loops", "0", "a.xm"}, -1, nullptr, 1, 0, {}},
        {{"xq", "-o", "o.wav", "--loops", "2x", "a.xm"}, -1, nullptr, 1, 0, {}},
        {{"xq", "-o", "o.wav", "--rate", "100", "a.xm"}, -1, nullptr, 1, 0, {}},
        {{"xq", "--loops", "2", "a.xm"}, -1, nullptr, 1, 0, {}},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.args;
        std::vector<char *> argv;
        for (auto &a : args) argv.push_back(a.data());
        RenderOptions options;
        char message[kPathCapacity] = {};
        const int result = parse_render_options(static_cast<int>(argv.size()), argv.data(), options, message,
                                                sizeof message);
        EXPECT_EQ(result, c.result) << c.args.back();
        if (result != 0) {
            EXPECT_NE(message[0], '\0');
            continue;
        }
        EXPECT_STREQ(options.output, c.output);
        EXPECT_EQ(options.loops, c.loops);
        EXPECT_EQ(options.rate, c.rate);
        std::vector<std::string> paths(argv.begin() + options.first_path,
                                       argv.begin() + options.first_path + options.path_count);
        EXPECT_EQ(paths, c.paths);
    }
    char a0[] = "xq", a1[] = "song.xm", a2[] = "--", a3[] = "-o", a4[] = "--loops";
    char *plain[] = {a0, a1, a2, a3};
    EXPECT_FALSE(wants_render(4, plain));
    char *loops_alone[] = {a0, a4, a1};
    EXPECT_TRUE(wants_render(3, loops_alone));
}

TEST(Render, TickLengthsAsTheMixerCountsThem) {
    EXPECT_EQ(tick_frames(44100, 125), 882u);
    EXPECT_EQ(tick_frames(22050, 125), 441u);
    EXPECT_EQ(tick_frames(44100, 150), 735u);
    EXPECT_EQ(tick_frames(48000, 33), 3636u);  // 3636.36 cut
}

TEST(Render, ProgressLine) {
    char line[kPathCapacity];
    format_progress(line, sizeof line, "song.xm", 50, 83'000, 10);
    EXPECT_STREQ(line, "song.xm  [#####.....]  50%  01:23");
    format_progress(line, sizeof line, "x", 130, 0, 4);
    EXPECT_STREQ(line, "x  [####] 100%  00:00");
}

// The writer's file is cut to the song's end and its sizes follow.
TEST(Render, TrimmingAWavFileFixesItsSizes) {
    TempTree tree;
    std::string header(44, '\0');
    header.replace(0, 4, "RIFF");
    header.replace(8, 8, "WAVEfmt ");
    header.replace(36, 4, "data");
    std::ofstream(tree / "t.wav", std::ios::binary) << header << std::string(1000, 'x');
    ASSERT_EQ(trim_wav((tree / "t.wav").c_str(), 400), 0);
    std::ifstream in(tree / "t.wav", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    const std::string bytes = s.str();
    ASSERT_EQ(bytes.size(), 444u);
    auto le32 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
               static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
               static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 3])) << 24;
    };
    EXPECT_EQ(le32(4), 436u);
    EXPECT_EQ(le32(40), 400u);
    EXPECT_EQ(trim_wav((tree / "missing.wav").c_str(), 0), -1);
}
