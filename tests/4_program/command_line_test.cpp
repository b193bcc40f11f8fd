#include "4_program/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "3_playlist/playlist_store.h"

TEST(CommandLine, FirstTwoCharactersDecide) {
    const struct {
        const char *argument;
        ArgumentKind kind;
    } cases[] = {
        {nullptr, ArgumentKind::missing}, {"-h", ArgumentKind::usage},   {"-help", ArgumentKind::usage},
        {"-v", ArgumentKind::version},    {"-verbose", ArgumentKind::version},
        {"-x", ArgumentKind::path},       {"-", ArgumentKind::path},     {"song.xm", ArgumentKind::path},
        {"h", ArgumentKind::path},        {"", ArgumentKind::path},
        {"--help", ArgumentKind::long_help},  {"--version", ArgumentKind::version},
        {"--h", ArgumentKind::path},      {"--helpme", ArgumentKind::path},
        {"--verbose", ArgumentKind::path},
    };
    for (const auto &c : cases)
        EXPECT_EQ(classify_argument(c.argument), c.kind) << (c.argument ? c.argument : "(none)");
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
