#include "3_playlist/playlist_panel.h"

#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <mikmod.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "2_screen/playlist_footer.h"
#include "2_screen/colors.h"
#include "3_playlist/playlist_playback.h"
#include "3_filesel/file_selector.h"
#include "3_playlist/playlist_store.h"
#include "4_program/startup.h"
#include "../3_filesel/temp_tree.h"
#include "headless_screen.h"

namespace {

constexpr int kEnter = '\n';
constexpr int kTab = '\t';
constexpr int kEscape = 27;

std::vector<int> keys_of(const std::string &text) { return {text.begin(), text.end()}; }

std::vector<std::string> names() {
    std::vector<std::string> out;
    for (int i = 0; i < playlist_count; ++i) out.emplace_back(playlist[i].name);
    return out;
}

// The panel on an 80x24 screen (20 list rows a page), with the silent
// player of the playback tests. Key sequences that go
// astray would leave a key loop waiting for ever, so an alarm ends such a
// test.
class Panel : public ::testing::Test {
protected:

    HeadlessScreen screen{24, 80};

    void SetUp() override {
        create_test_main_window();
        playlist_clear();
        playlist_view = {};
        alarm(60);
    }
    void TearDown() override {
        alarm(0);
        playlist_active = false;
        playlist_footer = PlaylistFooter{};
        player_unload();
        playlist_clear();
        playlist_view = {};
        destroy_test_main_window();
    }

    static void fill(int n) {
        for (int i = 0; i < n; ++i) playlist_add_file("/m", ("e" + std::to_string(i)).c_str());
    }
    static PlaylistExit run(const std::vector<int> &keys) {
        for (auto it = keys.rbegin(); it != keys.rend(); ++it) ungetch(*it);
        return playlist_panel();
    }
    static std::vector<int> to_button(int n) { return std::vector<int>(static_cast<std::size_t>(n), KEY_DOWN); }
    static std::vector<int> cat(std::initializer_list<std::vector<int>> parts) {
        std::vector<int> out;
        for (const auto &p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    }
};

}  // namespace

TEST(ListSelection, MovesWithinTheListAndTurnsPages) {
    const struct {
        const char *what;
        ListSelection before;
        int key, count;
        ListSelection after;
        bool redraw;
    } cases[] = {
        {"down", {3, 0}, KEY_DOWN, 50, {4, 0}, false},
        {"down onto page 1", {19, 0}, KEY_DOWN, 50, {20, 1}, true},
        {"down on the last entry", {49, 2}, KEY_DOWN, 50, {49, 2}, false},
        {"up onto page 0", {20, 1}, KEY_UP, 50, {19, 0}, true},
        {"up on the first entry", {0, 0}, KEY_UP, 50, {0, 0}, false},
        {"page down", {3, 0}, KEY_NPAGE, 50, {20, 1}, true},
        {"page down on the last page", {41, 2}, KEY_NPAGE, 50, {49, 2}, true},
        {"page down on the last entry", {49, 2}, KEY_NPAGE, 50, {49, 2}, false},
        {"page up", {45, 2}, KEY_PPAGE, 50, {20, 1}, true},
        {"page up on the first page", {7, 0}, KEY_PPAGE, 50, {0, 0}, true},
        {"page up on the first entry", {0, 0}, KEY_PPAGE, 50, {0, 0}, false},
        {"no rows at all", {0, 0}, KEY_DOWN, 5, {1, 0}, false},
    };
    for (const auto &c : cases) {
        ListSelection s = c.before;
        const int rows = std::string(c.what) == "no rows at all" ? 0 : 20;
        EXPECT_EQ(move_list_selection(s, c.key, c.count, rows), c.redraw) << c.what;
        EXPECT_EQ(s.selected, c.after.selected) << c.what;
        EXPECT_EQ(s.page, c.after.page) << c.what;
    }
}

TEST_F(Panel, ListRowsAreNumberedAndCutToTheListArea) {
    WINDOW *w = newwin(22, 72, 1, 4);
    PlaylistView view{0, 0};
    draw_playlist(w, view);
    for (int row = 1; row <= 20; ++row) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%3d: %-48s ", row, "EMPTY");
        EXPECT_EQ(cells_text(w, row, 1, 54), expected) << row;
    }
    EXPECT_EQ(cells_text(w, 21, 38, 17), "[     0 entries ]");

    const std::string long_dir = "/" + std::string(150, 'd');
    playlist_add_file(long_dir.c_str(), "song.xm");
    fill(30);
    draw_playlist(w, view);
    EXPECT_EQ(cells_text(w, 1, 1, 54), "  1: " + long_dir.substr(0, 49));
    EXPECT_EQ(cells_text(w, 1, 55, 1), " ");  // nothing runs over the separator
    EXPECT_EQ(cell_attr(w, 1, 1), pair(kCyanOnBlack));
    EXPECT_EQ(cells_text(w, 21, 38, 17), "[    31 entries ]");

    view.page = 1;  // the second page starts with R + 1
    draw_playlist(w, view);
    EXPECT_EQ(cells_text(w, 1, 1, 13), " 21: /m/e19  ");
    EXPECT_EQ(cells_text(w, 11, 1, 10), " 31: /m/e2");
    EXPECT_EQ(cells_text(w, 12, 1, 10), " 32: EMPTY");
    delwin(w);
}

TEST_F(Panel, RemoveKeepsTheSelectionInTheList) {
    fill(5);
    // Remove, down to the last entry, Enter: the selection goes back to 0.
    EXPECT_EQ(run(cat({to_button(2), {kEnter}, std::vector<int>(4, KEY_DOWN), {kEnter, 'q'}})), PlaylistExit::quit);
    EXPECT_EQ(names(), (std::vector<std::string>{"e0", "e1", "e2", "e3"}));
    EXPECT_EQ(playlist_view.selected, 0);
    // Removing another entry keeps the index, which holds the next entry.
    run(cat({to_button(2), {kEnter, KEY_DOWN, kEnter, 'q'}}));
    EXPECT_EQ(names(), (std::vector<std::string>{"e0", "e2", "e3"}));
    EXPECT_EQ(playlist_view.selected, 1);
    // A selection left past the end by Clear or Load is brought back.
    playlist_view.selected = 2;
    run(cat({to_button(3), {kEnter, 'q'}}));
    EXPECT_EQ(playlist_count, 0);
    EXPECT_EQ(playlist_view.selected, 0);
    EXPECT_EQ(playlist_view.page, 0);
}

TEST_F(Panel, MoveUpAndDownSwapAndKeepTheIndex) {
    fill(5);
    run(cat({to_button(4), {kEnter}, std::vector<int>(3, KEY_DOWN), {kEnter, 'q'}}));
    EXPECT_EQ(names(), (std::vector<std::string>{"e0", "e1", "e3", "e2", "e4"}));
    EXPECT_EQ(playlist_view.selected, 3);
    run(cat({to_button(5), {kEnter, kEnter, 'q'}}));
    EXPECT_EQ(names(), (std::vector<std::string>{"e0", "e1", "e3", "e4", "e2"}));
    EXPECT_EQ(playlist_view.selected, 3);
    // Tab browses only: Enter does nothing there, Escape leaves.
    run({kTab, KEY_UP, kEnter, kEscape, 'q'});
    EXPECT_EQ(playlist_view.selected, 2);
    EXPECT_EQ(names(), (std::vector<std::string>{"e0", "e1", "e3", "e4", "e2"}));
}

TEST_F(Panel, DoneStartsTheListAndQDoesNot) {
    const std::string fixtures = XQ_FIXTURE_DIR;
    EXPECT_EQ(run({KEY_NPAGE, kEnter}), PlaylistExit::done);  // Done with an empty list
    EXPECT_FALSE(playlist_active);
    playlist_add_path((fixtures + "/short_a.xm").c_str());
    playlist_add_path((fixtures + "/short_b.xm").c_str());
    EXPECT_EQ(run({'q'}), PlaylistExit::quit);
    EXPECT_FALSE(playlist_active);
    EXPECT_EQ(player_view().module, nullptr);
    // Up on Add file, Down on Done stay
    const PlaylistExit exit = run({KEY_DOWN, KEY_UP, KEY_UP, KEY_NPAGE, KEY_DOWN, kEnter});
    EXPECT_EQ(exit, PlaylistExit::done);
    EXPECT_TRUE(playlist_active);
    EXPECT_EQ(playlist_index, 0);
    ASSERT_NE(player_view().module, nullptr);
    EXPECT_EQ(player_view().module->title, "song a");
}

// Add file, Add dir, Save and Load take what the file selector returns: the
// chosen file's full path, the listing of the directory chosen, and
// nothing at all when it was cancelled.
TEST_F(Panel, TheFileButtonsTakeWhatTheFileSelectorReturns) {
    WorkingDirectoryGuard cwd;
    TempTree tree;
    tree.dir("sub");
    tree.file("b.mod", 1);
    tree.file("a.xm", 1);
    std::snprintf(selector_memory.start_dir, sizeof selector_memory.start_dir, "%s", tree.path().c_str());
    const std::vector<int> typed_list = cat({{'f'}, keys_of("list.pli"), {kEnter}});
    const struct {
        const char *what;
        std::vector<int> keys;
        std::vector<std::string> paths;  // the playlist afterwards
    } steps[] = {
        {"Add file", cat({{kEnter, 'f'}, keys_of("b.mod"), {kEnter, 'q'}}), {tree / "b.mod"}},
        {"Add dir: the regular files in listing order", cat({to_button(1), {kEnter, kTab, kEnter, 'q'}}),
         {tree / "b.mod", tree / "a.xm", tree / "b.mod"}},
        {"Add dir cancelled", cat({to_button(1), {kEnter, kTab, KEY_RIGHT, kEnter, 'q'}}),
         {tree / "b.mod", tree / "a.xm", tree / "b.mod"}},
        {"Add file cancelled", cat({{kEnter, 'f'}, keys_of("a.xm"), {kTab, kTab, KEY_RIGHT, kEnter, 'q'}}),
         {tree / "b.mod", tree / "a.xm", tree / "b.mod"}},
        // the box that tells of the save closes with Enter
        {"Save", cat({to_button(8), {kEnter}, typed_list, {kEnter, 'q'}}),
         {tree / "b.mod", tree / "a.xm", tree / "b.mod"}},
        {"Clear", cat({to_button(3), {kEnter, 'q'}}), {}},
        {"Load", cat({to_button(7), {kEnter}, typed_list, {'q'}}), {tree / "b.mod", tree / "a.xm", tree / "b.mod"}},
    };
    for (const auto &step : steps) {
        EXPECT_EQ(run(step.keys), PlaylistExit::quit) << step.what;
        std::vector<std::string> paths;
        for (int i = 0; i < playlist_count; ++i) paths.emplace_back(playlist[i].path);
        EXPECT_EQ(paths, step.paths) << step.what;
    }
    selector_memory = {};
}
