#include "3_panels/comment_panel.h"

#include <gtest/gtest.h>
#include <panel.h>
#include <string>
#include <vector>

#include "1_player/player_core.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "3_panels/panel_positions.h"
#include "headless_screen.h"
#include "silent_player.h"

namespace {

std::vector<std::string> laid_out(const std::string &comment, int width) {
    std::vector<std::string> texts;
    for (const CommentLine &line : layout_comment(comment, width)) texts.push_back(comment.substr(line.start, line.length));
    return texts;
}

using Lines = std::vector<std::string>;

// A message several screens long: 60 numbered lines ended in turn by LF,
// CR and CR LF, every fifth one long enough to wrap at 71 columns.
std::string long_comment() {
    std::string text;
    const char *breaks[] = {"\n", "\r", "\r\n"};
    for (int i = 1; i <= 60; ++i) {
        char head[16];
        std::snprintf(head, sizeof head, "Line %02d", i);
        text += head;
        if (i % 5 == 0)
            for (int word = 0; word < 12; ++word) text += " wrapping";
        text += breaks[i % 3];
    }
    return text;
}

}  // namespace

TEST(CommentLayout, LineBreaksStartLinesAndLongLinesWrap) {
    const std::string width_10_word = "abcdefghijklmno";
    const struct {
        const char *what;
        std::string comment;
        int width;
        Lines lines;
    } cases[] = {
        {"LF, CR and CR LF each end one line", "one\ntwo\rthree\r\nfour", 71, {"one", "two", "three", "four"}},
        {"LF CR is two breaks, an empty line between", "one\n\rtwo", 71, {"one", "", "two"}},
        {"empty lines are kept", "one\n\n\r\r\n\r\ntwo", 71, {"one", "", "", "", "", "two"}},
        {"a break at the end adds no line", "one\r\n", 71, {"one"}},
        {"a blank line before the end stays", "one\n\n", 71, {"one", ""}},
        {"empty comment", "", 71, {}},
        {"only a break", "\n", 71, {""}},
        {"wraps after the last blank that fits", "the quick brown fox", 10, {"the quick", "brown fox"}},
        {"a line of exactly the width", "0123456789", 10, {"0123456789"}},
        {"a blank right after the width", "0123456789 next", 10, {"0123456789", "next"}},
        {"a word longer than the width is cut", width_10_word + " end", 10, {"abcdefghij", "klmno end"}},
        {"a cut never splits a UTF-8 sequence", "abcdefghi\xc3\xa9xyz", 10, {"abcdefghi", "\xc3\xa9xyz"}},
        {"control bytes stay in their line", "a\tb\x1b[31mc", 71, {"a\tb\x1b[31mc"}},
        {"wrapping and breaks together", "aaa bbb ccc\r\nddd", 7, {"aaa bbb", "ccc", "ddd"}},
    };
    for (const auto &c : cases) EXPECT_EQ(laid_out(c.comment, c.width), c.lines) << c.what;

    const Lines lines = laid_out(long_comment(), 71);
    ASSERT_EQ(lines.size(), 72u);  // 60 lines, 12 of them wrapped once
    EXPECT_EQ(lines[0], "Line 01");
    EXPECT_EQ(lines[4], "Line 05 wrapping wrapping wrapping wrapping wrapping wrapping wrapping");
    EXPECT_EQ(lines[5], "wrapping wrapping wrapping wrapping wrapping");
    EXPECT_EQ(lines[71], "wrapping wrapping wrapping wrapping wrapping");
    for (const std::string &line : lines) EXPECT_LE(line.size(), 71u) << line;
}

TEST(CommentLayout, ScrollKeysStayWithinTheText) {
    const struct {
        int top, key, count, rows, expected;
    } cases[] = {
        {0, KEY_DOWN, 72, 19, 1},    {0, KEY_UP, 72, 19, 0},        {5, KEY_UP, 72, 19, 4},
        {0, KEY_NPAGE, 72, 19, 19},  {40, KEY_NPAGE, 72, 19, 53},   {53, KEY_DOWN, 72, 19, 53},
        {30, KEY_PPAGE, 72, 19, 11}, {10, KEY_PPAGE, 72, 19, 0},    {30, KEY_HOME, 72, 19, 0},
        {0, KEY_END, 72, 19, 53},    {0, KEY_FIND, 72, 19, 0},      {0, KEY_SELECT, 72, 19, 53},
        {0, KEY_DOWN, 10, 19, 0},    {0, KEY_END, 10, 19, 0},       {0, KEY_NPAGE, 0, 19, 0},
        {0, KEY_NPAGE, 30, 10, 10},  {0, 'q', 72, 19, -1},          {0, '+', 72, 19, -1},
        {0, ERR, 72, 19, -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(scroll_comment(c.top, c.key, c.count, c.rows), c.expected)
            << "top " << c.top << " key " << c.key << " of " << c.count << " lines, " << c.rows << " rows";
}

namespace {

// The Comment panel over a headless 80x24 main screen, with a stand-in for
// the module: nothing plays, so only the panel's own drawing shows.
class CommentPanelTest : public ::testing::Test {
protected:
    HeadlessScreen screen{24, 80};
    MODULE song{};
    std::string comment = "A comment of our own.";

    void SetUp() override {
        create_test_main_window();
        song.volume = 100;
        use_comment(comment.data());
    }
    void TearDown() override {
        forget_module();
        destroy_test_main_window();
    }

    // The player holds `song` with `text` as its comment (none when null),
    // stopped, as a module the player has described at its load.
    void use_comment(char *text) {
        song.comment = text;
        adopt_module(&song, false);
        player_core().stopped = true;
    }
};

}  // namespace

TEST_F(CommentPanelTest, OpensAtColumnFourRowTwoWithItsTitle) {
    CommentPanel panel = open_comment_panel(comment.c_str());
    ASSERT_NE(panel.frame.win, nullptr);
    EXPECT_EQ(getbegx(panel.frame.win), 4);
    EXPECT_EQ(getbegy(panel.frame.win), 2);
    EXPECT_EQ(getmaxy(panel.frame.win), 21);
    EXPECT_EQ(getmaxx(panel.frame.win), 73);
    EXPECT_EQ(getbegx(panel.text), 5);
    EXPECT_EQ(getbegy(panel.text), 3);
    EXPECT_EQ(cells_text(shown(), 2, 4, 15), "+-[ Comment ]--");
    EXPECT_EQ(cell_attr(shown(), 2, 8), bold_pair(kYellowOnBlack));
    EXPECT_EQ(cells_text(shown(), 3, 5, static_cast<int>(comment.size())), comment);
    EXPECT_EQ(cells_text(shown(), 3, 5 + static_cast<int>(comment.size()), 50), std::string(50, ' '));
    EXPECT_EQ(cells_text(shown(), 22, 4, 73), "+" + std::string(71, '-') + "+");  // no range: it all fits
    press_keys({'q'});
    run_comment_panel(panel);
    EXPECT_EQ(panel_below(nullptr), main_panel);
}

// The text area's rows against lines `first` onwards of the laid-out comment.
void expect_lines_from(WINDOW *screen, const Lines &lines, int first) {
    for (int row = 0; row < 19; ++row) {
        const std::size_t index = static_cast<std::size_t>(first + row);
        std::string expected = index < lines.size() ? lines[index] : "";
        expected.resize(71, ' ');
        EXPECT_EQ(cells_text(screen, 3 + row, 5, 71), expected) << "line " << first + row;
        EXPECT_EQ(cell_attr(screen, 3 + row, 5), pair(kCyanOnBlack)) << "line " << first + row;
    }
}

TEST_F(CommentPanelTest, ScrollsALongCommentLineByLineAndPageByPage) {
    comment = long_comment();
    const Lines lines = laid_out(comment, 71);
    use_comment(comment.data());

    const struct {
        std::vector<int> keys;
        int top;
        const char *range;
    } steps[] = {
        {{}, 0, "[ lines 1-19 of 72 ]"},
        {{KEY_DOWN}, 1, "[ lines 2-20 of 72 ]"},
        {{KEY_NPAGE, KEY_NPAGE}, 39, "[ lines 40-58 of 72 ]"},
        {{KEY_NPAGE}, 53, "[ lines 54-72 of 72 ]"},
        {{KEY_DOWN, KEY_NPAGE}, 53, "[ lines 54-72 of 72 ]"},  // nothing below the end
        {{KEY_UP, KEY_PPAGE}, 33, "[ lines 34-52 of 72 ]"},
        {{KEY_HOME}, 0, "[ lines 1-19 of 72 ]"},
        {{KEY_UP}, 0, "[ lines 1-19 of 72 ]"},
        {{KEY_END}, 53, "[ lines 54-72 of 72 ]"},
    };
    int top = 0;
    for (const auto &step : steps) {
        // The keys, then q, in a panel that starts where the last step ended.
        CommentPanel panel = open_comment_panel(comment.c_str());
        panel.top = top;
        // Queued last key first: each ungetch goes in front of the others.
        ungetch('q');
        for (auto key = step.keys.rbegin(); key != step.keys.rend(); ++key) ungetch(*key);
        run_comment_panel(panel);
        top = panel.top;
        EXPECT_EQ(top, step.top) << step.range;

        // What the panel shows there.
        CommentPanel shown_panel = open_comment_panel(comment.c_str());
        shown_panel.top = top;
        draw_comment_panel_text(shown_panel);
        update_panels();
        doupdate();
        expect_lines_from(shown(), lines, step.top);
        const std::string range = std::string(step.range) + "-+";
        EXPECT_EQ(cells_text(shown(), 22, 77 - static_cast<int>(range.size()), static_cast<int>(range.size())), range);
        press_keys({'q'});
        run_comment_panel(shown_panel);
    }
    EXPECT_EQ(panel_below(nullptr), main_panel);
}

// The panel keeps its own copy: the playlist keys may replace the module,
// and with it the comment, while the panel shows it.
TEST_F(CommentPanelTest, ShowsItsOwnCopyOfTheComment) {
    std::string text = "Kept\r\nafter the module is gone";
    CommentPanel panel = open_comment_panel(text.c_str());
    text.assign(text.size(), 'X');
    draw_comment_panel_text(panel);
    update_panels();
    doupdate();
    EXPECT_EQ(cells_text(shown(), 3, 5, 5), "Kept ");
    EXPECT_EQ(cells_text(shown(), 4, 5, 24), "after the module is gone");
    press_keys({'q'});
    run_comment_panel(panel);
}

TEST_F(CommentPanelTest, KeysGoToTheCommandsAndOnlyQCloses) {
    press_keys({27, '+', '+', KEY_DOWN, 'q', 'z'});
    comment_panel();
    EXPECT_EQ(song.volume, 102);
    EXPECT_EQ(wgetch(main_win), 'z');
    EXPECT_EQ(panel_below(nullptr), main_panel);
}

TEST_F(CommentPanelTest, CommentPanelsNestAndCloseOneAtATime) {
    press_keys({'i', 'i', 'q', 'q', 'q', 'z'});
    comment_panel();
    EXPECT_EQ(wgetch(main_win), 'z');
    EXPECT_EQ(panel_below(nullptr), main_panel);
}

TEST_F(CommentPanelTest, HelpOpensOverIt) {
    PanelPositions = default_panel_positions(80, 24);
    press_keys({'h', 'm', KEY_RIGHT, '\n', 'Q', 'q', 'z'});  // m and Enter are Help's
    comment_panel();
    EXPECT_EQ(PanelPositions.help.x, 6);
    EXPECT_EQ(wgetch(main_win), 'z');
}

TEST_F(CommentPanelTest, NoCommentGivesANotice) {
    use_comment(nullptr);
    press_keys({'q', '\n', 'z'});  // only Enter closes the notice
    comment_panel();
    EXPECT_EQ(wgetch(main_win), 'z');
    EXPECT_EQ(panel_below(nullptr), main_panel);
}

// On a screen smaller than the panel the frame is cut to fit and the
// comment still shows, as much as there is room for.
TEST(CommentPanelSmallScreen, FitsTheScreenAndStillCloses) {
    HeadlessScreen screen(12, 40);
    create_test_main_window();
    MODULE song{};
    const std::string comment = "Text that keeps going past the forty columns of this small screen.";
    song.comment = const_cast<char *>(comment.c_str());
    adopt_module(&song, false);
    CommentPanel panel = open_comment_panel(comment.c_str());
    ASSERT_NE(panel.frame.win, nullptr);
    ASSERT_NE(panel.text, nullptr);
    EXPECT_EQ(getmaxy(panel.frame.win), 12);
    EXPECT_EQ(getmaxx(panel.frame.win), 40);
    // Wrapped at the cut panel's width of 38 columns, after a blank.
    EXPECT_EQ(cells_text(shown(), 1, 1, 38), "Text that keeps going past the forty  ");
    EXPECT_EQ(cells_text(shown(), 2, 1, 38), "columns of this small screen.         ");
    press_keys({'q'});
    run_comment_panel(panel);
    EXPECT_EQ(panel_below(nullptr), main_panel);
    forget_module();
    destroy_test_main_window();
}
