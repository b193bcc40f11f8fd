#include "panels/comment_panel.h"

#include <gtest/gtest.h>
#include <panel.h>
#include <string>

#include "app/module_loader.h"
#include "app/startup.h"
#include "display/screen_text.h"
#include "headless_screen.h"
#include "panels/colors.h"
#include "panels/panel_positions.h"

namespace {

// The cell where byte `index` of a comment belongs: 33 bytes a row, 19
// rows down the left column from column 0, then the right from column 36.
struct Cell {
    int row, col;
};
Cell cell_of_byte(int index) {
    const int piece = index / 33;
    return {piece % 19, (piece < 19 ? 0 : 36) + index % 33};
}

// Every cell of the 19 x 71 text area against the comment: its bytes (as
// their visible stand-ins) where they belong, the separator at column 34,
// blanks everywhere else.
void expect_layout(WINDOW *text, const std::string &comment, const char *what) {
    std::string expected[19];
    for (auto &row : expected) row = std::string(71, ' ');
    for (int row = 0; row < 19; ++row) expected[row][34] = '|';
    const int shown = std::min<int>(static_cast<int>(comment.size()), 1254);
    for (int i = 0; i < shown; ++i) {
        const Cell c = cell_of_byte(i);
        expected[c.row][c.col] = visible_byte(static_cast<unsigned char>(comment[i]));
    }
    for (int row = 0; row < 19; ++row) {
        EXPECT_EQ(row_text(text, row), expected[row]) << what << ", row " << row;
        EXPECT_EQ(cell_attr(text, row, 34), kNormal) << what;
    }
}

std::string pattern_text(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += static_cast<char>('A' + (i * 7) % 26);
    return text;
}

}  // namespace

TEST(CommentLayout, PiecesOfThirtyThreeBytesInTwoColumns) {
    HeadlessScreen screen;
    std::string past_the_end = pattern_text(1254) + std::string(100, '#');
    const struct {
        const char *what;
        std::string comment;
    } cases[] = {
        {"10 bytes", "0123456789"},
        {"628 bytes", pattern_text(628)},
        {"longer than 1254 bytes", past_the_end},
        {"line breaks, tabs and escapes", "Line one\nLine two\r\n\tindented\x1b[2J\x1b[31mred\x7f\xe9t\xc3\xa9\n" +
                                              pattern_text(40) + "\n\n\n" + pattern_text(700)},
        {"empty", ""},
    };
    for (const auto &c : cases) {
        WINDOW *text = newwin(19, 71, 3, 5);
        draw_comment_text(text, c.comment.c_str());
        expect_layout(text, c.comment, c.what);
        EXPECT_EQ(cell_attr(text, 0, 0), c.comment.empty() ? kNormal : pair(kCyanOnBlack)) << c.what;
        delwin(text);
    }

    WINDOW *text = newwin(19, 71, 3, 5);
    draw_comment_text(text, "0123456789");
    EXPECT_EQ(cells_text(text, 0, 0, 11), "0123456789 ");

    std::string comment = pattern_text(628);
    draw_comment_text(text, comment.c_str());
    EXPECT_EQ(cells_text(text, 18, 0, 33), comment.substr(594, 33));
    EXPECT_EQ(cells_text(text, 0, 36, 2), comment.substr(627, 1) + " ");
    EXPECT_EQ(cell_attr(text, 0, 36), pair(kCyanOnBlack));

    draw_comment_text(text, past_the_end.c_str());
    EXPECT_EQ(cells_text(text, 18, 36, 33), past_the_end.substr(1221, 33));
    for (int row = 0; row < 19; ++row) EXPECT_EQ(row_text(text, row).find('#'), std::string::npos) << row;
    delwin(text);
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
        song.comment = comment.data();
        song.volume = 100;
        module = &song;
        playing = false;
    }
    void TearDown() override {
        module = nullptr;
        destroy_test_main_window();
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
    EXPECT_EQ(cells_text(shown(), 21, 39, 1), "|");
    press_keys({'q'});
    run_comment_panel(panel);
    EXPECT_EQ(panel_below(nullptr), main_panel);
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
    song.comment = nullptr;
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
    module = &song;
    CommentPanel panel = open_comment_panel(comment.c_str());
    ASSERT_NE(panel.frame.win, nullptr);
    ASSERT_NE(panel.text, nullptr);
    EXPECT_EQ(getmaxy(panel.frame.win), 12);
    EXPECT_EQ(getmaxx(panel.frame.win), 40);
    EXPECT_EQ(cells_text(shown(), 1, 1, 33), comment.substr(0, 33));
    press_keys({'q'});
    run_comment_panel(panel);
    EXPECT_EQ(panel_below(nullptr), main_panel);
    module = nullptr;
    destroy_test_main_window();
}
