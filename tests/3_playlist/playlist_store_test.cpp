#include "3_playlist/playlist_store.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "3_filesel/directory_listing.h"
#include "../3_filesel/temp_tree.h"

namespace {

class Store : public ::testing::Test {
protected:
    void SetUp() override { playlist_clear(); }
    void TearDown() override { playlist_clear(); }

    static std::vector<std::string> paths() {
        std::vector<std::string> out;
        for (int i = 0; i < playlist_count; ++i) out.emplace_back(playlist[i].path);
        return out;
    }
    static void add_all(std::initializer_list<const char *> names) {
        for (const char *name : names) ASSERT_EQ(playlist_add_file("/m", name), AddResult::added);
    }
};

}  // namespace

TEST_F(Store, AddKeepsDirNameAndPath) {
    const struct {
        const char *dir, *name;
        AddResult result;
        const char *entry_dir, *path;
    } cases[] = {
        {"/m", "a.mod", AddResult::added, "/m", "/m/a.mod"},
        {"/", "x.mod", AddResult::added, "", "/x.mod"},              // reads back the same from a file
        {"/m", "sub/x.mod", AddResult::added, "/m", "/m/sub/x.mod"},  // a name typed with a "/"
        {"/m", "", AddResult::empty, nullptr, nullptr},
        {"/m", "two\nlines.mod", AddResult::line_feed, nullptr, nullptr},
        {"/m\n", "a.mod", AddResult::line_feed, nullptr, nullptr},
    };
    for (const auto &c : cases) {
        playlist_clear();
        EXPECT_EQ(playlist_add_file(c.dir, c.name), c.result) << c.name;
        if (c.result != AddResult::added) {
            EXPECT_EQ(playlist_count, 0) << c.name;
            continue;
        }
        ASSERT_EQ(playlist_count, 1);
        EXPECT_STREQ(playlist[0].dir, c.entry_dir);
        EXPECT_STREQ(playlist[0].name, c.name);
        EXPECT_STREQ(playlist[0].path, c.path);
    }
}

TEST_F(Store, PathsThatWouldNotFitAreRefusedNotCut) {
    const std::string dir = "/" + std::string(200, 'd');
    // dir + "/" + name of exactly 255 characters fits; one more does not.
    const std::string fits(255 - dir.size() - 1, 'n');
    EXPECT_EQ(playlist_add_file(dir.c_str(), fits.c_str()), AddResult::added);
    EXPECT_EQ(std::string(playlist[0].path).size(), 255u);
    EXPECT_EQ(playlist_add_file(dir.c_str(), (fits + "n").c_str()), AddResult::too_long);
    EXPECT_EQ(playlist_add_file(std::string(300, 'd').c_str(), "a"), AddResult::too_long);
    EXPECT_EQ(playlist_add_path(("/" + std::string(300, 'd') + "/a").c_str()), AddResult::too_long);
    EXPECT_EQ(playlist_count, 1);
}

TEST_F(Store, AddPathSplitsAtTheLastSlash) {
    EXPECT_EQ(playlist_add_path("/m/sub/x.mod"), AddResult::added);
    EXPECT_STREQ(playlist[0].dir, "/m/sub");
    EXPECT_STREQ(playlist[0].name, "x.mod");
    EXPECT_EQ(playlist_add_path("/x.mod"), AddResult::added);
    EXPECT_STREQ(playlist[1].dir, "");
    EXPECT_STREQ(playlist[1].path, "/x.mod");
    EXPECT_EQ(playlist_add_path("x.mod"), AddResult::empty);
    EXPECT_EQ(playlist_add_path("/m/"), AddResult::empty);
    EXPECT_EQ(playlist_count, 2);
}

TEST_F(Store, TheEntryAfterTheLastSlotIsRefused) {
    for (int i = 0; i < kPlaylistCapacity; ++i)
        ASSERT_EQ(playlist_add_file("/m", ("s" + std::to_string(i)).c_str()), AddResult::added);
    EXPECT_EQ(playlist_add_file("/m", "one.more"), AddResult::full);
    EXPECT_EQ(playlist_count, kPlaylistCapacity);
    EXPECT_STREQ(playlist[kPlaylistCapacity - 1].name, "s4095");
    EXPECT_NE(std::string(add_result_message(AddResult::full)).find("full"), std::string::npos);
}

TEST_F(Store, RemoveAndMoveCopyWholeEntries) {
    const struct {
        const char *what;
        void (*op)(int);
        int index;
        std::vector<std::string> after;
    } cases[] = {
        {"remove the last", playlist_remove, 2, {"/m/a", "/m/b"}},
        {"remove the first", playlist_remove, 0, {"/m/b", "/m/c"}},
        {"remove the middle", playlist_remove, 1, {"/m/a", "/m/c"}},
        {"remove past the end", playlist_remove, 3, {"/m/a", "/m/b", "/m/c"}},
        {"move up", playlist_move_up, 2, {"/m/a", "/m/c", "/m/b"}},
        {"move up the first", playlist_move_up, 0, {"/m/a", "/m/b", "/m/c"}},
        {"move down", playlist_move_down, 0, {"/m/b", "/m/a", "/m/c"}},
        {"move down the last", playlist_move_down, 2, {"/m/a", "/m/b", "/m/c"}},
        {"move down past the end", playlist_move_down, 5, {"/m/a", "/m/b", "/m/c"}},
    };
    for (const auto &c : cases) {
        playlist_clear();
        add_all({"a", "b", "c"});
        c.op(c.index);
        EXPECT_EQ(paths(), c.after) << c.what;
        for (int i = 0; i < playlist_count; ++i)
            EXPECT_EQ(std::string(playlist[i].dir) + "/" + playlist[i].name, playlist[i].path) << c.what;
    }
    playlist_remove(0);
    EXPECT_STREQ(playlist[2].path, "");  // the freed slot is emptied
}

// Inside a pack the names are no files of the working directory: the
// member list says which are files, and a plain directory's packs are no
// entries.
TEST_F(Store, AddDirInAPackTakesItsMemberFiles) {
    WorkingDirectoryGuard cwd;
    TempTree tree;
    tree.file("a.xm");  // a file of the working directory named as a member is no member
    tree.file("pack.zip");
    ASSERT_EQ(chdir(tree.path().c_str()), 0);
    const char names[][kPathCapacity] = {"..", "sub", "a.xm", "b.it", "sealed.xm"};
    const bool files[] = {false, false, true, true, false};
    const std::string dir = tree / "pack.zip/music";
    const AddDirResult result = playlist_add_dir(dir.c_str(), names, 5, 0, files);
    EXPECT_EQ(result.added, 2);
    EXPECT_EQ(paths(), (std::vector<std::string>{dir + "/a.xm", dir + "/b.it"}));

    playlist_clear();
    const char plain[][kPathCapacity] = {"..", "pack.zip", "a.xm"};
    playlist_add_dir(tree.path().c_str(), plain, 3, 0);
    EXPECT_EQ(paths(), (std::vector<std::string>{tree / "a.xm"}));
}

TEST_F(Store, AddDirTakesTheListedRegularFilesInListingOrder) {
    WorkingDirectoryGuard cwd;
    TempTree tree;
    tree.dir("sub");
    tree.file("b.mod");
    tree.file("a.xm");
    tree.link("to-a", "a.xm");
    tree.link("dangling", "nowhere");
    tree.file("new\nline.mod");
    ASSERT_EQ(chdir(tree.path().c_str()), 0);
    const std::vector<std::string> order = {"..", "sub", "b.mod", "dangling", "new\nline.mod", "a.xm", "to-a"};
    // The listing as the file selector hands it to the playlist's Add dir.
    DirectoryListing listing;
    listing.names = std::make_unique<char[][kPathCapacity]>(order.size());
    for (const std::string &name : order) std::snprintf(listing.names[listing.count++], kPathCapacity, "%s", name.c_str());
    std::snprintf(listing.dir, sizeof listing.dir, "%s", tree.path().c_str());

    const AddDirResult result = playlist_add_dir(listing.dir, listing.names.get(), listing.count, listing.left_out);
    EXPECT_EQ(result.added, 3);
    EXPECT_EQ(result.left_out, 0);
    EXPECT_EQ(result.refused, 1);  // a line feed cannot be kept in a playlist file
    EXPECT_EQ(paths(), (std::vector<std::string>{tree / "b.mod", tree / "a.xm", tree / "to-a"}));

    // Into a list with room for two more: the rest is counted, with what
    // the listing itself could not hold.
    playlist_clear();
    for (int i = 0; i < kPlaylistCapacity - 2; ++i) playlist_add_file("/m", "x");
    listing.left_out = 5;
    const AddDirResult full = playlist_add_dir(listing.dir, listing.names.get(), listing.count, listing.left_out);
    EXPECT_EQ(full.added, 2);
    EXPECT_EQ(full.left_out, 1 + 5);
    EXPECT_EQ(playlist_count, kPlaylistCapacity);
}
