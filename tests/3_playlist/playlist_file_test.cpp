#include "3_playlist/playlist_file.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <ostream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "3_playlist/playlist_store.h"
#include "4_program/shutdown.h"
#include "file_size_limit.h"
#include "../3_filesel/temp_tree.h"

namespace {

const std::string kMagic = "XQ PLAYING LIST";

class PlaylistFile : public ::testing::Test {
protected:
    TempTree tree;
    char message[kPathCapacity] = {};

    void SetUp() override { playlist_clear(); }
    void TearDown() override { playlist_clear(); }

    std::string write(const std::string &name, const std::string &content) {
        std::ofstream(tree / name, std::ios::binary) << content;
        return tree / name;
    }
    static std::string read(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    struct Entry {
        std::string dir, name, path;
        bool operator==(const Entry &) const = default;
        friend std::ostream &operator<<(std::ostream &out, const Entry &e) {
            return out << "{" << e.dir << " | " << e.name << " | " << e.path << "}";
        }
    };
    static std::vector<Entry> entries() {
        std::vector<Entry> out;
        for (int i = 0; i < playlist_count; ++i) out.push_back({playlist[i].dir, playlist[i].name, playlist[i].path});
        return out;
    }
};

}  // namespace

TEST_F(PlaylistFile, SavesTheMagicLineThenOneLinePerEntry) {
    const std::string empty = tree / "empty.pli";
    ASSERT_EQ(store_playlist(empty.c_str(), message, sizeof message), 0);
    EXPECT_EQ(read(empty), kMagic + "\n");  // exactly 16 bytes
    EXPECT_EQ("'" + empty + "' saved.", message);

    playlist_add_file("/m", "a.mod");
    playlist_add_file("/m", "b.xm");
    const std::string two = tree / "two.pli";
    ASSERT_EQ(store_playlist(two.c_str(), message, sizeof message), 0);
    EXPECT_EQ(read(two), kMagic + "\n/m/a.mod\n/m/b.xm\n");

    playlist_clear();
    ASSERT_EQ(read_playlist(two.c_str(), message, sizeof message).status, 0);
    EXPECT_EQ(entries(), (std::vector<Entry>{{"/m", "a.mod", "/m/a.mod"}, {"/m", "b.xm", "/m/b.xm"}}));
    EXPECT_STREQ(message, "");
    ASSERT_EQ(read_playlist(empty.c_str(), message, sizeof message).status, 0);
    EXPECT_EQ(playlist_count, 0);
}

TEST_F(PlaylistFile, ReadsTheLinesOfHandWrittenFiles) {
    const std::string own = tree.path();
    const struct {
        const char *what;
        std::string content;
        std::vector<Entry> loaded;
        int skipped;
    } cases[] = {
        {"the last line has no line feed", kMagic + "\n/m/a.mod\n/m/b.xm", {{"/m", "a.mod", "/m/a.mod"}}, 0},
        {"the byte after the magic is always skipped", kMagic + "/m/a.mod\n/m/b.xm\n",
         {{"m", "a.mod", "m/a.mod"}, {"/m", "b.xm", "/m/b.xm"}}, 0},
        {"a file in the root", kMagic + "\n/x.mod\n", {{"", "x.mod", "/x.mod"}}, 0},
        {"carriage returns are kept", kMagic + "\r\n/m/a.mod\r\n", {{"/m", "a.mod\r", "/m/a.mod\r"}}, 0},
        {"empty lines are skipped", kMagic + "\n\n/m/a.mod\n\n", {{"/m", "a.mod", "/m/a.mod"}}, 0},
        {"a bare name is a file beside the playlist file", kMagic + "\nsong.xm\n", {{own, "song.xm", own + "/song.xm"}}, 0},
        {"a relative line keeps its split", kMagic + "\nsub/x.mod\n", {{"sub", "x.mod", "sub/x.mod"}}, 0},
        {"a line longer than 255 characters is skipped",
         kMagic + "\n/m/" + std::string(300, 'x') + "\n/m/b.xm\n", {{"/m", "b.xm", "/m/b.xm"}}, 1},
        {"a line of exactly 255 characters is taken", kMagic + "\n/m/" + std::string(252, 'x') + "\n",
         {{"/m", std::string(252, 'x'), "/m/" + std::string(252, 'x')}}, 0},
        {"a zero byte makes a line unusable", kMagic + "\n/m/a" + std::string(1, '\0') + ".mod\n/m/b.xm\n",
         {{"/m", "b.xm", "/m/b.xm"}}, 1},
    };
    for (const auto &c : cases) {
        playlist_add_file("/old", "entry");
        const std::string path = write("hand.pli", c.content);
        const PlaylistReading reading = read_playlist(path.c_str(), message, sizeof message);
        EXPECT_EQ(reading.status, 0) << c.what;
        EXPECT_EQ(entries(), c.loaded) << c.what;
        EXPECT_EQ(reading.skipped, c.skipped) << c.what;
        EXPECT_EQ(std::string(message).find("Skipped") != std::string::npos, c.skipped > 0) << c.what << ": " << message;
    }
}

TEST_F(PlaylistFile, SkippedLinesAreCountedAndExplained) {
    const struct {
        std::string content;
        int skipped, directories;
        const char *message;
    } cases[] = {
        {"/m/dir/\n/m/a.mod\n", 0, 1, "Skipped 1 line naming a directory, not a file."},
        {"/m/dir/\n/\n", 0, 2, "Skipped 2 lines naming a directory, not a file."},
        {"/m/" + std::string(300, 'x') + "\n", 1, 0, "Skipped 1 line longer than 255 characters or not text."},
        {"/m/dir/\n/m/" + std::string(300, 'x') + "\n/m/a" + std::string(1, '\0') + "\n", 2, 1,
         "Skipped 1 line naming a directory and 2 too long or not text."},
    };
    for (const auto &c : cases) {
        const std::string path = write("dirs.pli", kMagic + "\n" + c.content);
        const PlaylistReading reading = read_playlist(path.c_str(), message, sizeof message);
        EXPECT_EQ(reading.status, 0);
        EXPECT_EQ(reading.skipped, c.skipped) << c.message;
        EXPECT_EQ(reading.directories, c.directories) << c.message;
        EXPECT_STREQ(message, c.message);
    }
}

TEST_F(PlaylistFile, FilesThatAreNotPlaylistsLeaveTheListAlone) {
    playlist_add_file("/m", "kept.mod");
    const struct {
        std::string path;
        const char *message;
    } cases[] = {
        {tree / "missing.pli", nullptr},
        {write("short.pli", "XQ PLAYING"), "Not a playlist file."},
        {write("other.pli", "XQ PLAYING LIS?\n/m/a.mod\n"), "Not a playlist file."},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(read_playlist(c.path.c_str(), message, sizeof message).status, -1) << c.path;
        EXPECT_EQ(std::string(message), c.message ? c.message : "Can't open '" + c.path + "'.");
        EXPECT_EQ(entries(), (std::vector<Entry>{{"/m", "kept.mod", "/m/kept.mod"}}));
    }
}

// A FIFO (which would wait for a writer, then perhaps never end), a device
// and a directory are refused at once, with their name in the message.
TEST_F(PlaylistFile, WhatIsNotARegularFileIsRefusedWithoutWaiting) {
    playlist_add_file("/m", "kept.mod");
    ASSERT_EQ(mkfifo((tree / "fifo.pli").c_str(), 0600), 0);
    tree.dir("folder.pli");
    alarm(5);  // a read that blocks fails the test instead of hanging it
    for (const std::string &path : {tree / "fifo.pli", tree / "folder.pli", std::string("/dev/zero")}) {
        EXPECT_EQ(read_playlist(path.c_str(), message, sizeof message).status, -1) << path;
        EXPECT_EQ(std::string(message), "Can't load '" + path + "': not a regular file.");
        EXPECT_EQ(entries(), (std::vector<Entry>{{"/m", "kept.mod", "/m/kept.mod"}}));
    }
    alarm(0);
}

// A quit signal ends a long read at once.
TEST_F(PlaylistFile, AQuitRequestEndsTheReading) {
    const std::string path = write("list.pli", kMagic + "\n/m/a.mod\n/m/b.mod\n");
    quit_requested = 1;
    const PlaylistReading reading = read_playlist(path.c_str(), message, sizeof message);
    quit_requested = 0;
    EXPECT_EQ(reading.status, 0);
    EXPECT_EQ(playlist_count, 0);
}

TEST_F(PlaylistFile, ALongerFileLoadsTheFirstEntriesAndSaysSo) {
    std::string content = kMagic + "\n";
    for (int i = 0; i < kPlaylistCapacity + 10; ++i) content += "/m/s" + std::to_string(i) + ".mod\n";
    content += "/m/" + std::string(400, 'y') + "\n";
    const std::string path = write("big.pli", content);
    const PlaylistReading reading = read_playlist(path.c_str(), message, sizeof message);
    EXPECT_EQ(reading.status, 0);
    EXPECT_EQ(playlist_count, kPlaylistCapacity);
    EXPECT_STREQ(playlist[kPlaylistCapacity - 1].name, "s4095.mod");
    EXPECT_TRUE(reading.full);
    EXPECT_EQ(reading.skipped, 0);  // the reading stopped at the full list, before the long line
    EXPECT_STREQ(message, "The playlist is full: loaded the first 4096 entries, the rest left out.");
}

// A file-size limit stands in for a full disk: the write fails part way,
// and the old playlist file must stay whole.
TEST_F(PlaylistFile, AFailedSaveIsReportedAndKeepsTheOldFile) {
    const std::string path = tree / "list.pli";
    const std::string old = kMagic + "\n/old/one.mod\n/old/two.mod\n";
    write("list.pli", old);
    for (int i = 0; i < 200; ++i) playlist_add_file("/music/modules", ("song" + std::to_string(i) + ".xm").c_str());

    int result;
    {
        const FileSizeLimit limit(1000);
        result = store_playlist(path.c_str(), message, sizeof message);
    }

    EXPECT_EQ(result, -1);
    EXPECT_EQ(std::string(message).rfind("Can't write '" + path + "': ", 0), 0u) << message;
    EXPECT_EQ(std::string(message).find("saved"), std::string::npos);
    EXPECT_EQ(read(path), old);
    // Nothing but the old file is left behind.
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(tree.path())) files += entry.is_regular_file();
    EXPECT_EQ(files, 1);

    ASSERT_EQ(store_playlist(path.c_str(), message, sizeof message), 0);
    playlist_clear();
    ASSERT_EQ(read_playlist(path.c_str(), message, sizeof message).status, 0);
    EXPECT_EQ(playlist_count, 200);
    EXPECT_STREQ(playlist[199].path, "/music/modules/song199.xm");
}

// Through a link the target is saved and the link kept; a device is never
// replaced.
TEST_F(PlaylistFile, SavesThroughALinkAndNeverOverADevice) {
    playlist_add_file("/m", "a.mod");
    const std::string target = write("target.pli", kMagic + "\n");
    tree.link("link.pli", "target.pli");
    ASSERT_EQ(store_playlist((tree / "link.pli").c_str(), message, sizeof message), 0) << message;
    EXPECT_EQ(read(target), kMagic + "\n/m/a.mod\n");
    EXPECT_TRUE(std::filesystem::is_symlink(tree / "link.pli"));
    tree.link("null.pli", "/dev/null");
    EXPECT_EQ(store_playlist((tree / "null.pli").c_str(), message, sizeof message), -1);
    EXPECT_EQ(std::string(message), "Can't save '" + (tree / "null.pli") + "': not a regular file.");
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST_F(PlaylistFile, SavingWhereNoFileCanBeMadeSaysSo) {
    const std::string path = tree / "no/such/dir/list.pli";
    EXPECT_EQ(store_playlist(path.c_str(), message, sizeof message), -1);
    EXPECT_EQ(std::string(message), "Can't open '" + path + "'.");
    // A saved file keeps the mode of the one it replaces.
    const std::string shared = write("shared.pli", kMagic + "\n");
    chmod(shared.c_str(), 0644);
    ASSERT_EQ(store_playlist(shared.c_str(), message, sizeof message), 0);
    struct stat info;
    ASSERT_EQ(stat(shared.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}
