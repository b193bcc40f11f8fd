#include "4_program/command_arguments.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "3_playlist/playlist_store.h"
#include "../1_player/archive_fixture.h"
#include "../3_filesel/temp_tree.h"

namespace {

class CommandArguments : public ::testing::Test {
protected:
    TempTree tree;

    void SetUp() override { playlist_clear(); }
    void TearDown() override { playlist_clear(); }

    void write(const std::string &relative, const std::string &content) const {
        std::ofstream(tree / relative, std::ios::binary) << content;
    }

    // Collects `arguments` (relative ones from the tree) and returns the
    // playlist's paths with the tree's path shown as "T"; the messages on
    // standard error go to `errors`.
    std::vector<std::string> collect(std::vector<std::string> arguments, std::string &errors,
                                     CollectedArguments *result = nullptr, long entry_budget = kWalkEntryBudget) const {
        playlist_clear();
        std::vector<char *> argv;
        for (auto &a : arguments) argv.push_back(a.data());
        char *text = nullptr;
        std::size_t size = 0;
        FILE *stream = open_memstream(&text, &size);
        WorkingDirectoryGuard guard;
        EXPECT_EQ(chdir(tree.path().c_str()), 0);
        const CollectedArguments collected =
            collect_arguments(static_cast<int>(argv.size()), argv.data(), tree.path().c_str(), stream, entry_budget);
        std::fclose(stream);
        errors = shown(text);
        std::free(text);
        if (result) *result = collected;
        std::vector<std::string> paths;
        for (int i = 0; i < playlist_count; ++i) paths.push_back(shown(playlist[i].path));
        return paths;
    }

    std::string shown(const std::string &text) const {
        std::string out = text;
        for (std::size_t at; (at = out.find(tree.path())) != std::string::npos;) out.replace(at, tree.path().size(), "T");
        return out;
    }
};

}  // namespace

TEST(ModuleFileName, ExtensionsOfTheLibrarysFormats) {
    const struct {
        const char *name;
        bool module;
    } cases[] = {
        {"a.xm", true},     {"B.MOD", true},    {"c.s3m", true},     {"d.it", true},   {"e.669", true},
        {"mod.intro", true}, {"MOD.Intro", true}, {"readme.txt", false}, {"cover.jpg", false},
        {"list.m3u", false}, {"xm", false},      {".xm", false},      {"mod.", false},  {"a.xmq", false},
        // Compressed alone, or zipped alone.
        {"a.xm.gz", true},   {"B.IT.BZ2", true}, {"c.mod.xz", true},  {"a.xmz", true},  {"d.MDZ", true},
        {"notes.txt.gz", false}, {"a.gz", false}, {"pack.zip", false},
    };
    for (const auto &c : cases) EXPECT_EQ(module_file_name(c.name), c.module) << c.name;
}

// Every kind of argument on real files, and the playlist they make.
TEST_F(CommandArguments, EachKindOfArgumentGivesItsEntriesInOrder) {
    for (const char *f : {"a.xm", "b.mod", "c.it", "d.s3m", "notes.txt"}) tree.file(f);
    tree.dir("music/sub");
    tree.dir("music/.hidden");
    tree.dir("music/A dir");
    for (const char *f : {"music/z.xm", "music/b.mod", "music/sub/s.xm", "music/.hidden/h.xm", "music/.dot.xm",
                          "music/A dir/x.it", "music/readme.txt"})
        tree.file(f);
    tree.link("music/sub/loop", "..");  // leads back up: walked once, not for ever
    write("list.pli", "XQ PLAYING LIST\n" + tree / "a.xm" + "\nb.mod\n");
    write("list.m3u", "#EXTM3U\n# a comment\n#EXTINF:12,Song\nc.it\r\n\n" + tree / "d.s3m" +
                          "\n./music/../a.xm\nhttp://radio.example/stream\n");
    write("anyname.txt", "#EXTM3U\nb.mod\n");
    write("list.pls", "[playlist]\nFile2=b.mod\nTitle2=B\nFile1=" + tree / "c.it" +
                          "\nFile10=d.s3m\nNumberOfEntries=3\nVersion=2\n");
    write("names.pls", "File1=a.xm");  // a .pls by its name, last line unended
    tree.link("gone.m3u", "no-such-file.m3u");

    const struct {
        std::vector<std::string> arguments;
        std::vector<std::string> playlist;
        std::string errors;
    } cases[] = {
        {{"a.xm"}, {"T/a.xm"}, ""},
        {{"list.pli"}, {"T/a.xm", "T/b.mod"}, ""},
        {{"list.m3u"}, {"T/c.it", "T/d.s3m", "T/a.xm"}, ""},
        {{"anyname.txt"}, {"T/b.mod"}, ""},
        {{"list.pls"}, {"T/c.it", "T/b.mod", "T/d.s3m"}, ""},
        {{"names.pls"}, {"T/a.xm"}, ""},
        // Directories first, each walked in turn, then the files; hidden
        // entries, other files and the loop left out.
        {{"music"}, {"T/music/A dir/x.it", "T/music/sub/s.xm", "T/music/b.mod", "T/music/z.xm"}, ""},
        {{"gone.m3u", "missing.xm"}, {}, "XQ: Can't open 'gone.m3u'\nXQ: Can't open 'missing.xm'\n"},
        {{"d.s3m", "list.pls", "missing.xm", "music/A dir", "list.m3u", tree / "a.xm"},
         {"T/d.s3m", "T/c.it", "T/b.mod", "T/d.s3m", "T/music/A dir/x.it", "T/c.it", "T/d.s3m", "T/a.xm", "T/a.xm"},
         "XQ: Can't open 'missing.xm'\n"},
    };
    for (const auto &c : cases) {
        std::string errors;
        EXPECT_EQ(collect(c.arguments, errors), c.playlist) << c.arguments.front();
        EXPECT_EQ(errors, c.errors) << c.arguments.front();
    }
}

TEST_F(CommandArguments, EntriesThatCannotBeReadAreReportedAndLeftOut) {
    tree.file("here.xm");
    tree.dir("empty");
    write("list.m3u", "here.xm\nmissing.xm\n");
    std::string errors;
    CollectedArguments result{};
    EXPECT_EQ(collect({"list.m3u", "empty"}, errors, &result), std::vector<std::string>{"T/here.xm"});
    EXPECT_EQ(errors, "XQ: Can't open 'T/missing.xm'\nXQ: No modules in 'empty'\n");
    EXPECT_EQ(result.unreadable, 1);
    EXPECT_EQ(result.entries, 1);
    // A playlist without read permission (which root would read anyway).
    if (geteuid() != 0) {
        write("locked.pls", "[playlist]\nFile1=here.xm\n");
        chmod((tree / "locked.pls").c_str(), 0);
        EXPECT_EQ(collect({"locked.pls"}, errors), std::vector<std::string>{});
        EXPECT_EQ(errors, "XQ: Can't open 'locked.pls'\n");
    }
}

// More modules than the list holds: the first 4096 in order, one message
// counting the rest.
TEST_F(CommandArguments, TheBoundHoldsWithOneMessage) {
    tree.dir("many");
    for (int i = 0; i < 5000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "many/%04d.mod", i);
        tree.file(name);
    }
    tree.file("last.xm");
    std::string errors;
    CollectedArguments result{};
    const auto paths = collect({"many", "last.xm"}, errors, &result);
    ASSERT_EQ(paths.size(), static_cast<std::size_t>(kPlaylistCapacity));
    EXPECT_EQ(paths.front(), "T/many/0000.mod");
    EXPECT_EQ(paths.back(), "T/many/4095.mod");
    EXPECT_EQ(result.left_out, 5001 - kPlaylistCapacity);
    EXPECT_EQ(errors, "XQ: The playlist holds 4096 entries: 905 more modules were left out.\n");
}

// Levels of directories, each holding a module and two links to the next:
// 2^N ways lead to the last level, and each directory is walked once, the
// first way in, so each module comes once.
TEST_F(CommandArguments, ADirectoryThatManyLinksLeadToIsWalkedOnce) {
    constexpr int kLevels = 8;
    for (int i = 0; i <= kLevels; ++i) {
        const std::string level = "L" + std::to_string(i);
        tree.dir(level);
        tree.file(level + "/m" + std::to_string(i) + ".xm");
        if (i > 0)
            for (const char *name : {"/a", "/b"}) tree.link("L" + std::to_string(i - 1) + name, "../" + level);
    }
    tree.link("L3/up", "../L1");  // back to a level already walked
    std::vector<std::string> expected;
    for (int i = kLevels; i >= 0; --i) {
        std::string path = "T/L0";
        for (int k = 0; k < i; ++k) path += "/a";
        expected.push_back(path + "/m" + std::to_string(i) + ".xm");
    }
    std::string errors;
    EXPECT_EQ(collect({"L0"}, errors), expected);
    EXPECT_EQ(errors, "");
    // Each argument is a walk of its own: the same tree twice gives its
    // modules twice, as the same module twice does.
    const auto twice = collect({"L7", "L7"}, errors);
    EXPECT_EQ(twice, (std::vector<std::string>{"T/L7/a/m8.xm", "T/L7/m7.xm", "T/L7/a/m8.xm", "T/L7/m7.xm"}));
}

// Once the playlist is full no directory is walked any more: the modules of
// the directory being listed are counted, and what was not looked at is
// named.
TEST_F(CommandArguments, AFullPlaylistEndsTheWalk) {
    tree.dir("big/a");
    for (int i = 0; i < kPlaylistCapacity; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "big/a/%04d.mod", i);
        tree.file(name);
    }
    tree.dir("big/b");
    tree.file("big/b/unseen.xm");
    tree.file("big/c.xm");
    tree.file("big/d.xm");
    tree.dir("later");
    tree.file("later/unseen.xm");
    tree.file("counted.xm");
    std::string errors;
    CollectedArguments result{};
    const auto paths = collect({"big", "later", "counted.xm"}, errors, &result);
    ASSERT_EQ(paths.size(), static_cast<std::size_t>(kPlaylistCapacity));
    EXPECT_EQ(paths.back(), "T/big/a/4095.mod");
    EXPECT_EQ(result.left_out, 3);  // c.xm, d.xm, counted.xm
    EXPECT_EQ(errors, "XQ: The playlist holds 4096 entries: 3 more modules were left out, and the rest of 'big' "
                      "was not looked at.\n");
    // Full before a directory argument is walked at all.
    const auto again = collect({"big/a", "later"}, errors, &result);
    EXPECT_EQ(again.size(), static_cast<std::size_t>(kPlaylistCapacity));
    EXPECT_EQ(result.left_out, 0);
    EXPECT_EQ(errors, "XQ: The playlist holds 4096 entries: the rest of 'later' was not looked at.\n");
}

// The walks of one command line look at a bounded number of entries, and
// say where they stopped.
TEST_F(CommandArguments, TheWalksStopAfterTheirEntries) {
    tree.dir("wide");
    for (int i = 0; i < 10; ++i) tree.file("wide/" + std::to_string(i) + ".xm");
    tree.dir("other");
    tree.file("other/o.xm");
    tree.file("single.xm");
    std::string errors;
    const auto paths = collect({"wide", "other", "single.xm"}, errors, nullptr, 4);
    ASSERT_EQ(paths.size(), 5u);
    EXPECT_EQ(paths.back(), "T/single.xm");
    EXPECT_EQ(errors, "XQ: Stopped after looking at 4 entries: the rest of 'wide' was not looked at.\n"
                      "XQ: Stopped after looking at 4 entries: the rest of 'other' was not looked at.\n");
    EXPECT_EQ(collect({"wide"}, errors, nullptr, 10).size(), 10u);
    EXPECT_EQ(errors, "");
}

// A pack plays every module in it, folders first, as the file selector
// lists them; a path through it plays the one member.
TEST_F(CommandArguments, APackGivesItsModulesInTheSelectorsOrder) {
    write_fixture_archive(tree / "inner.zip", FixtureKind::zip_deflated, {{"in.xm", "x"}});
    write_fixture_archive(tree / "pack.zip", FixtureKind::zip_deflated,
                          {{"z.xm", "z"}, {"b/s.it", "s"}, {"a.mod.gz", "a"}, {"notes.txt", "n"},
                           {"../up.xm", "u"}, {"a/deep/d.xm", "d"}, {"inner.zip", fixture_bytes(tree / "inner.zip")}});
    write_fixture_archive(tree / "songs.tar.gz", FixtureKind::tar_gz, {{"one.xm", "1"}, {"two.s3m", "2"}});
    write("list.m3u", "pack.zip/z.xm\npack.zip/inner.zip/in.xm\n");
    write("damaged.zip", "PK\3\4 and then nothing of a zip");
    const struct {
        std::vector<std::string> arguments;
        std::vector<std::string> playlist;
        std::string errors;
    } cases[] = {
        {{"pack.zip"},
         {"T/pack.zip/a/deep/d.xm", "T/pack.zip/b/s.it", "T/pack.zip/a.mod.gz", "T/pack.zip/z.xm"}, ""},
        {{"songs.tar.gz", "pack.zip/b/s.it"}, {"T/songs.tar.gz/one.xm", "T/songs.tar.gz/two.s3m", "T/pack.zip/b/s.it"}, ""},
        {{"pack.zip/inner.zip"}, {"T/pack.zip/inner.zip/in.xm"}, ""},
        {{"pack.zip/a"}, {"T/pack.zip/a/deep/d.xm"}, ""},
        {{"pack.zip/nowhere"}, {}, "XQ: Can't open 'pack.zip/nowhere': No such folder in the archive.\n"},
        {{"list.m3u"}, {"T/pack.zip/z.xm", "T/pack.zip/inner.zip/in.xm"}, ""},
        {{"damaged.zip"}, {}, "XQ: Can't open 'damaged.zip': Damaged archive: "},
    };
    for (const auto &c : cases) {
        std::string errors;
        EXPECT_EQ(collect(c.arguments, errors), c.playlist) << c.arguments.front();
        EXPECT_EQ(errors.substr(0, c.errors.size()), c.errors) << c.arguments.front();
    }
}

TEST_F(CommandArguments, ArgumentsAreSortedByWhatTheyName) {
    tree.file("song.xm");
    tree.dir("dir");
    tree.dir("folder.zip");
    write_fixture_archive(tree / "pack.zip", FixtureKind::zip_deflated, {{"a.xm", "a"}});
    write_fixture_archive(tree / "song.mdz", FixtureKind::zip_deflated, {{"a.xm", "a"}});
    write_fixture_archive(tree / "named.dat", FixtureKind::seven_zip, {{"a.xm", "a"}});
    write("list.m3u", "song.xm\n");
    write("plain.pli", "XQ PLAYING LIST\n");
    const struct {
        std::string path;
        ArgumentSort sort;
    } cases[] = {
        {tree / "song.xm", ArgumentSort::module},     {tree / "dir", ArgumentSort::directory},
        {tree / "list.m3u", ArgumentSort::playlist},  {tree / "plain.pli", ArgumentSort::playlist},
        {tree / "missing", ArgumentSort::unreadable},
        {tree / "pack.zip", ArgumentSort::archive},   {tree / "named.dat", ArgumentSort::archive},
        {tree / "song.mdz", ArgumentSort::module},    {tree / "folder.zip", ArgumentSort::directory},
        {tree / "pack.zip/a.xm", ArgumentSort::module}, {tree / "song.xm/a.xm", ArgumentSort::module},
        {tree / "pack.zip/folder", ArgumentSort::archive},
        {tree / "dir/pack.zip/a.xm", ArgumentSort::unreadable},
    };
    for (const auto &c : cases) EXPECT_EQ(argument_sort(c.path.c_str()), c.sort) << c.path;
}
