#include "2_screen/key_table.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>

#include "2_screen/keys.h"
#include "3_panels/command_keys.h"
#include "3_panels/comment_panel.h"
#include "3_panels/help_panel.h"
#include "3_panels/pattern_view.h"
#include "3_panels/voice_monitors.h"
#include "3_playlist/playlist_keys.h"
#include "4_program/main_loop.h"
#include "4_program/startup.h"
#include "headless_screen.h"

namespace {

int last_handled = 0;

KeyResult record(int key) {
    last_handled = key;
    return KeyResult::handled;
}
KeyResult close_on(int) { return KeyResult::closed; }
KeyResult pass_on(int) { return KeyResult::passed; }

constexpr KeyBinding kFirst[] = {{'a', record}, {'q', close_on}, {'z', pass_on}};
constexpr KeyBinding kSecond[] = {{'b', record}, {'z', record}};
constexpr KeyBinding kSecondWithA[] = {{'b', record}, {'a', record}};
constexpr KeyBinding kTwiceInOne[] = {{'c', record}, {'d', record}, {'c', record}};

}  // namespace

TEST(KeyTable, AChainTriesItsTablesInOrderUntilOneDoesNotPass) {
    const struct {
        int key;
        KeyResult result;
        int handled;  // the key the recording handler saw, 0 for none
    } cases[] = {
        {'a', KeyResult::handled, 'a'},
        {'b', KeyResult::handled, 'b'},  // from the second table
        {'q', KeyResult::closed, 0},
        {'z', KeyResult::handled, 'z'},  // the first table passes it on
        {'y', KeyResult::passed, 0},     // bound nowhere
    };
    for (const auto &c : cases) {
        last_handled = 0;
        EXPECT_EQ(dispatch_key({KeyTable(kFirst), KeyTable(kSecond)}, c.key), c.result) << char(c.key);
        EXPECT_EQ(last_handled, c.handled) << char(c.key);
    }
}

TEST(KeyTable, FindsAKeyBoundTwiceInATableOrAcrossTheChain) {
    EXPECT_EQ(first_key_bound_twice({KeyTable(kFirst)}), std::nullopt);
    EXPECT_EQ(first_key_bound_twice({KeyTable(kTwiceInOne)}), 'c');
    EXPECT_EQ(first_key_bound_twice({KeyTable(kFirst), KeyTable(kSecond)}), 'z');
    EXPECT_EQ(first_key_bound_twice({KeyTable(kFirst), KeyTable(kSecondWithA)}), 'a');

    const int own[] = {'x', 'b'};
    const int own_twice[] = {'x', 'w', 'x'};
    const int own_apart[] = {'x', 'w'};
    EXPECT_EQ(first_key_bound_twice(KeyList(own), {KeyTable(kFirst), KeyTable(kSecondWithA)}), 'b');
    EXPECT_EQ(first_key_bound_twice(KeyList(own_twice), {KeyTable(kFirst)}), 'x');
    EXPECT_EQ(first_key_bound_twice(KeyList(own_apart), {KeyTable(kFirst)}), std::nullopt);
    EXPECT_EQ(first_key_bound_twice(KeyList(own_apart), {KeyTable(kFirst), KeyTable(kSecond)}), 'z');
}

// Every chain of the program: the main screen's, and those of the panels
// that pass the keys they do not read on to the command keys.
TEST(KeyTable, NoChainBindsAKeyTwice) {
    EXPECT_EQ(first_key_bound_twice({kMainScreenKeys, kCommandKeys, kPlaylistKeys}), std::nullopt);
    EXPECT_EQ(first_key_bound_twice(KeyList(kVolumeMonitorKeys), {kCommandKeys, kPlaylistKeys}), std::nullopt);
    EXPECT_EQ(first_key_bound_twice(KeyList(kPatternViewKeys), {kCommandKeys, kPlaylistKeys}), std::nullopt);
    EXPECT_EQ(first_key_bound_twice(KeyList(kCommentPanelKeys), {kCommandKeys, kPlaylistKeys}), std::nullopt);
}

// The panels' key lists say what their loops read.
TEST(KeyTable, ThePanelsKeyListsMatchTheirLoops) {
    for (int key : kCommentPanelKeys)
        if (key != 'q') {
            EXPECT_GE(scroll_comment(5, key, 100, 10), 0) << key;
        }
    EXPECT_EQ(scroll_comment(5, kEscape, 100, 10), -1);
    int browse_keys = 0;
    for (int key = 0; key < KEY_MAX; ++key) {
        if (!is_browse_key(key)) continue;
        ++browse_keys;
        EXPECT_NE(std::find(std::begin(kPatternViewKeys), std::end(kPatternViewKeys), key), std::end(kPatternViewKeys))
            << key;
    }
    EXPECT_GT(browse_keys, 0);
}

namespace {

// The Help panel's key notations that are not the key's own character.
const struct {
    const char *name;
    std::vector<int> keys;
} kKeyNames[] = {
    {"UP", {KEY_UP}},       {"DOWN", {KEY_DOWN}},   {"LEFT", {KEY_LEFT}}, {"RIGHT", {KEY_RIGHT}},
    {"PGUP", {KEY_PPAGE}},  {"PGDN", {KEY_NPAGE}},  {"HOME", {KEY_HOME}}, {"END", {KEY_END}},
    {"ENTER", {'\n', KEY_ENTER}}, {"ESC", {kEscape}}, {"SPACE", {' '}},   {"TAB", {kTab}},
    {"F12", {KEY_F(12)}},   {"<-", {KEY_LEFT}},     {"->", {KEY_RIGHT}},
};

std::string upper(std::string text) {
    for (char &c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The key codes of one entry of the key column, such as "b/B", "+/-",
// "UP/DOWN" or "ENTER"; a notation not known here fails the test.
std::vector<int> keys_of(const std::string &notation) {
    std::vector<int> keys;
    std::vector<std::string> parts;
    if (notation.size() == 1) {
        parts.push_back(notation);
    } else {
        std::size_t start = 0;
        for (std::size_t slash; (slash = notation.find('/', start)) != std::string::npos; start = slash + 1)
            parts.push_back(notation.substr(start, slash - start));
        parts.push_back(notation.substr(start));
    }
    for (const std::string &part : parts) {
        if (part.size() == 1) {
            keys.push_back(static_cast<unsigned char>(part[0]));
            continue;
        }
        bool known = false;
        for (const auto &name : kKeyNames)
            if (upper(part) == name.name) {
                keys.insert(keys.end(), name.keys.begin(), name.keys.end());
                known = true;
            }
        if (!known) ADD_FAILURE() << "a key notation the test does not know: \"" << part << "\"";
    }
    return keys;
}

}  // namespace

TEST(KeyTable, EveryKeyTheHelpPanelListsIsBound) {
    HeadlessScreen screen{24, 80};
    create_test_main_window();
    PanelWindow help = open_help_panel();
    ASSERT_NE(help.win, nullptr);

    // Each entry is a label filled out with dots, the key column right after.
    const std::regex entry(R"(\.{2,}(\S+))");
    std::vector<std::string> notations;
    for (int row = 1; row < getmaxy(help.win) - 1; ++row) {
        const std::string text = row_text(help.win, row);
        for (std::sregex_iterator it(text.begin(), text.end(), entry), end; it != end; ++it)
            notations.push_back((*it)[1]);
    }
    close_panel_window(help);
    destroy_test_main_window();
    ASSERT_NE(std::find(notations.begin(), notations.end(), "UP/DOWN"), notations.end());
    ASSERT_NE(std::find(notations.begin(), notations.end(), "p"), notations.end());

    const KeyList own_lists[] = {kVolumeMonitorKeys, kPatternViewKeys, kCommentPanelKeys};
    for (const std::string &notation : notations)
        for (int key : keys_of(notation)) {
            bool bound =
                binds_key(kCommandKeys, key) || binds_key(kMainScreenKeys, key) || binds_key(kPlaylistKeys, key);
            for (KeyList own : own_lists)
                bound = bound || std::find(own.begin(), own.end(), key) != own.end();
            EXPECT_TRUE(bound) << "\"" << notation << "\" lists a key bound nowhere: " << key;
        }
}
