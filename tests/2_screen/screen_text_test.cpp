#include "2_screen/screen_text.h"

#include <clocale>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <wchar.h>

#include "2_screen/colors.h"
#include "headless_screen.h"

namespace {

class Utf8Screen : public ::testing::Test {
protected:
    Utf8Screen() { std::setlocale(LC_ALL, "C.UTF-8"); }
    ~Utf8Screen() override { std::setlocale(LC_ALL, "C"); }
    HeadlessScreen screen{12, 40};
};

TEST(DecodeUtf8, ValidSequencesAndEveryKindOfInvalidOne) {
    struct Case {
        const char *bytes;
        char32_t code;
        int length;
        bool valid;
    } cases[] = {
        {"A", U'A', 1, true},
        {"\xc3\xa9", U'\u00e9', 2, true},
        {"\xe2\x99\xaa", U'\u266a', 3, true},
        {"\xf0\x9f\x8e\xb5", U'\U0001F3B5', 4, true},
        {"\x80", 0, 1, false},              // a stray continuation byte
        {"\xc0\xaf", 0, 1, false},          // overlong "/"
        {"\xe0\x80\xaf", 0, 1, false},      // overlong "/"
        {"\xed\xa0\x80", 0, 1, false},      // a surrogate
        {"\xf4\x90\x80\x80", 0, 1, false},  // past U+10FFFF
        {"\xe2\x99", 0, 1, false},          // cut short
        {"\xe2(\xaa", 0, 1, false},         // not a continuation
        {"\xff", 0, 1, false},
    };
    for (const Case &c : cases) {
        const Utf8Char got = decode_utf8(c.bytes, std::strlen(c.bytes));
        EXPECT_EQ(got.valid, c.valid) << c.bytes;
        EXPECT_EQ(got.length, c.length) << c.bytes;
        if (c.valid) {
            EXPECT_EQ(got.code, c.code) << c.bytes;
        }
    }
}

TEST_F(Utf8Screen, TextIsShownWithItsDisplayWidthAndNothingReachesTheTerminalAsControl) {
    struct Case {
        const char *text;
        const char *shown;
        int cells;
    } cases[] = {
        {"utf8-\xc3\xa9\xe2\x99\xaa.xm", "utf8-\xc3\xa9\xe2\x99\xaa.xm", 10},
        {"\xe6\x97\xa5\xe6\x9c\xac.it", "\xe6\x97\xa5\xe6\x9c\xac.it", 7},  // two double-width characters
        {"e\xcc\x81t\xc3\xa9", "e\xcc\x81t\xc3\xa9", 3},                  // a combining accent joins its letter
        {"a\xff\xfe" "b", "a??b", 4},                                       // invalid bytes: one '?' each
        {"a\xe2\x99z", "a??z", 4},                                          // a sequence cut short
        {"x\x1b[31my\x07", "x.[31my.", 8},                                  // escape and bell
        {"\xc2\x9b" "2J", ".2J", 3},                                        // the one-byte CSI of C1
        {"ab\xe2\x80\xae" "cd", "ab.cd", 5},                                // right-to-left override
        {"\xcc\x81" "a", "?a", 2},                                          // a mark with nothing to join
    };
    for (const Case &c : cases) {
        werase(stdscr);
        EXPECT_EQ(text_cells(c.text), c.cells) << c.text;
        EXPECT_EQ(put_text(stdscr, 1, 2, c.text), c.cells) << c.text;
        int cells = 0;
        EXPECT_EQ(shown_text(stdscr, 1, 2, c.cells, &cells), c.shown) << c.text;
        EXPECT_EQ(cells, c.cells) << c.text;
        EXPECT_EQ(shown_text(stdscr, 1, 2 + c.cells, 1), " ") << c.text;  // nothing past the text
    }
}

TEST_F(Utf8Screen, OutsideAUtf8LocaleEveryHighByteIsAQuestionMark) {
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(put_text(stdscr, 0, 0, "\xc3\xa9t\xc3\xa9"), 5);
    EXPECT_EQ(shown_text(stdscr, 0, 0, 5), "??t??");
}

TEST_F(Utf8Screen, WideTextKeepsTheWindowsAttribute) {
    set_attr(stdscr, bold_pair(kYellowOnBlack));
    put_text(stdscr, 2, 0, "\xc3\xa9\xe6\x97\xa5");
    set_attr(stdscr, kNormal);
    for (int col : {0, 1}) {
        cchar_t cell;
        wchar_t chars[CCHARW_MAX + 1];
        attr_t attrs;
        short pair_number;
        mvwin_wch(stdscr, 2, col, &cell);
        getcchar(&cell, chars, &attrs, &pair_number, nullptr);
        EXPECT_EQ(attrs & A_BOLD, A_BOLD) << col;
        EXPECT_EQ(pair_number, kYellowOnBlack) << col;
    }
}

TEST_F(Utf8Screen, AFieldIsCutToItsWidthPaddedAndMarkedWhenShortened) {
    struct Case {
        const char *text;
        int width;
        bool mark;
        const char *shown;  // the whole field
        int written;
    } cases[] = {
        {"abc", 6, false, "abc   ", 3},
        {"abcdefgh", 5, false, "abcde", 5},
        {"abcdefgh", 5, true, "abcd~", 5},
        {"abcde", 5, true, "abcde", 5},
        {"\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e", 5, false, "\xe6\x97\xa5\xe6\x9c\xac ", 4},  // the third would straddle the end
        {"\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e", 4, true, "\xe6\x97\xa5 ~", 4},
        {"", 3, true, "   ", 0},
    };
    for (const Case &c : cases) {
        put_text(stdscr, 3, 0, "############");
        EXPECT_EQ(put_text_field(stdscr, 3, 1, c.text, c.width, c.mark), c.written) << c.text;
        EXPECT_EQ(shown_text(stdscr, 3, 1, c.width), c.shown) << c.text;
        EXPECT_EQ(shown_text(stdscr, 3, 1 + c.width, 1), "#") << c.text;
    }
}

TEST_F(Utf8Screen, ATailStartsOnACharacterBoundary) {
    const char *path = "/a/\xe6\x97\xa5\xe6\x9c\xac/b";
    EXPECT_STREQ(text_tail(path, 4), "\xe6\x9c\xac/b");
    EXPECT_STREQ(text_tail(path, 3), "/b");  // half a character is not shown
    EXPECT_STREQ(text_tail(path, 40), path);
    EXPECT_STREQ(text_tail("e\xcc\x81t\xc3\xa9", 2), "t\xc3\xa9");
}

TEST_F(Utf8Screen, AFrameClipKeepsEveryWriterInsideTheBorder) {
    WINDOW *win = newwin(5, 10, 2, 2);
    wborder(win, 0, 0, 0, 0, 0, 0, 0, 0);
    {
        FrameClip clip(win);
        EXPECT_EQ(put_text(win, 2, 5, "abcdefgh"), 4);
        EXPECT_EQ(put_text(win, 3, 7, "\xe6\x97\xa5\xe6\x9c\xac"), 2);
        put_blanks(win, 1, 0, 40);
        put_format(win, 4, 1, "%s", "bottom");
        put_text(win, 0, 1, "[top]");  // titles sit on the top border
        EXPECT_FALSE(writable_cell(win, 2, 9));
        EXPECT_TRUE(writable_cell(win, 2, 8));
    }
    EXPECT_EQ(row_text(win, 0), "+[top]---+");
    EXPECT_EQ(row_text(win, 1), "         |");
    EXPECT_EQ(row_text(win, 2), "|    abcd|");
    EXPECT_EQ(row_text(win, 4), "+--------+");
    EXPECT_TRUE(writable_cell(win, 2, 9));  // the clip ended with its scope
    delwin(win);
}

}  // namespace

// A terminal dragged down to one column leaves windows one column wide;
// curses' border there writes past the rows' ends, so they get their left
// side alone.
TEST(DrawBorder, FramesEveryWindowEvenOneColumnWide) {
    HeadlessScreen screen{12, 40};
    const struct {
        int rows, cols;
        std::string top;
    } cases[] = {
        {3, 4, "+--+"},
        {1, 3, "+-+"},
        {4, 2, "++"},
        {4, 1, "+"},
        {1, 1, "+"},
    };
    for (const auto &c : cases) {
        WINDOW *win = newwin(c.rows, c.cols, 0, 0);
        ASSERT_NE(win, nullptr);
        draw_border(win);
        EXPECT_EQ(row_text(win, 0), c.top) << c.rows << "x" << c.cols;
        EXPECT_EQ(row_text(win, c.rows - 1).substr(0, 1), "+") << c.rows << "x" << c.cols;
        if (c.rows > 2) {
            EXPECT_EQ(row_text(win, 1).substr(0, 1), "|") << c.rows << "x" << c.cols;
        }
        delwin(win);
    }
    draw_border(nullptr);
}

// A pass that drew nothing skips the update, which would still look for
// typed keys and block the stop signal; every kind of change a pass can
// leave must still reach the terminal.
TEST(TerminalBehind, OnlyWhenTheScreenHoldsWhatTheTerminalDoesNotShow) {
    HeadlessScreen screen{12, 40};
    WINDOW *win = newwin(4, 10, 1, 1);
    ASSERT_NE(win, nullptr);
    wnoutrefresh(win);
    doupdate();
    EXPECT_FALSE(terminal_behind());
    wnoutrefresh(win);
    EXPECT_FALSE(terminal_behind()) << "nothing drawn";

    const struct {
        const char *change;
        void (*make)(WINDOW *);
    } changes[] = {
        {"a cell", [](WINDOW *w) { mvwaddch(w, 2, 3, 'x'); }},
        {"the cursor alone", [](WINDOW *w) { wmove(w, 3, 5); }},
        {"a clear of the terminal", [](WINDOW *) { clearok(curscr, TRUE); }},
        {"curses left the terminal", [](WINDOW *) { endwin(); }},
    };
    for (const auto &c : changes) {
        c.make(win);
        wnoutrefresh(win);
        EXPECT_TRUE(terminal_behind()) << c.change;
        doupdate();
        EXPECT_FALSE(terminal_behind()) << c.change << ", once updated";
    }

    // The last window refreshed leaves the cursor where the output left it
    // (as the main window does): a cursor set by a window refreshed before
    // it is never moved to, so it is no reason for an update.
    WINDOW *other = newwin(2, 4, 8, 20);
    ASSERT_NE(other, nullptr);
    wmove(other, 1, 2);
    wnoutrefresh(other);
    leaveok(win, TRUE);
    wnoutrefresh(win);
    doupdate();
    wnoutrefresh(win);
    EXPECT_FALSE(terminal_behind()) << "nothing drawn since, under a window that leaves the cursor";
    delwin(other);
    delwin(win);
}
