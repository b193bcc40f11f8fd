#include "3_filesel/file_selector.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <mikmod.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "1_player/module_loader.h"
#include "2_screen/channel_table.h"
#include "2_screen/main_window.h"
#include "3_filesel/directory_listing.h"
#include "3_panels/module_loading.h"
#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "2_screen/playlist_footer.h"
#include "3_playlist/playlist_playback.h"
#include "4_program/main_loop.h"
#include "headless_screen.h"
#include "silent_player.h"
#include "temp_tree.h"

namespace {

constexpr int kEnter = '\n';
constexpr int kTab = '\t';

std::vector<int> operator+(std::vector<int> a, const std::vector<int> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<int> keys_of(const std::string &text) { return {text.begin(), text.end()}; }
std::vector<int> repeat(int key, std::size_t n) { return std::vector<int>(n, key); }

// KEY_DOWN presses from the first entry of `dir` to `name`.
std::vector<int> down_to(const std::string &dir, const std::string &name) {
    const std::vector<std::string> order = listing_order(dir);
    const auto at = std::find(order.begin(), order.end(), name);
    EXPECT_NE(at, order.end()) << name << " in " << dir;
    return repeat(KEY_DOWN, static_cast<std::size_t>(at - order.begin()));
}

const std::vector<int> kOk = {kTab, kEnter};
const std::vector<int> kCancel = {kTab, KEY_RIGHT, kEnter};

// Replaces the text of the directory line.
std::vector<int> type_directory(const std::string &shown, const std::string &typed) {
    return std::vector<int>{'d'} + repeat(KEY_BACKSPACE, shown.size()) + keys_of(typed) + std::vector<int>{kEnter};
}

class Environment {
public:
    explicit Environment(const char *name) : name_(name) {
        if (const char *value = std::getenv(name)) saved_ = value, had_ = true;
    }
    ~Environment() {
        if (had_)
            setenv(name_, saved_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char *name_;
    std::string saved_;
    bool had_ = false;
};

// The selector on an 80x24 main screen, starting in a temporary tree. Key
// sequences that go astray would leave the selector waiting for ever, so an
// alarm ends such a test.
class Selector : public ::testing::Test {
protected:
    HeadlessScreen screen{24, 80};
    WorkingDirectoryGuard cwd;
    Environment pwd{"PWD"};
    TempTree tree;

    void SetUp() override {
        create_test_main_window();
        selector_memory = {};
        setenv("PWD", tree.path().c_str(), 1);
        alarm(60);
    }
    void TearDown() override {
        alarm(0);
        selector_memory = {};
        destroy_test_main_window();
    }

    static void start_in(const std::string &dir) {
        std::snprintf(selector_memory.start_dir, sizeof selector_memory.start_dir, "%s", dir.c_str());
    }
    FileChoice run(const std::vector<int> &keys) {
        for (auto it = keys.rbegin(); it != keys.rend(); ++it) ungetch(*it);
        return file_selector();
    }
    // The name OK chose, or "(null)" for Cancel.
    static std::string text(const FileChoice &choice) {
        return choice.button == SelectorButton::ok ? choice.name : "(null)";
    }
};

}  // namespace

TEST(ListingCursor, PageKeysKeepTheHighlightInTheListing) {
    const struct {
        const char *what;
        ListingCursor before;
        int key, count;
        ListingCursor after;
        bool redraw;
    } cases[] = {
        {"down within a page", {3, 0, 0}, KEY_DOWN, 30, {4, 0, 0}, false},
        {"down onto page 1", {10, 0, 0}, KEY_DOWN, 30, {11, 1, 1}, true},
        {"down on the last entry", {29, 2, 2}, KEY_DOWN, 30, {29, 2, 2}, false},
        {"up onto page 0", {11, 1, 1}, KEY_UP, 30, {10, 0, 0}, true},
        {"up on the first entry", {0, 0, 0}, KEY_UP, 30, {0, 0, 0}, false},
        {"page down", {3, 0, 0}, KEY_NPAGE, 30, {11, 1, 1}, true},
        {"page down on the last page", {23, 2, 2}, KEY_NPAGE, 30, {29, 2, 2}, true},
        {"page up", {25, 2, 2}, KEY_PPAGE, 30, {11, 1, 1}, true},
        {"page up on the first page", {7, 0, 0}, KEY_PPAGE, 30, {0, 0, 0}, false},
        {"page up from page 1", {15, 1, 1}, KEY_PPAGE, 30, {0, 0, 0}, true},
        {"other keys", {5, 0, 0}, 'x', 30, {5, 0, 0}, false},
    };
    for (const auto &c : cases) {
        ListingCursor cursor = c.before;
        EXPECT_EQ(move_listing_cursor(cursor, c.key, c.count, 11), c.redraw) << c.what;
        EXPECT_EQ(cursor.highlight, c.after.highlight) << c.what;
        EXPECT_EQ(cursor.page, c.after.page) << c.what;
        EXPECT_EQ(cursor.page_drawn, c.after.page_drawn) << c.what;
    }
    for (int key : {KEY_DOWN, KEY_UP, KEY_NPAGE, KEY_PPAGE}) {
        for (int page_rows : {11, 0}) {
            ListingCursor cursor{0, 0, 0};
            move_listing_cursor(cursor, key, 0, page_rows);
            EXPECT_EQ(cursor.highlight, 0) << "empty listing, key " << key;
            EXPECT_EQ(cursor.page, 0) << "empty listing, key " << key;
        }
    }
}

TEST_F(Selector, DotDotClimbsAndStopsAtTheRoot) {
    const struct {
        std::string from, to;
    } cases[] = {{"/usr/local", "/usr"}, {"/usr", "/"}, {"/", "/"}};
    for (const auto &c : cases) {
        start_in(c.from);
        const FileChoice choice = run(down_to(c.from, "..") + std::vector<int>{kEnter} + kCancel);
        EXPECT_EQ(text(choice), "(null)");
        EXPECT_EQ(std::string(choice.dir), c.to) << c.from;
        EXPECT_EQ(working_directory(), c.to) << c.from;
    }
    // and a subdirectory of the root
    start_in("/");
    EXPECT_EQ(std::string(run(down_to("/", "tmp") + std::vector<int>{kEnter} + kCancel).dir), "/tmp");
}

TEST_F(Selector, EnteringDirectoriesAndLinksKeepsDirnameOnTheWorkingDirectory) {
    tree.dir("real/inner");
    tree.dir("sub");
    tree.link("relative", "real");
    tree.link("absolute", tree / "real/");
    const std::string t = tree.path();
    const struct {
        const char *what;
        std::vector<int> keys;
        std::string dirname;  // the directory shown at Cancel
        std::string physical;  // the working directory as the kernel names it
    } cases[] = {
        {"a subdirectory", down_to(t, "sub") + std::vector<int>{kEnter}, t + "/sub", t + "/sub"},
        {"and back", down_to(t, "sub") + std::vector<int>{kEnter} + down_to(t + "/sub", "..") + std::vector<int>{kEnter},
         t, t},
        {"a relative link keeps its path", down_to(t, "relative") + std::vector<int>{kEnter}, t + "/relative",
         t + "/real"},
        {"an absolute link takes its target", down_to(t, "absolute") + std::vector<int>{kEnter}, t + "/real",
         t + "/real"},
        {"below a relative link", down_to(t, "relative") + std::vector<int>{kEnter} + down_to(t + "/real", "inner") +
                                       std::vector<int>{kEnter},
         t + "/real/inner", t + "/real/inner"},
        {"out of a relative link", down_to(t, "relative") + std::vector<int>{kEnter} + down_to(t + "/real", "..") +
                                       std::vector<int>{kEnter},
         t, t},
    };
    for (const auto &c : cases) {
        selector_memory = {};
        const FileChoice choice = run(c.keys + kCancel);
        EXPECT_EQ(text(choice), "(null)") << c.what;
        EXPECT_EQ(std::string(choice.dir), c.dirname) << c.what;
        EXPECT_EQ(std::string(choice.listing.dir), c.dirname) << c.what;
        EXPECT_EQ(working_directory(), c.physical) << c.what;
    }
}

TEST_F(Selector, ExitValues) {
    const std::string long_name = std::string(56, 'n') + ".mod";  // 60 characters
    tree.file(long_name, 10);
    tree.file("other.xm", 10);
    const std::string t = tree.path();
    const struct {
        const char *what;
        std::vector<int> keys;
        std::string returned;
        std::string file_name;
    } cases[] = {
        {"OK on a chosen file", down_to(t, long_name) + std::vector<int>{kEnter} + kOk, long_name, long_name},
        {"OK with an empty File line", kOk, "", ""},
        {"Cancel keeps the name", down_to(t, "other.xm") + std::vector<int>{kEnter} + kCancel, "(null)", "other.xm"},
        {"Tab back to the list, then OK", std::vector<int>{kTab, KEY_RIGHT, kTab} + kOk, "", ""},
        {"Escape and other keys do nothing", std::vector<int>{27, 'x', kTab, 27, 'q', KEY_LEFT, kEnter}, "", ""},
        {"f, a name, Enter", keys_of("fsong.xm") + std::vector<int>{kEnter}, "song.xm", "song.xm"},
        {"f, a name, Escape", keys_of("fsong.xm") + std::vector<int>{27}, "song.xm", "song.xm"},
        {"f, a name, Tab stays open", keys_of("Fsong.xm") + std::vector<int>{kTab} + kCancel, "(null)", "song.xm"},
        {"f, Enter on an empty line stays open", std::vector<int>{'f', kEnter} + kOk, "", ""},
        {"f edits the chosen name", down_to(t, "other.xm") + std::vector<int>{kEnter, 'f', KEY_BACKSPACE,
                                                                              KEY_BACKSPACE, 'i', 't', kEnter},
         "other.it", "other.it"},
    };
    for (const auto &c : cases) {
        selector_memory = {};
        const FileChoice choice = run(c.keys);
        EXPECT_EQ(text(choice), c.returned) << c.what;
        EXPECT_EQ(std::string(choice.name), c.file_name) << c.what;
        EXPECT_EQ(std::string(choice.path), t + "/" + c.file_name) << c.what;
        EXPECT_EQ(std::string(choice.dir), t) << c.what;
        EXPECT_EQ(std::string(selector_memory.start_dir), t) << c.what;
        EXPECT_EQ(choice.listing.count, 3) << c.what;  // "..", other.xm and the long name
    }
}

TEST_F(Selector, TheNextOpeningStartsWhereTheLastClosed) {
    tree.dir("a/b");
    tree.file("a/b/tune.xm", 3);
    const std::string t = tree.path();
    run(down_to(t, "a") + std::vector<int>{kEnter} + kCancel);
    EXPECT_EQ(std::string(selector_memory.start_dir), t + "/a");
    // the second opening starts in a (PWD no longer counts), the name is gone
    EXPECT_EQ(text(run(down_to(t + "/a", "b") + std::vector<int>{kEnter} + kOk)), "");
    EXPECT_EQ(std::string(selector_memory.start_dir), t + "/a/b");
    const FileChoice tune = run(down_to(t + "/a/b", "tune.xm") + std::vector<int>{kEnter} + kOk);
    EXPECT_EQ(text(tune), "tune.xm");
    EXPECT_EQ(std::string(tune.path), t + "/a/b/tune.xm");
    EXPECT_EQ(std::string(tune.dir), t + "/a/b");
    // the listing and the working directory stay for the playlist
    EXPECT_EQ(working_directory(), t + "/a/b");
    ASSERT_EQ(tune.listing.count, 2);
    EXPECT_STREQ(tune.listing.names[0], "..");
    EXPECT_STREQ(tune.listing.names[1], "tune.xm");
}

TEST_F(Selector, TypedDirectories) {
    tree.dir("music/old");
    tree.dir("real");
    tree.link("jump", tree / "real");
    const std::string t = tree.path();
    const struct {
        const char *what;
        std::string typed;
        std::string result;
    } cases[] = {
        {"absolute", t + "/music", t + "/music"},
        {"absolute with a trailing slash", t + "/music/old/", t + "/music/old"},
        {"relative", "music", t + "/music"},
        {"relative with ..", "music/old/../..", t},
        {"parent", "..", "/tmp"},
        {"a link", t + "/jump", t + "/real"},
        {"missing: the old path comes back", t + "/nothing", t},
        {"a file: the old path comes back", "/etc/passwd", t},
        {"empty: the old path comes back", "", t},
    };
    for (const auto &c : cases) {
        selector_memory = {};
        EXPECT_EQ(std::string(run(type_directory(t, c.typed) + kCancel).dir), c.result) << c.what;
        EXPECT_EQ(working_directory(), c.result == t + "/jump" ? t + "/real" : c.result) << c.what;
    }
}

TEST_F(Selector, PathsThatWouldNotFitAreRefused) {
    // a directory whose path is 250 characters long
    std::string deep = tree.path();
    while (deep.size() < 250) deep += "/" + std::string(std::min<std::size_t>(60, 250 - deep.size() - 1), 'd');
    ASSERT_EQ(deep.size(), 250u);
    tree.dir(deep.substr(tree.path().size() + 1));
    std::filesystem::create_directory(deep + "/subdirectory");
    tree.file(deep.substr(tree.path().size() + 1) + "/song.xm", 1);
    start_in(deep);

    // entering the subdirectory: refused in a message box, closed with Enter
    EXPECT_EQ(std::string(run(down_to(deep, "subdirectory") + std::vector<int>{kEnter, kEnter} + kCancel).dir), deep);
    EXPECT_EQ(working_directory(), deep);

    // choosing the file: refused, the File line stays empty
    const FileChoice refused = run(down_to(deep, "song.xm") + std::vector<int>{kEnter, kEnter} + kOk);
    EXPECT_EQ(text(refused), "");
    EXPECT_EQ(std::string(refused.name), "");

    // a typed name: refused by the File line and again by OK
    const FileChoice typed =
        run(keys_of("fsong.xm") + std::vector<int>{kEnter, kEnter, kTab, kEnter, kEnter, KEY_RIGHT, kEnter});
    EXPECT_EQ(text(typed), "(null)");
    EXPECT_EQ(std::string(typed.name), "song.xm");
    EXPECT_EQ(std::string(typed.path), "");

    // an absolute name stands on its own
    const FileChoice absolute = run(keys_of("f/tmp/x.xm") + std::vector<int>{kEnter});
    EXPECT_EQ(text(absolute), "/tmp/x.xm");
    EXPECT_EQ(std::string(absolute.path), "/tmp/x.xm");
}

TEST_F(Selector, EntriesThatCannotBeOpenedAreNotEntered) {
    tree.dir("closed");
    tree.link("dangling", "nowhere");
    tree.file("here.xm", 1);
    const std::string t = tree.path();

    // a dangling link and a directory without permissions: a message box
    // each (closed with Enter), and the listing stays where it was
    const std::vector<int> keys = down_to(t, "dangling") + std::vector<int>{kEnter, kEnter, KEY_PPAGE} +
                                  down_to(t, "closed") + std::vector<int>{kEnter, kEnter} + kCancel;
    chmod((tree / "closed").c_str(), 0);
    chmod(t.c_str(), 0755);
    // Root passes every permission check: the selector then runs in a child
    // that has given its privileges up.
    const bool as_root = geteuid() == 0;
    const pid_t child = as_root ? fork() : 0;
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (as_root && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        const FileChoice returned = run(keys);
        const bool stayed = returned.button == SelectorButton::cancel && std::string(returned.dir) == t &&
                            working_directory() == t && returned.listing.count == 4;
        if (as_root) _exit(stayed ? 0 : 1);
        EXPECT_TRUE(stayed) << returned.dir;
    } else {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    chmod((tree / "closed").c_str(), 0755);
}

TEST_F(Selector, TheStartDirectory) {
    tree.dir("start");
    const std::string t = tree.path();
    ASSERT_EQ(chdir((t + "/start").c_str()), 0);
    const struct {
        const char *what;
        const char *pwd;  // null: unset
        std::vector<int> keys;
        std::string shown;
    } cases[] = {
        {"PWD", "/usr", kCancel, "/usr"},
        {"PWD unset: the working directory", nullptr, kCancel, t + "/start"},
        {"PWD relative: the working directory", "start", kCancel, t + "/start"},
        {"PWD missing: told, then the working directory", "/no/such/dir", std::vector<int>{kEnter} + kCancel,
         t + "/start"},
    };
    for (const auto &c : cases) {
        selector_memory = {};
        ASSERT_EQ(chdir((t + "/start").c_str()), 0);
        if (c.pwd)
            setenv("PWD", c.pwd, 1);
        else
            unsetenv("PWD");
        EXPECT_EQ(std::string(run(c.keys).dir), c.shown) << c.what;
    }
}

TEST(TinySelector, FewerThan14LinesStillOpenPageAndClose) {
    HeadlessScreen screen{12, 40};
    WorkingDirectoryGuard cwd;
    TempTree tree;
    tree.file("a", 1);
    create_test_main_window();
    std::snprintf(selector_memory.start_dir, sizeof selector_memory.start_dir, "%s", tree.path().c_str());
    const std::vector<int> keys = {KEY_DOWN, KEY_NPAGE, KEY_NPAGE, KEY_PPAGE, KEY_UP, 'm', KEY_LEFT, kEnter, kTab, kEnter};
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) ungetch(*it);
    const FileChoice returned = file_selector();
    EXPECT_EQ(returned.button, SelectorButton::ok);
    EXPECT_STREQ(returned.name, "");
    EXPECT_EQ(std::string(returned.dir), tree.path());
    destroy_test_main_window();
    selector_memory = {};
}

namespace {

const std::string kFixtures = XQ_FIXTURE_DIR;

// The main loop's `f` key on a main screen that plays eight.mod through
// libmikmod's silent driver.
class FileKey : public Selector {
protected:
    static void SetUpTestSuite() { start_silent_player(); }
    static void TearDownTestSuite() { stop_silent_player(); }

    std::uint64_t old = 0;  // the load number of eight.mod

    void SetUp() override {
        Selector::SetUp();
        save_marker_cells();
        ASSERT_EQ(load_module((kFixtures + "/eight.mod").c_str()), 0);
        old = loaded();
        playlist_active = true;
        playlist_footer.clear_pending = false;
    }
    void TearDown() override {
        player_unload();
        playlist_active = false;
        playlist_footer.clear_pending = false;
        Selector::TearDown();
    }

    static std::uint64_t loaded() { return loaded_module_number(player_view()); }
    static bool playing() { return is_playing(player_view()); }

    void press_f(const std::vector<int> &keys) {
        for (auto it = keys.rbegin(); it != keys.rend(); ++it) ungetch(*it);
        handle_main_key('f');
    }
};

}  // namespace

TEST_F(FileKey, OkLoadsTheChosenModuleAndEndsThePlaylist) {
    start_in(kFixtures);
    press_f(keys_of("fpercent.xm") + std::vector<int>{kEnter});
    EXPECT_NE(loaded(), old);
    EXPECT_TRUE(playing());
    EXPECT_FALSE(playlist_active);
    EXPECT_TRUE(playlist_footer.clear_pending);
    EXPECT_EQ(cells_text(main_win, 1, 1, 19), "File   : percent.xm");
    ASSERT_NE(player_view().module, nullptr);
    EXPECT_EQ(player_view().module->title, "100% %s %d %n");  // the name modwriter gave percent.xm
}

TEST_F(FileKey, CancelAndAnEmptyNameLoadNothing) {
    const std::string file_row = cells_text(main_win, 1, 0, 80);
    for (const auto &keys : {kCancel, kOk, std::vector<int>{'f', 'x', kTab} + kCancel}) {
        press_f(keys);
        EXPECT_EQ(loaded(), old);
        EXPECT_TRUE(playing());
        EXPECT_TRUE(playlist_active);
        EXPECT_FALSE(playlist_footer.clear_pending);
        EXPECT_EQ(cells_text(main_win, 1, 0, 80), file_row);
    }
}

TEST_F(FileKey, AFileTheLibraryRefusesKeepsTheOldModulePlaying) {
    tree.file("notes.txt", 300);
    press_f(keys_of("fnotes.txt") + std::vector<int>{kEnter, kEnter});  // the second closes the red box
    EXPECT_EQ(loaded(), old);
    EXPECT_TRUE(playing());
    EXPECT_TRUE(playlist_active);
    EXPECT_FALSE(playlist_footer.clear_pending);
}
