#include "3_filesel/directory_listing.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "2_screen/colors.h"
#include "headless_screen.h"
#include "temp_tree.h"
#include "../1_player/archive_fixture.h"

namespace {

std::vector<std::string> listed(const DirectoryListing &listing) {
    std::vector<std::string> names;
    for (int i = 0; i < listing.count; ++i) names.emplace_back(listing.names[i]);
    return names;
}

int index_of(const DirectoryListing &listing, const std::string &name) {
    for (int i = 0; i < listing.count; ++i)
        if (name == listing.names[i]) return i;
    return -1;
}

// Standard error sent to a file while a step runs; returns what was written.
template <typename Step>
std::string stderr_of(Step step) {
    char path[] = "/tmp/xqstderr.XXXXXX";
    const int file = mkstemp(path);
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(file, STDERR_FILENO);
    step();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    close(file);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    unlink(path);
    return text.str();
}

// The file selector's window on an 80 x `lines` screen.
class Listing : public ::testing::Test {
protected:
    explicit Listing(int lines = 24) : screen(lines, 80) {}

    HeadlessScreen screen;
    WorkingDirectoryGuard cwd;
    TempTree tree;
    WINDOW *win = nullptr;
    DirectoryListing listing;

    void SetUp() override { win = newwin(LINES - 3, 60, 2, 10); }
    void TearDown() override { delwin(win); }

    void show(const std::string &path) {
        ASSERT_EQ(show_directory(win, listing, path.c_str()), 0) << std::strerror(errno);
    }

    // The 58 columns of a listing row.
    std::string row(int r) { return cells_text(win, r, 1, 58); }

    static std::string padded(const std::string &s, std::size_t width = 58) {
        return s + std::string(width - s.size(), ' ');
    }
};

class TinyListing : public Listing {
protected:
    TinyListing() : Listing(12) {}
};

}  // namespace

TEST(ListingGeometry, PagesOf24Rows) {
    EXPECT_EQ(listing_page_rows(24), 11);
    const struct {
        int index, page, row;
    } cases[] = {{0, 0, 5}, {10, 0, 15}, {11, 1, 5}, {21, 1, 15}, {22, 2, 5}};
    for (const auto &c : cases) {
        EXPECT_EQ(listing_page_of(c.index, 11), c.page) << c.index;
        EXPECT_EQ(listing_row_of(c.index, 24), c.row) << c.index;
    }
    // no page rows: no division by zero
    EXPECT_EQ(listing_page_of(7, 0), 0);
    EXPECT_EQ(listing_row_of(7, 8), 2);
}

// Every part on its own row, inside the window's border, in order from the
// top; the listing keeps a few rows down to 12 lines, then as many as fit.
TEST(ListingGeometry, EveryPartHasItsRowOnShortScreens) {
    const struct {
        int lines, page_rows, first;
        bool whole;
    } cases[] = {{50, 37, 5, true}, {24, 11, 5, true}, {16, 3, 5, true}, {15, 6, 3, false},
                 {12, 3, 3, false}, {10, 1, 3, false}, {9, 1, 2, false}, {8, 0, 2, false},
                 {3, 0, 2, false}};
    for (const auto &c : cases) {
        const SelectorRows rows = selector_rows(c.lines);
        EXPECT_EQ(rows.page_rows, c.page_rows) << c.lines;
        EXPECT_EQ(listing_page_rows(c.lines), c.page_rows) << c.lines;
        EXPECT_EQ(rows.first, c.first) << c.lines;
        if (c.lines < 9) continue;  // no room for every part
        const int last = c.lines - 3 - 2;  // the last row inside the border
        EXPECT_EQ(rows.buttons, last) << c.lines;
        EXPECT_LT(rows.file, rows.buttons) << c.lines;
        EXPECT_LE(rows.first + rows.page_rows, rows.file) << c.lines;
        EXPECT_LT(rows.dir, rows.first) << c.lines;
        EXPECT_GE(rows.dir, 1) << c.lines;
        EXPECT_EQ(rows.note >= 0, c.whole) << c.lines;
        for (int separator : rows.separators) {
            if (separator < 0) continue;
            EXPECT_TRUE(separator != rows.dir && separator != rows.file && separator != rows.buttons &&
                        separator != rows.note &&
                        (separator < rows.first || separator >= rows.first + rows.page_rows))
                << c.lines << ": a line across row " << separator;
        }
    }
}

TEST(ListingGeometry, SizesFitTheirNineColumns) {
    const struct {
        long long bytes;
        const char *text;
    } cases[] = {
        {0, "        0"},
        {823, "      823"},
        {999'999'999LL, "999999999"},
        {1'000'000'000LL, "  976562K"},
        {5'000'000'000'000LL, " 4768371M"},
        {-1, "        0"},
    };
    for (const auto &c : cases) {
        char out[10];
        format_entry_size(out, c.bytes);
        EXPECT_STREQ(out, c.text) << c.bytes;
    }
}

TEST_F(Listing, DotDotThenDirectoriesThenFilesEachSortedByNameAndDotIsLeftOut) {
    tree.file("b", 3);
    tree.dir("z");
    tree.file("a", 1);
    tree.file(".hidden", 2);
    tree.dir(".hiddendir");
    tree.dir("Album 2");
    tree.dir("album 10");
    tree.link("to_z", "z");
    tree.link("dangling", "nowhere");
    for (const char *name : {"track10.xm", "Track1.xm", "track2.xm", "B.mod"}) tree.file(name, 5);
    ASSERT_EQ(mkfifo((tree / "fifo").c_str(), 0600), 0);
    show(tree.path());

    // In the C locale of the tests the collation is by code point: capitals
    // before small letters, digits one by one.
    const std::vector<std::string> expected = {
        "..",        ".hiddendir", "Album 2",  "album 10",  "to_z",      "z",
        ".hidden",   "B.mod",      "Track1.xm", "a",        "b",         "dangling",
        "fifo",      "track10.xm", "track2.xm",
    };
    EXPECT_EQ(listed(listing), expected);
    EXPECT_EQ(std::string(listing.dir), tree.path());
    EXPECT_EQ(working_directory(), tree.path());
    EXPECT_EQ(listing.left_out, 0);
    EXPECT_EQ(listing.highlight, 0);
    EXPECT_EQ(listing.page, 0);
}

TEST(ListingOrder, DotDotComesFirstAndTheRestByCollation) {
    EXPECT_TRUE(listed_before("..", "."));
    EXPECT_TRUE(listed_before("..", "-"));
    EXPECT_FALSE(listed_before("..", ".."));
    EXPECT_FALSE(listed_before("a", ".."));
    EXPECT_TRUE(listed_before("A", "a"));
    EXPECT_TRUE(listed_before("song1", "song10"));
    EXPECT_FALSE(listed_before("song2", "song10"));
}

TEST_F(Listing, TheFirstPageShowsKindsSizesAndTheHighlight) {
    const std::string long_name(60, 'L');
    tree.file(long_name, 1234);
    tree.dir("sub");
    tree.link("link_to_sub", "sub");
    tree.link("dangling", "nowhere");
    tree.file("empty");
    show(tree.path());

    EXPECT_EQ(cells_text(win, 2, 1, 57), padded("Dir: " + tree.path(), 57));
    EXPECT_EQ(cell_attr(win, 2, 1), kBold);
    EXPECT_EQ(cell_attr(win, 2, 2), kNormal);

    const struct {
        std::string name;
        std::string text;
        attr_t name_attr;
    } rows[] = {
        {"sub", padded("sub"), kBold},
        {"link_to_sub", padded("link_to_sub"), kBold},  // stat follows the link
        {"..", padded(".."), kBold},
        {long_name, std::string(48, 'L') + "      1234", kNormal},
        {"empty", padded("empty", 48) + "         0", kNormal},
        {"dangling", padded("dangling", 48) + "         ?", kNormal},  // no size to show
    };
    for (const auto &r : rows) {
        const int i = index_of(listing, r.name);
        ASSERT_GE(i, 0) << r.name;
        const int screen_row = 5 + i;
        EXPECT_EQ(row(screen_row), r.text) << r.name;
        const attr_t expected = i == 0 ? bold_pair(kCyanOnBlue) : r.name_attr;
        EXPECT_EQ(cell_attr(win, screen_row, 1), expected) << r.name;
        EXPECT_EQ(cell_attr(win, screen_row, 48), expected) << r.name;
        EXPECT_EQ(cell_attr(win, screen_row, 58), kNormal) << r.name;  // the size field
    }
    for (int r = 5 + listing.count; r <= LINES - 9; ++r) EXPECT_EQ(row(r), padded("")) << r;
    EXPECT_EQ(entry_kind("dangling"), EntryKind::unreadable);
    EXPECT_EQ(entry_kind("link_to_sub"), EntryKind::directory);
    EXPECT_EQ(entry_kind("empty"), EntryKind::regular);
    EXPECT_EQ(entry_kind("/dev/null"), EntryKind::other);
}

TEST_F(Listing, PagesOf11RowsOn24Lines) {
    for (int i = 0; i < 29; ++i) tree.file("f" + std::to_string(i), static_cast<std::size_t>(i));
    show(tree.path());  // ".." and 29 files: pages of 11, 11 and 8
    ASSERT_EQ(listing.count, 30);
    for (int page : {1, 2, 0}) {
        listing.page = page;
        draw_listing_page(win, listing);
        for (int r = 5; r <= 15; ++r) {
            const int i = page * 11 + r - 5;
            if (i < listing.count) {
                EXPECT_EQ(row(r).substr(0, 48), padded(listing.names[i], 48)) << page << " " << r;
                EXPECT_EQ(cell_attr(win, r, 1), i == 0 ? kBold : kNormal) << "no highlight " << i;
            } else {
                EXPECT_EQ(row(r), padded("")) << page << " " << r;
            }
        }
    }
    EXPECT_EQ(row(16).substr(0, 5), "     ");  // LINES - 8 is not a listing row
}

// At 12 lines the page has three rows from row 3, and nothing is drawn
// past them over the File line.
TEST_F(TinyListing, TwelveLinesShowAPageOfThreeRows) {
    for (const char *name : {"a.xm", "b.xm", "c.xm", "d.xm"}) tree.file(name, 10);
    const std::string file_line = row(6);
    show(tree.path());
    ASSERT_EQ(listing.count, 5);
    EXPECT_EQ(row(3).substr(0, 48), padded("..", 48));
    EXPECT_EQ(cell_attr(win, 3, 1), bold_pair(kCyanOnBlue));
    EXPECT_EQ(row(5).substr(0, 48), padded("b.xm", 48));
    EXPECT_EQ(row(6), file_line);
    listing.page = 1;
    draw_listing_page(win, listing);
    EXPECT_EQ(row(3).substr(0, 48), padded("c.xm", 48));
    EXPECT_EQ(row(4).substr(0, 48), padded("d.xm", 48));
    EXPECT_EQ(row(5), padded(""));
    EXPECT_EQ(row(6), file_line);
    draw_entry_name(win, listing, 4, bold_pair(kCyanOnBlue));
    EXPECT_EQ(cell_attr(win, 4, 1), bold_pair(kCyanOnBlue));
}

TEST_F(Listing, AHugeDirectoryIsListedUpToCapacityKeepingItsDirectories) {
    const int files = kMaxListed + 20;
    for (int i = 0; i < files; ++i) tree.file("f" + std::to_string(i));
    for (const char *dir : {"d1", "d2", "d3"}) tree.dir(dir);
    show(tree.path());
    const int total = files + 4;  // with ".." and the three directories
    EXPECT_EQ(listing.count, kMaxListed);
    EXPECT_EQ(listing.left_out, total - kMaxListed);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(entry_kind(listing.names[i]), EntryKind::directory) << listing.names[i];
    const std::string note = "Only " + std::to_string(kMaxListed) + " of " + std::to_string(total) +
                             " entries are listed.";
    EXPECT_EQ(row(3), padded(note));
    EXPECT_EQ(cell_attr(win, 3, 1), bold_pair(kRedOnBlack));

    // the last page holds the last entry and nothing past it
    listing.page = (kMaxListed - 1) / 11;
    draw_listing_page(win, listing);
    const int last_row = 5 + (kMaxListed - 1) % 11;
    EXPECT_EQ(row(last_row).substr(0, 48), padded(listing.names[kMaxListed - 1], 48));
    for (int r = last_row + 1; r <= 15; ++r) EXPECT_EQ(row(r), padded("")) << r;

    // an ordinary directory afterwards clears the note
    tree.dir("small");
    show(tree / "small");
    EXPECT_EQ(row(3), padded(""));
}

TEST_F(Listing, ADirectoryThatCannotBeShownChangesNothing) {
    tree.dir("here");
    tree.file("here/kept.xm", 5);
    tree.file("plain");
    show(tree / "here");
    const std::vector<std::string> before = listed(listing);
    const std::string header = row(2);

    struct Case {
        std::string path;
        int error;
    };
    std::vector<Case> cases = {{tree / "vanished", ENOENT}, {tree / "plain", ENOTDIR}};
    if (geteuid() != 0) {  // permissions do not hold back root
        tree.dir("locked");
        chmod((tree / "locked").c_str(), 0);
        cases.push_back({tree / "locked", EACCES});
        tree.dir("unsearchable");
        chmod((tree / "unsearchable").c_str(), S_IRUSR);
        cases.push_back({tree / "unsearchable", EACCES});
    }
    for (const auto &c : cases) {
        errno = 0;
        EXPECT_EQ(show_directory(win, listing, c.path.c_str()), -1) << c.path;
        EXPECT_EQ(errno, c.error) << c.path;
        EXPECT_EQ(std::string(listing.dir), tree / "here") << c.path;
        EXPECT_EQ(working_directory(), tree / "here") << c.path;
        EXPECT_EQ(listed(listing), before) << c.path;
        EXPECT_EQ(row(2), header) << c.path;
    }
    chmod((tree / "locked").c_str(), S_IRWXU);
    chmod((tree / "unsearchable").c_str(), S_IRWXU);
}

// A pack is listed with the directories and entered as one; its folders
// are folders, and its member list is read once while the selector stays
// inside it.
TEST_F(Listing, APackIsEnteredAsADirectory) {
    tree.dir("x.zip");  // a directory named like a pack stays a directory
    tree.dir("sub");
    tree.file("song.xm", 7);
    write_fixture_archive(tree / "inner.zip", FixtureKind::zip_deflated, {{"in.xm", "12345"}});
    write_fixture_archive(tree / "pack.zip", FixtureKind::zip_deflated,
                          {{"z.xm", "zz"}, {"b/s.it", "s"}, {"a/", "", true}, {"../up.xm", "u"},
                           {"inner.zip", fixture_bytes(tree / "inner.zip")}});
    show(tree.path());
    EXPECT_EQ(listed(listing), (std::vector<std::string>{"..", "inner.zip", "pack.zip", "sub", "x.zip", "song.xm"}));
    EXPECT_EQ(listed_kind(listing, 2), EntryKind::archive);
    EXPECT_EQ(listed_kind(listing, 4), EntryKind::directory);
    EXPECT_EQ(row(5 + 2), padded(padded("pack.zip", 48) + " <archive>"));

    show(tree / "pack.zip");
    EXPECT_EQ(listed(listing), (std::vector<std::string>{"..", "a", "b", "inner.zip", "../up.xm", "z.xm"}));
    EXPECT_EQ(working_directory(), tree.path());
    EXPECT_EQ(listed_kind(listing, 1), EntryKind::directory);
    EXPECT_EQ(listed_kind(listing, 3), EntryKind::archive);
    EXPECT_EQ(listed_kind(listing, 4), EntryKind::other);
    EXPECT_EQ(listed_kind(listing, 5), EntryKind::regular);
    EXPECT_EQ(row(5 + 5), padded(padded("z.xm", 48) + "         2"));
    const ArchiveIndex *read = listing.pack.get();

    show(tree / "pack.zip/b");  // the same pack: not read again
    EXPECT_EQ(listed(listing), (std::vector<std::string>{"..", "s.it"}));
    EXPECT_EQ(listing.pack.get(), read);
    show(tree / "pack.zip/inner.zip");
    EXPECT_EQ(listed(listing), (std::vector<std::string>{"..", "in.xm"}));
    show(tree / "pack.zip");
    EXPECT_EQ(listing.pack.get(), read);  // the outer pack kept while inside the inner one

    show(tree.path());
    EXPECT_EQ(listing.pack, nullptr);
    EXPECT_TRUE(listing.packed.empty());
}

TEST_F(Listing, APackThatCannotBeShownChangesNothingAndSaysWhy) {
    tree.dir("here");
    write_fixture_archive(tree / "pack.zip", FixtureKind::zip_deflated, {{"a.xm", "a"}});
    std::ofstream(tree / "bad.zip") << "PK\3\4 and no more";
    ASSERT_EQ(mkfifo((tree / "fifo.zip").c_str(), 0600), 0);
    show(tree / "here");
    const struct {
        std::string path;
        const char *failure;
    } cases[] = {
        {tree / "bad.zip", "Damaged archive: "},
        {tree / "fifo.zip", ""},
        {tree / "fifo.zip/a", "Not a file."},
        {tree / "pack.zip/nothing", "No such folder in the archive."},
        {tree / "pack.zip/a.xm", "No such folder in the archive."},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(show_directory(win, listing, c.path.c_str()), -1) << c.path;
        EXPECT_EQ(listing.failure.rfind(c.failure, 0), 0u) << c.path << ": " << listing.failure;
        EXPECT_EQ(std::string(listing.dir), tree / "here") << c.path;
        EXPECT_EQ(working_directory(), tree / "here") << c.path;
        EXPECT_EQ(listing.count, 1) << c.path;
    }
}

TEST_F(Listing, AnEmptyListingDrawsBlankRows) {
    tree.dir("gone");
    show(tree / "gone");
    ASSERT_EQ(rmdir((tree / "gone").c_str()), 0);  // the stream of a removed directory is empty
    DIR *dir = opendir(".");
    ASSERT_NE(dir, nullptr);
    read_listing(win, listing, dir);
    closedir(dir);
    EXPECT_EQ(listing.count, 0);
    for (int r = 5; r <= 15; ++r) EXPECT_EQ(row(r), padded("")) << r;
    draw_entry_name(win, listing, 0, bold_pair(kCyanOnBlue));
    EXPECT_EQ(row(5), padded(""));
    // and so does a listing never read, which has no names yet
    DirectoryListing unread;
    for (int page : {0, 3}) {
        unread.page = page;
        draw_listing_page(win, unread);
        for (int r = 5; r <= 15; ++r) EXPECT_EQ(row(r), padded("")) << page << " " << r;
    }
}

TEST_F(Listing, LinksInThePathAreResolved) {
    tree.dir("real");
    tree.link("abs", tree / "real/");  // a trailing "/" is dropped
    tree.link("rel", "real");
    tree.link("up", "../elsewhere");
    tree.file("plain");

    const struct {
        std::string path;
        std::string path_after;
        std::string reported;
    } cases[] = {
        {tree / "abs", tree / "real", ""},
        {tree / "rel", tree / "real", "real\n"},
        {tree / "up", tree.path() + "/../elsewhere", "../elsewhere\n"},
        {tree / "plain", tree / "plain", ""},
        {tree / "missing", tree / "missing", ""},
    };
    for (const auto &c : cases) {
        char path[kPathCapacity];
        std::snprintf(path, sizeof path, "%s", c.path.c_str());
        const std::string written = stderr_of([&] { resolve_link(path); });
        EXPECT_EQ(std::string(path), c.path_after) << c.path;
        EXPECT_EQ(written, c.reported) << c.path;
    }

    // the bare name of an entry: an absolute target replaces it, a relative
    // one leaves the name as it is
    ASSERT_EQ(chdir(tree.path().c_str()), 0);
    char name[kPathCapacity] = "abs";
    resolve_link(name);
    EXPECT_EQ(std::string(name), tree / "real");
    std::snprintf(name, sizeof name, "rel");
    EXPECT_EQ(stderr_of([&] { resolve_link(name); }), "real\n");
    EXPECT_EQ(std::string(name), "rel");

    // a link to the root keeps its "/"
    tree.link("root", "/");
    char target[kPathCapacity];
    EXPECT_EQ(read_link_target((tree / "root").c_str(), target), LinkTarget::absolute);
    EXPECT_STREQ(target, "/");
}

TEST(RelativeLinkReport, IsKeptOffTheTerminalTheScreenIsDrawnOn) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    const int same = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);

    EXPECT_TRUE(same_terminal(terminal, same));
    EXPECT_FALSE(same_terminal(terminal, pipe_fds[1]));
    EXPECT_FALSE(same_terminal(pipe_fds[0], pipe_fds[1]));

    // standard output and error on the screen's terminal: nothing written
    std::fflush(stdout);
    std::fflush(stderr);
    const int saved_out = dup(STDOUT_FILENO);
    const int saved_err = dup(STDERR_FILENO);
    dup2(terminal, STDOUT_FILENO);
    dup2(same, STDERR_FILENO);
    report_relative_link("on-the-screen");
    // standard error elsewhere: written there
    dup2(pipe_fds[1], STDERR_FILENO);
    report_relative_link("in-the-log");
    std::fflush(stderr);
    dup2(saved_out, STDOUT_FILENO);
    dup2(saved_err, STDERR_FILENO);
    close(saved_out);
    close(saved_err);

    char buffer[256] = {};
    fcntl(master, F_SETFL, O_NONBLOCK);
    EXPECT_LE(read(master, buffer, sizeof buffer - 1), 0) << buffer;
    fcntl(pipe_fds[0], F_SETFL, O_NONBLOCK);
    const ssize_t n = read(pipe_fds[0], buffer, sizeof buffer - 1);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(n)), "in-the-log\n");
    for (int fd : {master, terminal, same, pipe_fds[0], pipe_fds[1]}) close(fd);
}
