#include "3_filesel/line_editor.h"

#include <clocale>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "2_screen/colors.h"
#include "headless_screen.h"

namespace {

const std::string kCycle = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";

// The first n characters typed in the scrolling cases: character k (from 1)
// is kCycle[(k - 1) % 62].
std::string typed(int n) {
    std::string text;
    for (int k = 0; k < n; ++k) text += kCycle[static_cast<std::size_t>(k) % kCycle.size()];
    return text;
}

// Chars c_from to c_to (1-based, inclusive).
std::string chars(int from, int to) { return typed(to).substr(static_cast<std::size_t>(from - 1)); }

// Keys are taken from the front; the curses queue holds about 130 of them.
void queue_keys(const std::vector<int> &keys) {
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) ungetch(*it);
}

// The keys a terminal sends for `text`: one per byte, 0 to 255.
std::vector<int> keys_of(const std::string &text) {
    std::vector<int> keys;
    for (unsigned char c : text) keys.push_back(c);
    return keys;
}

std::vector<int> operator+(std::vector<int> a, const std::vector<int> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<int> repeat(int key, int n) { return std::vector<int>(static_cast<std::size_t>(n), key); }

// A window placed like the file selector's on an 80x24 screen, its
// directory line on row 2.
class LineEditor : public ::testing::Test {
protected:
    HeadlessScreen screen{24, 80};
    WINDOW *win = nullptr;
    char text[kPathCapacity] = {};

    void SetUp() override {
        win = newwin(21, 60, 2, 10);
        keypad(win, TRUE);
        wtimeout(win, 40);
    }
    void TearDown() override { delwin(win); }

    // Edits `start` with `keys` (which must end the edit) on row 2.
    // Returns what edit_line returned: whether Tab ended the edit.
    bool edit(const std::string &start, const std::vector<int> &keys, const char *prompt = "Dir: ") {
        std::memset(text, 'Z', sizeof text);  // garbage after the terminator must not matter
        std::snprintf(text, sizeof text, "%s", start.c_str());
        queue_keys(keys);
        return edit_line(win, 2, prompt, text);
    }

    // Columns 1 to 57: the prompt and the field.
    std::string line() { return cells_text(win, 2, 1, 57); }
    static std::string padded(const std::string &s) { return s + std::string(57 - s.size(), ' '); }
};

}  // namespace

TEST(LineEditorViews, PureScrollArithmetic) {
    EXPECT_EQ(field_width(5), 52);
    EXPECT_EQ(field_width(6), 51);
    const struct {
        int length, width;
        int first;
        bool marker;
    } back[] = {
        {49, 52, 0, false},   // the first backward scroll of "Dir: "
        {97, 52, 52, true},   // the second: the page that ends with the last character
        {53, 52, 1, true},    // a page holding only the "~" is never taken
        {2, 52, 0, false},
        {103, 51, 52, true},  // page 2 would hold only the "~": the last 51 instead
    };
    for (const auto &c : back) {
        FieldView v = back_scroll_view(c.length, c.width);
        EXPECT_EQ(v.first, c.first) << c.length;
        EXPECT_EQ(v.marker, c.marker) << c.length;
    }
    EXPECT_EQ(start_view(52, 52).first, 0);
    EXPECT_FALSE(start_view(52, 52).marker);
    EXPECT_EQ(start_view(60, 52).first, 8);
    EXPECT_TRUE(start_view(60, 52).marker);
}

TEST_F(LineEditor, ScrollsForwardAndBackWithTheDirPrompt) {
    const struct {
        const char *what;
        std::vector<int> keys;
        std::string shown;   // columns 1 to 57, trailing blanks added
        std::string result;  // the text afterwards
        int cursor;          // the cursor column before the edit ended
    } cases[] = {
        {"53rd character scrolls forward", keys_of(typed(53)), "Dir: ~" + chars(50, 53), typed(53), 11},
        {"four Backspaces leave the ~", keys_of(typed(53)) + repeat(KEY_BACKSPACE, 4), "Dir: ~", typed(49), 7},
        {"the fifth redraws 49 characters", keys_of(typed(53)) + repeat(KEY_BACKSPACE, 5), "Dir: " + typed(49),
         typed(49), 55},
        {"the sixth removes one", keys_of(typed(53)) + repeat(KEY_BACKSPACE, 6), "Dir: " + typed(48), typed(48), 54},
        {"47 more fill the field again", keys_of(typed(100)), "Dir: ~" + chars(50, 100), typed(100), 58},
        {"and the next scrolls forward again", keys_of(typed(101)), "Dir: ~" + chars(98, 101), typed(101), 11},
        {"KEY_DC deletes too", keys_of("abc") + std::vector<int>{KEY_DC}, "Dir: ab", "ab", 8},
    };
    for (const auto &c : cases) {
        edit("", c.keys + std::vector<int>{'\n'});
        EXPECT_EQ(getcurx(win), c.cursor) << c.what;  // before reading cells moves it
        EXPECT_EQ(line(), padded(c.shown)) << c.what;
        EXPECT_EQ(std::string(text), c.result) << c.what;
        werase(win);
    }
}

TEST_F(LineEditor, TheTextStopsAt255Characters) {
    const std::string start(250, 'p');
    edit(start, keys_of("qrstuvwxyz") + std::vector<int>{'\n'});
    EXPECT_EQ(std::string(text), start + "qrstu");
    EXPECT_EQ(std::strlen(text), 255u);
    // the full field scrolled forward at the first key; the refused keys
    // left it alone
    EXPECT_EQ(line(), padded("Dir: ~ppp" + std::string("qrstu")));
}

TEST_F(LineEditor, TabEnterAndEscapeEndTheEditKeepingTheText) {
    const struct {
        int key;
        bool tab;
    } cases[] = {{'\t', true}, {'\n', false}, {27, false}, {KEY_ENTER, false}};
    for (const auto &c : cases) {
        EXPECT_EQ(edit("song", keys_of(".xm") + std::vector<int>{c.key, 'z'}), c.tab) << c.key;
        EXPECT_EQ(std::string(text), "song.xm") << c.key;
        EXPECT_EQ(wgetch(win), 'z') << c.key;  // nothing after the ending key was read
    }
}

TEST_F(LineEditor, BackspaceOnAnEmptyTextChangesNothing) {
    edit("", {KEY_BACKSPACE, KEY_BACKSPACE, 'a', KEY_BACKSPACE, KEY_BACKSPACE, '\n'}, "File: ");
    EXPECT_EQ(getcurx(win), 7);
    EXPECT_EQ(std::string(text), "");
    EXPECT_EQ(line(), padded("File: "));
}

TEST_F(LineEditor, ArrowsAndFunctionKeysInsertNothingButRawControlBytesDo) {
    edit("a", {KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_DOWN, KEY_F(1), KEY_HOME, 0, 8, 127, 'b', '\n'});
    EXPECT_EQ(std::string(text), std::string("a\x08\x7f") + "b");
    EXPECT_EQ(line(), padded("Dir: a..b"));  // control bytes take one cell each
}

TEST_F(LineEditor, DrawsInTheWindowsAttribute) {
    set_attr(win, kReverse);
    edit("/usr", keys_of("/x") + std::vector<int>{'\n'});
    for (int col : {1, 5, 6, 10, 11}) EXPECT_EQ(cell_attr(win, 2, col), kReverse) << col;
}

TEST_F(LineEditor, AStartingTextLongerThanTheFieldShowsItsTail) {
    const std::string start = typed(60);
    edit(start, {'\n'});
    EXPECT_EQ(getcurx(win), 58);
    EXPECT_EQ(line(), "Dir: ~" + chars(10, 60));  // the field's 52 columns, full

    // typing on scrolls forward at once; deleting everything ends with an
    // empty text, whatever the length (104 = 2 x 52 meets an exact page)
    edit(start, {'!', '\n'});
    EXPECT_EQ(line(), padded("Dir: ~" + chars(58, 60) + "!"));
    for (int length : {60, 104, 120}) {
        edit(typed(length), repeat(KEY_BACKSPACE, length + 8) + std::vector<int>{'\n'});
        EXPECT_EQ(std::string(text), "") << length;
        EXPECT_EQ(line(), padded("Dir: ")) << length;
    }
}

// In a UTF-8 locale a path with accented or wide characters is shown as
// those characters, and Backspace takes a whole character away.
TEST_F(LineEditor, Utf8CharactersAreShownAndDeletedWhole) {
    std::setlocale(LC_ALL, "C.UTF-8");
    const std::string dir = "/m\xc3\xbasica/\xe6\x97\xa5\xe6\x9c\xac";  // "/música/日本"
    edit(dir, {'\n'});
    EXPECT_EQ(getcurx(win), 6 + 12);  // behind the last character, each wide one two cells
    EXPECT_EQ(shown_text(win, 2, 1, 57), "Dir: " + dir + std::string(57 - 5 - 12, ' '));

    // typed byte by byte, as a terminal sends it; Backspace removes "本"
    // whole, then "é"
    edit("/x", keys_of("\xc3\xa9\xe6\x9c\xac") + std::vector<int>{KEY_BACKSPACE, '\n'});
    EXPECT_EQ(std::string(text), "/x\xc3\xa9");
    edit("/x\xc3\xa9", {KEY_BACKSPACE, '\n'});
    EXPECT_EQ(std::string(text), "/x");
    EXPECT_EQ(line(), padded("Dir: /x"));

    // a long path shows its end behind a "~", cut on a character boundary
    std::string longer = "/";
    for (int i = 0; i < 60; ++i) longer += "\xc3\xa9";  // 61 cells, 121 bytes
    longer += "/\xe6\x97\xa5\xe6\x97\xa5";               // ... and two wide ones: 66 cells
    edit(longer, {'\n'});
    EXPECT_EQ(getcurx(win), 58);
    std::string tail = "~";
    for (int i = 0; i < 46; ++i) tail += "\xc3\xa9";
    EXPECT_EQ(shown_text(win, 2, 1, 57), "Dir: " + tail + "/\xe6\x97\xa5\xe6\x97\xa5");
    std::setlocale(LC_ALL, "C");
}
