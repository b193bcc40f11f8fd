#include "3_playlist/playlist_formats.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "3_playlist/playlist_file.h"
#include "3_playlist/playlist_store.h"
#include "file_size_limit.h"
#include "../3_filesel/temp_tree.h"

namespace {

class PlaylistFormats : public ::testing::Test {
protected:
    TempTree tree;
    char message[kPathCapacity] = {};

    void SetUp() override { playlist_clear(); }
    void TearDown() override { playlist_clear(); }

    std::string write(const std::string &name, const std::string &content) const {
        std::ofstream(tree / name, std::ios::binary) << content;
        return tree / name;
    }
    static std::string read(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

}  // namespace

TEST(PlaylistKinds, ContentFirstThenTheName) {
    const struct {
        std::string head;
        const char *name;
        PlaylistKind kind;
    } cases[] = {
        {"XQ PLAYING LIST\n/a.xm\n", "x.m3u", PlaylistKind::xq},
        {"#EXTM3U\n", "list", PlaylistKind::m3u},
        {"\xEF\xBB\xBF#extm3u\r\n", "list.txt", PlaylistKind::m3u},
        {"  [Playlist]\n", "list", PlaylistKind::pls},
        {"/music/a.xm\n", "list.M3U8", PlaylistKind::m3u},
        {"File1=a.xm\n", "list.pls", PlaylistKind::pls},
        {"XQ PLAYING", "list.pli", PlaylistKind::none},
        {"Extended Module: ", "song.xm", PlaylistKind::none},
        {"", "list.m3u", PlaylistKind::m3u},
    };
    for (const auto &c : cases)
        EXPECT_EQ(recognise_playlist(c.head.data(), c.head.size(), c.name), c.kind) << c.name;
    EXPECT_TRUE(names_m3u("/a/b.m3u8"));
    EXPECT_FALSE(names_m3u("/a/b.m3u.pli"));
}

// Saved as M3U and loaded back through the panel's loader: the same list.
TEST_F(PlaylistFormats, M3uRoundTrip) {
    playlist_add_path("/music/a.xm");
    playlist_add_path("/music/sub dir/b é.mod");
    const std::string path = tree / "list.m3u";
    ASSERT_EQ(store_m3u_playlist(path.c_str(), message, sizeof message), 0);
    EXPECT_EQ("'" + path + "' saved.", message);
    EXPECT_EQ(read(path), "#EXTM3U\n/music/a.xm\n/music/sub dir/b é.mod\n");

    playlist_clear();
    playlist_add_path("/old/entry.xm");
    int result = -1;
    ASSERT_TRUE(load_foreign_playlist(path.c_str(), message, sizeof message, result));
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(message, "");
    ASSERT_EQ(playlist_count, 2);
    EXPECT_STREQ(playlist[1].path, "/music/sub dir/b é.mod");
    EXPECT_STREQ(playlist[1].dir, "/music/sub dir");
}

// Members of packs are kept as the paths they are, in every format.
TEST_F(PlaylistFormats, PathsThroughPacksRoundTripInEveryFormat) {
    const std::vector<std::string> members = {"/music/pack.zip/sub/a.xm", "/music/songs.7z/b.it",
                                              "/music/outer.zip/inner.lha/c.mod", "/music/d.xm.gz"};
    auto loaded = [&]() {
        std::vector<std::string> paths;
        for (int i = 0; i < playlist_count; ++i) paths.emplace_back(playlist[i].path);
        return paths;
    };
    auto fill = [&]() {
        playlist_clear();
        for (const std::string &m : members) ASSERT_EQ(playlist_add_path(m.c_str()), AddResult::added);
    };

    fill();
    const std::string m3u = tree / "list.m3u";
    ASSERT_EQ(store_m3u_playlist(m3u.c_str(), message, sizeof message), 0);
    playlist_clear();
    int result = -1;
    ASSERT_TRUE(load_foreign_playlist(m3u.c_str(), message, sizeof message, result));
    EXPECT_EQ(loaded(), members);

    fill();
    const std::string pli = tree / "list.pli";
    ASSERT_EQ(store_playlist(pli.c_str(), message, sizeof message), 0);
    playlist_clear();
    EXPECT_EQ(read_playlist(pli.c_str(), message, sizeof message).status, 0);
    EXPECT_EQ(loaded(), members);
    EXPECT_STREQ(playlist[0].dir, "/music/pack.zip/sub");
    EXPECT_STREQ(playlist[0].name, "a.xm");

    std::string pls = "[playlist]\n";
    for (std::size_t i = 0; i < members.size(); ++i)
        pls += "File" + std::to_string(i + 1) + "=" + members[i] + "\n";
    write("list.pls", pls + "NumberOfEntries=4\nVersion=2\n");
    playlist_clear();
    ASSERT_TRUE(load_foreign_playlist((tree / "list.pls").c_str(), message, sizeof message, result));
    EXPECT_EQ(loaded(), members);
}

TEST_F(PlaylistFormats, PlsLoadsInTheOrderOfItsNumbers) {
    const std::string path = write("list.pls", "[playlist]\r\nFile3=/m/c.it\r\nFile1=a.xm\r\nfile2=file:///m/b%20b.mod\r\n"
                                               "NumberOfEntries=3\r\n");
    int result = -1;
    ASSERT_TRUE(load_foreign_playlist(path.c_str(), message, sizeof message, result));
    ASSERT_EQ(playlist_count, 3);
    EXPECT_EQ(std::string(playlist[0].path), tree / "a.xm");
    EXPECT_STREQ(playlist[1].path, "/m/b b.mod");
    EXPECT_STREQ(playlist[2].path, "/m/c.it");
    // Our own format is left to its own reader.
    const std::string ours = write("ours.pli", "XQ PLAYING LIST\n/m/a.xm\n");
    EXPECT_FALSE(load_foreign_playlist(ours.c_str(), message, sizeof message, result));
    EXPECT_EQ(playlist_count, 3);
}

// Entries of one number keep the file's order; past kPlaylistCapacity
// entries the rest are counted, not kept, and a second reading starts
// afresh.
TEST_F(PlaylistFormats, PlsEntriesOfOneNumberAndAFullList) {
    // Forty lines alternating File2 and File1, enough for a sort that is
    // not stable to mix them.
    std::string lines = "[playlist]\n";
    std::vector<std::string> expected[2];
    for (int i = 0; i < 40; ++i) {
        const int number = 2 - i % 2;
        const std::string path = "/m/" + std::to_string(i) + ".xm";
        lines += "File" + std::to_string(number) + "=" + path + "\n";
        expected[number - 1].push_back(path);
    }
    const std::string ties = write("ties.pls", lines);
    int result = -1;
    ASSERT_TRUE(load_foreign_playlist(ties.c_str(), message, sizeof message, result));
    ASSERT_EQ(playlist_count, 40);
    expected[0].insert(expected[0].end(), expected[1].begin(), expected[1].end());
    for (int i = 0; i < 40; ++i) EXPECT_EQ(playlist[i].path, expected[0][static_cast<std::size_t>(i)]) << i;

    std::string many = "[playlist]\n";
    for (int n = kPlaylistCapacity + 5; n >= 1; --n) many += "File" + std::to_string(n) + "=/m/" + std::to_string(n) + ".xm\n";
    const std::string full = write("full.pls", many);
    ASSERT_TRUE(load_foreign_playlist(full.c_str(), message, sizeof message, result));
    ASSERT_EQ(playlist_count, kPlaylistCapacity);
    // the file's first kPlaylistCapacity lines are kept, then sorted
    EXPECT_STREQ(playlist[0].path, "/m/6.xm");
    EXPECT_EQ(std::string(playlist[kPlaylistCapacity - 1].path), "/m/" + std::to_string(kPlaylistCapacity + 5) + ".xm");
    EXPECT_EQ(std::string(message), "The playlist is full: loaded the first " + std::to_string(kPlaylistCapacity) +
                                         " entries, 5 more left out.");

    ASSERT_TRUE(load_foreign_playlist(ties.c_str(), message, sizeof message, result));
    EXPECT_EQ(playlist_count, 40);
    EXPECT_STREQ(message, "");
}

TEST_F(PlaylistFormats, AFailedM3uSaveKeepsTheOldFile) {
    const std::string path = write("list.m3u", "#EXTM3U\n/old/one.mod\n");
    for (int i = 0; i < 200; ++i) playlist_add_path(("/music/modules/song" + std::to_string(i) + ".xm").c_str());
    int result;
    {
        const FileSizeLimit limit(1000);
        result = store_m3u_playlist(path.c_str(), message, sizeof message);
    }

    EXPECT_EQ(result, -1);
    EXPECT_EQ(std::string(message), "Can't write '" + path + "': File too large.");
    EXPECT_EQ(read(path), "#EXTM3U\n/old/one.mod\n");
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(tree.path())) files += entry.is_regular_file();
    EXPECT_EQ(files, 1);
}
