// The pattern view on the headless screen, driven by made-up playheads over
// a module written by our module writer: the layout helpers, browsing, and
// that a view moved row by row (scrolled) shows exactly what a view drawn
// whole at the same row shows.
#include "3_panels/pattern_view.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "2_screen/colors.h"
#include "headless_screen.h"
#include "silent_player.h"

namespace {

TEST(PatternViewLayout, FitsChannelsAndLinesToTheWindow) {
    const struct {
        int cols, channels, shown;
    } fits[] = {{40, 8, 2}, {80, 8, 5}, {80, 4, 4}, {132, 64, 8}, {300, 64, 19},
                {20, 3, 1}, {10, 3, 1}, {80, 0, 0}, {80, 1, 1}};
    for (const auto &f : fits) EXPECT_EQ(visible_channels(f.cols, f.channels), f.shown) << f.cols << " " << f.channels;
    for (int slot = 0; slot < 19; ++slot) EXPECT_LE(channel_column(slot) + kCellTextWidth, 5 + 15 * (slot + 1));
    EXPECT_LE(channel_column(visible_channels(80, 64) - 1) + kCellTextWidth, 79);
    const struct {
        int rows, lines, middle;
    } heights[] = {{7, 4, 1}, {19, 16, 7}, {45, 42, 20}, {4, 1, 0}, {2, 0, 0}};
    for (const auto &h : heights) {
        EXPECT_EQ(body_lines(h.rows), h.lines) << h.rows;
        EXPECT_EQ(middle_line(body_lines(h.rows)), h.middle) << h.rows;
    }
    EXPECT_EQ(clamp_first_channel(5, 8, 5), 3);
    EXPECT_EQ(clamp_first_channel(-1, 8, 5), 0);
    EXPECT_EQ(clamp_first_channel(2, 4, 5), 0);
}

// The description of the fixture `name`, numbered as the `number`th load.
ModuleInfoPtr described(const char *name, std::uint64_t number) {
    char message[256];
    const ModuleInfoPtr read = read_module_info((std::string(XQ_FIXTURE_DIR) + "/" + name).c_str(), message, sizeof message);
    if (!read) return nullptr;
    auto info = std::make_shared<ModuleInfo>(*read);
    info->load_number = number;
    return info;
}

class PatternViewOnModule : public ::testing::Test {
protected:
    static void SetUpTestSuite() { start_silent_player(); }
    static void TearDownTestSuite() { stop_silent_player(); }

    HeadlessScreen screen{24, 80};
    ModuleInfoPtr song;  // notation.it: patterns of 64 and 40 rows, four channels

    void SetUp() override {
        song = described("notation.it", 1);
        ASSERT_NE(song, nullptr);
    }

    PatternViewPlayhead at(int position, int row, std::uint64_t muted = 0) const {
        PatternViewPlayhead head;
        head.module = song;
        head.in_song = true;
        head.position = position;
        head.pattern = song->order[static_cast<std::size_t>(position)];
        head.row = row;
        head.muted = muted;
        return head;
    }
};

std::vector<chtype> cells_of(WINDOW *win) {
    std::vector<chtype> cells;
    for (int y = 0; y < getmaxy(win); ++y)
        for (int x = 0; x < getmaxx(win); ++x) cells.push_back(mvwinch(win, y, x));
    return cells;
}

TEST_F(PatternViewOnModule, BrowsingStaysInsideRowsAndPositions) {
    const struct {
        BrowsePoint from;
        int key;
        BrowsePoint to;
    } steps[] = {
        {{0, 10}, KEY_UP, {0, 9}},     {{0, 0}, KEY_UP, {0, 0}},       {{0, 10}, KEY_DOWN, {0, 11}},
        {{0, 63}, KEY_DOWN, {0, 63}},  {{0, 10}, KEY_PPAGE, {0, 0}},   {{0, 10}, KEY_NPAGE, {0, 26}},
        {{0, 60}, KEY_NPAGE, {0, 63}}, {{0, 10}, KEY_HOME, {0, 0}},    {{0, 10}, KEY_END, {0, 63}},
        {{1, 5}, KEY_END, {1, 39}},    {{0, 50}, ']', {1, 39}},        {{1, 5}, ']', {1, 5}},
        {{1, 5}, '[', {0, 5}},         {{0, 5}, '[', {0, 5}},          {{7, 99}, 'x', {1, 39}},
    };
    for (const auto &s : steps) {
        const BrowsePoint to = browse_step(*song, s.from, s.key, 16);
        EXPECT_EQ(to.position, s.to.position) << s.from.position << "/" << s.from.row << " key " << s.key;
        EXPECT_EQ(to.row, s.to.row) << s.from.position << "/" << s.from.row << " key " << s.key;
    }
    EXPECT_TRUE(is_browse_key(KEY_HOME));
    EXPECT_FALSE(is_browse_key(' '));
    PatternView view;
    EXPECT_FALSE(pattern_view_key(view, 'q'));
    EXPECT_FALSE(pattern_view_key(view, 27));
    EXPECT_TRUE(pattern_view_key(view, ERR));
}

TEST_F(PatternViewOnModule, ShowsTheRowsAroundTheCurrentOneOnTheMiddleLine) {
    PatternView view;
    open_pattern_view(view);
    WINDOW *win = view.pw.win;
    ASSERT_NE(win, nullptr);
    EXPECT_EQ(getbegy(win), kPatternViewTop);
    EXPECT_EQ(getmaxy(win), 19);
    EXPECT_EQ(getmaxx(win), 80);
    EXPECT_TRUE(update_pattern_view(view, at(0, 5)));
    EXPECT_EQ(cells_text(win, 0, 0, 26), "+-[ Pattern 1  Pos 1/2 ]--");
    EXPECT_EQ(cells_text(win, 1, 5, 14), "  Channel 1   ");
    // Rows 0 to 14 on the 16 lines, row 5 on the eighth; nothing above row 0.
    EXPECT_EQ(cells_text(win, 2, 1, 78), std::string(78, ' '));
    EXPECT_EQ(cells_text(win, 4, 0, 65), "|  0|C-5 01 v64 ...|=== .. ... ...|^^^ .. ... ...|A#4 02 v00 D0F ");
    EXPECT_EQ(cells_text(win, 9, 0, 65), "|  5|--- .. ... G10|--- .. ... H46|--- .. ... I23|--- .. ... J37 ");
    EXPECT_EQ(cells_text(win, 9, 64, 16), std::string(15, ' ') + "|");
    EXPECT_EQ(cell_attr(win, 9, 2), bold_pair(kCyanOnBlue));
    EXPECT_EQ(cell_attr(win, 9, 16), bold_pair(kMagentaOnBlue));  // G10: pitch
    EXPECT_EQ(cell_attr(win, 8, 16), pair(kRedOnBlack));           // B01: timing
    EXPECT_EQ(cell_attr(win, 4, 5), pair(kWhiteOnBlack));          // a note
    EXPECT_EQ(cell_attr(win, 4, 9), pair(kYellowOnBlack));         // its instrument
    EXPECT_EQ(cell_attr(win, 4, 12), pair(kGreenOnBlack));         // its volume
    EXPECT_EQ(cell_attr(win, 4, 16), pair(kBlueOnBlack));          // no effect
    EXPECT_FALSE(update_pattern_view(view, at(0, 5)));  // nothing changed
    close_pattern_view(view);
}

// The incremental drawing against the whole: after every move, the window
// holds what a view opened at that row shows.
TEST_F(PatternViewOnModule, ScrollingRowByRowDrawsWhatAWholeDrawingDraws) {
    PatternView moving;
    open_pattern_view(moving);
    update_pattern_view(moving, at(0, 10));
    const struct {
        int position, row;
        std::uint64_t muted;
    } moves[] = {{0, 11, 0}, {0, 12, 0}, {0, 15, 0}, {0, 9, 0}, {0, 63, 0}, {1, 0, 0}, {1, 1, 0},
                 {1, 39, 0}, {1, 38, 2}, {1, 37, 2}, {1, 24, 2}, {1, 25, 0}};
    for (const auto &m : moves) {
        update_pattern_view(moving, at(m.position, m.row, m.muted));
        const std::vector<chtype> moved = cells_of(moving.pw.win);
        PatternView whole;
        open_pattern_view(whole);
        update_pattern_view(whole, at(m.position, m.row, m.muted));
        EXPECT_EQ(moved, cells_of(whole.pw.win)) << m.position << "/" << m.row;
        close_pattern_view(whole);
    }
    close_pattern_view(moving);
}

TEST_F(PatternViewOnModule, DimsMutedChannelsAndScrollsThroughChannels) {
    HeadlessScreen narrow{12, 40};
    PatternView view;
    open_pattern_view(view);
    WINDOW *win = view.pw.win;
    ASSERT_EQ(getmaxx(win), 40);
    update_pattern_view(view, at(0, 0, 0b0010));
    EXPECT_EQ(body_lines(getmaxy(win)), 4);
    EXPECT_EQ(cells_text(win, 3, 0, 40), "|  0|C-5 01 v64 ...|=== .. ... ...     |");
    for (int x = channel_column(0); x < channel_column(0) + kCellTextWidth; ++x)
        EXPECT_EQ(mvwinch(win, 3, x) & A_DIM, 0u) << x;
    for (int x = channel_column(1); x < channel_column(1) + kCellTextWidth; ++x)
        EXPECT_NE(mvwinch(win, 3, x) & A_DIM, 0u) << x;
    EXPECT_EQ(cells_text(win, 1, 38, 1), ">");
    for (int key : {KEY_RIGHT, KEY_RIGHT, KEY_RIGHT}) pattern_view_key(view, key);
    update_pattern_view(view, at(0, 0, 0b0010));
    EXPECT_EQ(view.drawn_first, 2);  // the last two channels
    EXPECT_EQ(cells_text(win, 3, 0, 40), "|  0|^^^ .. ... ...|A#4 02 v00 D0F     |");
    EXPECT_EQ(cells_text(win, 1, 1, 1), "<");
    close_pattern_view(view);
}

TEST_F(PatternViewOnModule, AFrozenViewStaysUntilSpaceAndAnotherModuleThawsIt) {
    PatternView view;
    open_pattern_view(view);
    update_pattern_view(view, at(0, 20));
    pattern_view_key(view, ' ');
    EXPECT_TRUE(view.frozen);
    EXPECT_EQ(cells_text(view.pw.win, 0, 4, 30), "Pattern 1  Pos 1/2  Frozen ]--");
    EXPECT_FALSE(update_pattern_view(view, at(1, 3)));
    EXPECT_EQ(view.row, 20);
    view.browse = {1, 7};
    EXPECT_TRUE(update_pattern_view(view, at(0, 30)));
    EXPECT_EQ(view.position, 1);
    EXPECT_EQ(view.row, 7);
    pattern_view_key(view, ' ');
    EXPECT_FALSE(view.frozen);
    update_pattern_view(view, at(0, 30));
    EXPECT_EQ(view.row, 30);

    pattern_view_key(view, ' ');
    const ModuleInfoPtr other = described("notation.xm", 2);
    ASSERT_NE(other, nullptr);
    PatternViewPlayhead head = at(0, 4);
    head.module = other;
    update_pattern_view(view, head);
    EXPECT_FALSE(view.frozen);
    EXPECT_EQ(view.notation, Notation::fasttracker);
    EXPECT_EQ(cells_text(view.pw.win, 2 + 7, 34, 16), "|--- .. u03 H05|");
    close_pattern_view(view);
}

// A view open while the player replaces the module (the playlist moving
// on, a remote `next`) reads nothing the player has freed: the keys that
// freeze it, browse it and draw its title before the view follows read the
// description it holds, and the next step shows the new module.
TEST_F(PatternViewOnModule, KeysAfterAnotherModuleLoadedReadNothingFreed) {
    ASSERT_TRUE(player_load((std::string(XQ_FIXTURE_DIR) + "/notation.it").c_str(), false, false).loaded);
    PatternView view;
    open_pattern_view(view);
    update_pattern_view(view, read_playhead());
    ASSERT_TRUE(player_load((std::string(XQ_FIXTURE_DIR) + "/channels1.xm").c_str(), false, false).loaded);
    for (int key : {static_cast<int>(' '), KEY_DOWN, static_cast<int>('[')}) pattern_view_key(view, key);
    EXPECT_EQ(cells_text(view.pw.win, 0, 4, 26), "Pattern 1  Pos 1/2  Frozen");
    // Another module thaws the view and shows its first row.
    update_pattern_view(view, read_playhead());
    EXPECT_EQ(cells_text(view.pw.win, 0, 4, 21), "Pattern 1  Pos 1/1 ]-");
    EXPECT_EQ(cells_text(view.pw.win, 1, 5, 14), "  Channel 1   ");
    for (int key : {static_cast<int>(' '), KEY_DOWN, static_cast<int>('[')}) pattern_view_key(view, key);
    update_pattern_view(view, read_playhead());
    EXPECT_EQ(cells_text(view.pw.win, 0, 4, 26), "Pattern 1  Pos 1/1  Frozen");
    EXPECT_EQ(view.row, 1);
    close_pattern_view(view);
    player_unload();
}

TEST(PatternViewChannels, OneToSixtyFourChannelsFromTheNarrowestToTheWidestScreen) {
    start_silent_player();
    const struct {
        const char *file;
        int lines, cols;
        int shown;       // channels that fit
        int last_first;  // the first channel shown once scrolled to the end
    } cases[] = {
        {"channels1.xm", 12, 40, 1, 0},    {"channels1.xm", 100, 300, 1, 0},
        {"channels64.it", 12, 40, 2, 62},  {"channels64.it", 24, 80, 5, 59},
        {"channels64.it", 100, 300, 19, 45},
    };
    for (const auto &c : cases) {
        HeadlessScreen screen{c.lines, c.cols};
        const ModuleInfoPtr song = described(c.file, 1);
        ASSERT_NE(song, nullptr) << c.file;
        PatternViewPlayhead head;
        head.module = song;
        head.in_song = true;
        head.pattern = song->order[0];
        head.row = 3;
        PatternView view;
        open_pattern_view(view);
        ASSERT_EQ(getmaxx(view.pw.win), c.cols);
        ASSERT_EQ(getmaxy(view.pw.win), c.lines - kPatternViewTop);
        update_pattern_view(view, head);
        EXPECT_EQ(view.shown_channels, c.shown) << c.file << " " << c.cols;
        const int middle = kFirstBodyRow + middle_line(body_lines(c.lines - kPatternViewTop));
        EXPECT_EQ(cells_text(view.pw.win, middle, 1, 3), "  3") << c.file << " " << c.cols;
        for (int n = 0; n < 70; ++n) pattern_view_key(view, KEY_RIGHT);
        update_pattern_view(view, head);
        EXPECT_EQ(view.drawn_first, c.last_first) << c.file << " " << c.cols;
        char last[16];
        std::snprintf(last, sizeof last, "Channel %d", song->channels);
        EXPECT_NE(cells_text(view.pw.win, kChannelHeaderRow, 0, c.cols).find(last), std::string::npos);
        EXPECT_EQ(cells_text(view.pw.win, kChannelHeaderRow, c.cols - 2, 1), " ");  // nothing more to the right
        close_pattern_view(view);
    }
    stop_silent_player();
}

}  // namespace
