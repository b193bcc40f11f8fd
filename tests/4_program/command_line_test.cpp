#include "4_program/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "3_playlist/playlist_store.h"

TEST(CommandLine, EachArgumentIsAnOptionAPathOrUnknown) {
    const struct {
        const char *argument;
        ArgumentKind kind;
    } cases[] = {
        {nullptr, ArgumentKind::missing},
        // -h and -v decide by their first two characters, as they always did.
        {"-h", ArgumentKind::usage},            {"-help", ArgumentKind::usage},
        {"-hx", ArgumentKind::usage},           {"-v", ArgumentKind::version},
        {"-verbose", ArgumentKind::version},    {"-vfoo", ArgumentKind::version},
        {"--help", ArgumentKind::long_help},    {"--version", ArgumentKind::version},
        {"--render", ArgumentKind::render_option}, {"-o", ArgumentKind::render_option},
        {"--loops", ArgumentKind::render_option},  {"--rate", ArgumentKind::render_option},
        {"--resume", ArgumentKind::resume},     {"--remote", ArgumentKind::remote},
        {"--", ArgumentKind::options_end},
        {"-", ArgumentKind::path},              {"", ArgumentKind::path},
        {"song.xm", ArgumentKind::path},        {"h", ArgumentKind::path},
        {"./-name.xm", ArgumentKind::path},     {"a-b", ArgumentKind::path},
        {"-x", ArgumentKind::unknown},          {"--bogus", ArgumentKind::unknown},
        {"--h", ArgumentKind::unknown},         {"--helpme", ArgumentKind::unknown},
        {"--verbose", ArgumentKind::unknown},   {"-oout.wav", ArgumentKind::unknown},
        {"--render=o.wav", ArgumentKind::unknown}, {"---", ArgumentKind::unknown},
        {"-name.xm", ArgumentKind::unknown},
    };
    for (const auto &c : cases)
        EXPECT_EQ(classify_argument(c.argument), c.kind) << (c.argument ? c.argument : "(none)");
}

// Which argument settles a whole command line before anything plays.
TEST(CommandLine, TheFirstOptionThatEndsTheRunDecides) {
    const struct {
        std::vector<std::string> args;
        ArgumentKind kind;
        int at;
    } cases[] = {
        {{"xq"}, ArgumentKind::missing, 0},
        {{"xq", "a.xm", "b.xm"}, ArgumentKind::path, 0},
        {{"xq", "--bogus", "a.xm"}, ArgumentKind::unknown, 1},
        {{"xq", "--render", "o.wav", "--bogus", "a.xm"}, ArgumentKind::unknown, 3},
        {{"xq", "a.xm", "-x", "-h"}, ArgumentKind::unknown, 2},
        {{"xq", "a.xm", "-h", "-x"}, ArgumentKind::usage, 2},
        {{"xq", "-o", "o.wav", "--help"}, ArgumentKind::long_help, 3},
        {{"xq", "a.xm", "-verbose"}, ArgumentKind::version, 2},
        // The values of the render options are no options themselves.
        {{"xq", "-o", "-out.wav", "--loops", "-1", "--rate", "-h", "a.xm"}, ArgumentKind::path, 0},
        {{"xq", "--render"}, ArgumentKind::path, 0},
        // After "--" everything is a path.
        {{"xq", "--", "-x", "--help", "--"}, ArgumentKind::path, 0},
        {{"xq", "-o", "o.wav", "--", "-name.xm"}, ArgumentKind::path, 0},
        // --resume and --remote come first or not at all.
        {{"xq", "--resume"}, ArgumentKind::path, 0},
        {{"xq", "--resume", "--bogus"}, ArgumentKind::unknown, 2},
        {{"xq", "a.xm", "--resume"}, ArgumentKind::resume, 2},
        {{"xq", "-o", "o.wav", "a.xm", "--remote", "play"}, ArgumentKind::remote, 4},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.args;
        std::vector<char *> argv;
        for (auto &a : args) argv.push_back(a.data());
        int at = -1;
        EXPECT_EQ(settling_argument(static_cast<int>(argv.size()), argv.data(), at), c.kind) << args.back();
        EXPECT_EQ(at, c.at) << args.back();
    }
}

TEST(CommandLine, TheFirstDoubleDashIsTakenOut) {
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> paths;
    } cases[] = {
        {{"xq", "a.xm"}, {"a.xm"}},
        {{"xq", "--", "-name.xm"}, {"-name.xm"}},
        {{"xq", "a.xm", "--", "--", "-x"}, {"a.xm", "--", "-x"}},
        {{"xq", "--"}, {}},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.args;
        std::vector<char *> argv;
        for (auto &a : args) argv.push_back(a.data());
        const int count = paths_without_options_end(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(std::vector<std::string>(argv.begin() + 1, argv.begin() + 1 + count), c.paths) << c.args.back();
    }
}

TEST(CommandLine, ColorsTakesASchemeForTheRun) {
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> left;
        bool given;
        ColorScheme scheme;
        const char *bad;
    } cases[] = {
        {{"xq", "a.xm"}, {"a.xm"}, false, ColorScheme::dark, nullptr},
        {{"xq", "--colors", "light", "a.xm"}, {"a.xm"}, true, ColorScheme::light, nullptr},
        {{"xq", "a.xm", "--colors", "terminal", "b.xm"}, {"a.xm", "b.xm"}, true, ColorScheme::terminal, nullptr},
        {{"xq", "--colors", "light", "--colors", "dark", "a.xm"}, {"a.xm"}, true, ColorScheme::dark, nullptr},
        {{"xq", "--resume", "--colors", "light"}, {"--resume"}, true, ColorScheme::light, nullptr},
        {{"xq", "--colors", "Light", "a.xm"}, {"a.xm"}, false, ColorScheme::dark, "Light"},
        {{"xq", "a.xm", "--colors"}, {"a.xm"}, false, ColorScheme::dark, ""},
        // After "--" it is a path like any other.
        {{"xq", "--", "--colors", "light"}, {"--", "--colors", "light"}, false, ColorScheme::dark, nullptr},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.args;
        std::vector<char *> argv;
        for (auto &a : args) argv.push_back(a.data());
        ColorsOption option;
        const int count = take_colors_option(static_cast<int>(argv.size()), argv.data(), option);
        EXPECT_EQ(std::vector<std::string>(argv.begin() + 1, argv.begin() + count), c.left) << c.args.back();
        EXPECT_EQ(option.given, c.given) << c.args.back();
        EXPECT_EQ(option.scheme, c.scheme) << c.args.back();
        EXPECT_EQ(option.bad ? std::string(option.bad) : "(none)", c.bad ? c.bad : "(none)") << c.args.back();
    }
    // Its value is never taken for an option of its own.
    std::vector<std::string> args = {"xq", "--colors", "-h", "a.xm"};
    std::vector<char *> argv;
    for (auto &a : args) argv.push_back(a.data());
    int at = -1;
    EXPECT_EQ(classify_argument("--colors"), ArgumentKind::colors_option);
    EXPECT_EQ(settling_argument(static_cast<int>(argv.size()), argv.data(), at), ArgumentKind::path);
}

TEST(CommandLine, SeveralModulesBecomeThePlaylist) {
    char dir_pattern[] = "/tmp/xqargs.XXXXXX";
    const std::string dir = mkdtemp(dir_pattern);
    for (const char *name : {"a.xm", "b.mod"}) std::fclose(std::fopen((dir + "/" + name).c_str(), "w"));
    // A readable path too long for a playlist entry.
    const std::string too_long = dir + "/" + std::string(200, 'd') + "/" + std::string(100, 'n');
    std::filesystem::create_directories(dir + "/" + std::string(200, 'd'));
    std::fclose(std::fopen(too_long.c_str(), "w"));
    playlist_clear();

    char *text = nullptr;
    std::size_t size = 0;
    FILE *errors = open_memstream(&text, &size);
    const std::string absolute = dir + "/b.mod";
    std::string args[] = {"a.xm", "/no/such/song.xm", absolute, "missing.it", too_long};
    char *argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(), args[4].data()};
    const std::string here = dir;
    // Relative paths are looked up in the working directory.
    EXPECT_EQ(add_command_line_files(5, argv, here.c_str(), errors), 1);
    std::fclose(errors);
    EXPECT_EQ(std::string(text), "XQ: Can't open 'a.xm'\nXQ: Can't open '/no/such/song.xm'\nXQ: Can't open 'missing.it'\n"
                                 "XQ: Left out '" + too_long + "': Path too long: paths stay within 255 characters.\n");
    std::free(text);
    ASSERT_EQ(playlist_count, 1);
    EXPECT_STREQ(playlist[0].path, absolute.c_str());

    // Run from the directory itself, the relative one is found and kept
    // with its full path, since the file selector moves the working
    // directory later.
    playlist_clear();
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    errors = open_memstream(&text, &size);
    EXPECT_EQ(add_command_line_files(4, argv, dir.c_str(), errors), 2);
    std::fclose(errors);
    EXPECT_EQ(std::string(text), "XQ: Can't open '/no/such/song.xm'\nXQ: Can't open 'missing.it'\n");
    std::free(text);
    EXPECT_STREQ(playlist[0].path, (dir + "/a.xm").c_str());
    EXPECT_STREQ(playlist[0].name, "a.xm");
    EXPECT_STREQ(playlist[1].path, absolute.c_str());
    ASSERT_EQ(chdir(cwd), 0);

    playlist_clear();
    std::filesystem::remove_all(dir);
}
