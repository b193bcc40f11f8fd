#include "3_filesel/directory_path.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::string text_of(const char (&buffer)[kPathCapacity]) { return buffer; }

}  // namespace

TEST(DirectoryPath, JoinAddsOneSlashAndRefusesWhatWouldNotFit) {
    const struct {
        std::string dir, name;
        int result;
        std::string joined;
    } cases[] = {
        {"/", "x", 0, "/x"},
        {"/usr", "x", 0, "/usr/x"},
        {"/usr/local", "lib", 0, "/usr/local/lib"},
        {"/" + std::string(252, 'd'), "x", 0, "/" + std::string(252, 'd') + "/x"},  // exactly 255
        {"/" + std::string(252, 'd'), "xy", -1, "unchanged"},                      // 256
        {"/", std::string(254, 'n'), 0, "/" + std::string(254, 'n')},
        {"/", std::string(255, 'n'), -1, "unchanged"},
    };
    for (const auto &c : cases) {
        char out[kPathCapacity] = "unchanged";
        EXPECT_EQ(join_path(out, c.dir.c_str(), c.name.c_str()), c.result) << c.dir << " + " << c.name;
        EXPECT_EQ(text_of(out), c.joined) << c.dir << " + " << c.name;
    }
}

TEST(DirectoryPath, JoinMayWriteOverItsOwnDirectory) {
    char path[kPathCapacity] = "/usr";
    ASSERT_EQ(join_path(path, path, "local"), 0);
    EXPECT_EQ(text_of(path), "/usr/local");
}

TEST(DirectoryPath, ParentCutsAtTheLastSlashAndStopsAtTheRoot) {
    const struct {
        const char *path, *parent;
    } cases[] = {
        {"/usr/local", "/usr"},
        {"/usr", "/"},
        {"/", "/"},
        {"/a/b/c", "/a/b"},
        {"noslash", "noslash"},
    };
    for (const auto &c : cases) {
        char path[kPathCapacity];
        std::snprintf(path, sizeof path, "%s", c.path);
        parent_path(path);
        EXPECT_EQ(text_of(path), c.parent) << c.path;
    }
}

TEST(DirectoryPath, TypedPathsBecomeAbsoluteAndPlain) {
    const struct {
        const char *typed, *base;
        int result;
        const char *out;
    } cases[] = {
        {"/usr/local", "/home", 0, "/usr/local"},
        {"/usr/local/", "/home", 0, "/usr/local"},
        {"/usr//local///", "/", 0, "/usr/local"},
        {"music", "/home/me", 0, "/home/me/music"},
        {"music/", "/home/me", 0, "/home/me/music"},
        {"..", "/home/me", 0, "/home"},
        {"../..", "/home/me", 0, "/"},
        {"../../../..", "/home/me", 0, "/"},
        {"./a/./b/../c", "/x", 0, "/x/a/c"},
        {"/usr/..", "/x", 0, "/"},
        {".", "/home/me", 0, "/home/me"},
        {"/", "/home", 0, "/"},
        {"a", "/", 0, "/a"},
        {"", "/home", -1, "unchanged"},
        {"...", "/home", 0, "/home/..."},
        {"..hidden", "/home", 0, "/home/..hidden"},
    };
    for (const auto &c : cases) {
        char out[kPathCapacity] = "unchanged";
        EXPECT_EQ(normalise_path(out, c.typed, c.base), c.result) << c.typed << " from " << c.base;
        EXPECT_EQ(text_of(out), c.out) << c.typed << " from " << c.base;
    }
}

TEST(DirectoryPath, NormalisingChecksOnlyTheFinalLength) {
    const std::string long_base = "/" + std::string(200, 'b');
    const std::string long_name(100, 'n');
    char out[kPathCapacity] = "unchanged";
    // 302 characters joined, but ".." brings it back to the base
    EXPECT_EQ(normalise_path(out, (long_name + "/..").c_str(), long_base.c_str()), 0);
    EXPECT_EQ(text_of(out), long_base);
    // the relative name would make it 302 characters
    EXPECT_EQ(normalise_path(out, long_name.c_str(), long_base.c_str()), -1);
    EXPECT_EQ(text_of(out), long_base);
    // a 255-character typed text from a 255-character base
    const std::string full = "/" + std::string(254, 'f');
    EXPECT_EQ(normalise_path(out, std::string(255, 'r').c_str(), full.c_str()), -1);
}

TEST(DirectoryPath, NormalisingInPlace) {
    char path[kPathCapacity] = "/a/b/../c/";
    ASSERT_EQ(normalise_in_place(path), 0);
    EXPECT_EQ(text_of(path), "/a/c");
}

TEST(DirectoryPath, ReplacingTheLastComponent) {
    const struct {
        const char *path, *tail;
        int result;
        const char *out;
    } cases[] = {
        {"/home", "usr/home", 0, "/usr/home"},
        {"/a/b/link", "../c", 0, "/a/b/../c"},
        {"bare", "target", -1, "bare"},
    };
    for (const auto &c : cases) {
        char path[kPathCapacity];
        std::snprintf(path, sizeof path, "%s", c.path);
        EXPECT_EQ(replace_last_component(path, c.tail), c.result) << c.path;
        EXPECT_EQ(text_of(path), c.out) << c.path;
    }
    char path[kPathCapacity] = "/dir/link";
    EXPECT_EQ(replace_last_component(path, std::string(251, 't').c_str()), -1);  // 256 characters
    EXPECT_EQ(text_of(path), "/dir/link");
}

TEST(DirectoryPath, AChosenFileIsJoinedUnlessItIsAbsolute) {
    char out[kPathCapacity] = "";
    ASSERT_EQ(file_path_in(out, "/music", "song.xm"), 0);
    EXPECT_EQ(text_of(out), "/music/song.xm");
    ASSERT_EQ(file_path_in(out, "/music", "/elsewhere/song.it"), 0);
    EXPECT_EQ(text_of(out), "/elsewhere/song.it");
    ASSERT_EQ(file_path_in(out, "/", "song.mod"), 0);
    EXPECT_EQ(text_of(out), "/song.mod");
    EXPECT_EQ(file_path_in(out, ("/" + std::string(200, 'd')).c_str(), std::string(60, 'n').c_str()), -1);
    EXPECT_EQ(text_of(out), "/song.mod");
}
