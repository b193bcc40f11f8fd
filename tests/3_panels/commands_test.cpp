// The table of commands against everything that must agree with it: the
// key tables of every screen, the Help panel, the control socket's words
// and the manual page's keys.
#include "2_screen/commands.h"

#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "4_program/remote_request.h"
#include "3_panels/command_keys.h"
#include "3_panels/comment_panel.h"
#include "3_panels/pattern_view.h"
#include "3_panels/spectrum_panel.h"
#include "3_panels/voice_monitors.h"
#include "3_playlist/playlist_keys.h"
#include "4_program/main_loop.h"

namespace {

std::set<int> keys_of_commands_on(unsigned screen) {
    std::set<int> keys;
    for (const Command &c : kCommands)
        if (c.screens & screen)
            for (std::size_t i = 0; i < key_count(c); ++i) keys.insert(c.keys[i]);
    return keys;
}

std::set<int> bound(std::initializer_list<KeyTable> chain) {
    std::set<int> keys;
    for (KeyTable table : chain)
        for (const KeyBinding &b : table) keys.insert(b.key);
    return keys;
}

std::string names(const std::set<int> &keys) {
    std::string text;
    for (int key : keys) text += key_notation(key) + " ";
    return text;
}

std::set<int> minus(const std::set<int> &a, const std::set<int> &b) {
    std::set<int> out;
    for (int key : a)
        if (!b.count(key)) out.insert(key);
    return out;
}

}  // namespace

TEST(Commands, EachCommandHasAKeyOrComesFromOutsideAndNoKeyMeansTwoThings) {
    std::set<std::string> seen;
    for (const Command &c : kCommands) {
        EXPECT_TRUE(seen.insert(c.name).second) << "two commands named " << c.name;
        EXPECT_TRUE(key_count(c) > 0 || c.from_outside) << c.name << " can be reached neither by a key nor from outside";
        EXPECT_EQ(key_count(c) > 0, c.screens != 0) << c.name << ": keys without a screen, or a screen without keys";
        EXPECT_TRUE(c.does && *c.does) << c.name;
    }
    // Two commands whose keys act on one screen never share a key.
    for (const Command &a : kCommands)
        for (const Command &b : kCommands) {
            if (&a == &b || (a.screens & b.screens) == 0) continue;
            for (std::size_t i = 0; i < key_count(a); ++i)
                for (std::size_t j = 0; j < key_count(b); ++j)
                    EXPECT_NE(a.keys[i], b.keys[j]) << a.name << " and " << b.name << " share a key";
        }
}

TEST(Commands, EveryHelpRowShowsCommandsWithKeysAndNoPlaceTwice) {
    std::set<std::pair<int, int>> places;
    for (const HelpRow &row : kHelpRows) {
        EXPECT_TRUE(places.insert({row.row, row.column}).second) << row.label << " shares its place";
        EXPECT_NE(row.commands[0], nullptr) << row.label;
        for (const char *name : row.commands) {
            if (!name) continue;
            const Command *c = find_command(name);
            ASSERT_NE(c, nullptr) << row.label << " names " << name << ", which is no command";
            EXPECT_GT(key_count(*c), 0u) << row.label << " shows " << name << ", which has no key";
        }
        EXPECT_FALSE(help_keys(row).empty()) << row.label;
    }
    const HelpRow pair{1, 1, "Bpm down/up", {"bpm_down", "bpm_up"}};
    EXPECT_EQ(help_keys(pair), "b/B");
    const HelpRow select{15, 1, "Select channel", {"channel_up", "channel_down"}};
    EXPECT_EQ(help_keys(select), "UP/DOWN");
    EXPECT_EQ(key_notation('\n'), "ENTER");
    EXPECT_EQ(key_notation(KEY_F(12)), "F12");
}

// Each screen binds exactly the keys of the commands the table says act
// there: a binding the table does not know, or a command of a screen that
// nothing binds there, fails.
TEST(Commands, EachScreenBindsTheKeysOfItsCommandsAndNoOthers) {
    const std::set<int> main_chain = bound({kMainScreenKeys, kCommandKeys, kPlaylistKeys});
    const std::set<int> on_main = keys_of_commands_on(kOnMainScreen);
    EXPECT_EQ(names(minus(main_chain, on_main)), "") << "bound on the main screen, not in the table";
    EXPECT_EQ(names(minus(on_main, main_chain)), "") << "in the table for the main screen, bound nowhere";

    // The panels: most pass the keys they do not read to the command keys.
    const std::set<int> command_keys = bound({kCommandKeys, kPlaylistKeys});
    const struct {
        const char *panel;
        unsigned screen;
        KeyList own;
        bool passes;
    } panels[] = {
        {"comment panel", kOnCommentPanel, kCommentPanelKeys, true},
        {"volume monitors", kOnVolumeMonitors, kVolumeMonitorKeys, true},
        {"voice monitors", kOnVoiceMonitors, kVoiceMonitorKeys, false},
        {"pattern view", kOnPatternView, kPatternViewKeys, true},
        {"spectrum panel", kOnSpectrumPanel, kSpectrumPanelKeys, true},
    };
    for (const auto &p : panels) {
        const std::set<int> commands = keys_of_commands_on(p.screen);
        const std::set<int> passed = p.passes ? command_keys : std::set<int>{};
        std::set<int> reach = passed;
        reach.insert(p.own.begin(), p.own.end());
        EXPECT_EQ(names(minus(passed, commands)), "") << p.panel << " passes keys of commands not its own";
        EXPECT_EQ(names(minus(commands, reach)), "") << p.panel << ": commands of the table it does not read";
    }
}

// The control socket takes the words of the commands that come from
// outside, with their arguments, and no other command's.
TEST(Commands, TheSocketTakesTheWordsOfTheCommandsFromOutside) {
    for (const Command &c : kCommands) {
        std::string request = c.name;
        if (c.argument) request += " 5";
        request += "\n";
        RemoteRequest r;
        char error[128] = "";
        const int result = parse_remote_request(request.c_str(), request.size(), r, error, sizeof error);
        if (c.from_outside)
            EXPECT_EQ(result, 0) << c.name << ": " << error;
        else
            EXPECT_EQ(std::string(error), "error: unknown command '" + std::string(c.name) + "'");
    }
}

TEST(Commands, TheSocketsHelpListsEveryCommandFromOutsideWithItsArgument) {
    const std::string list = outside_command_list();
    // The items: ", " between them, " or " before the last.
    const std::size_t last = list.rfind(" or ");
    ASSERT_NE(last, std::string::npos) << list;
    std::set<std::string> listed;
    std::string head = list.substr(0, last) + ", ";
    for (std::size_t at = 0, comma; (comma = head.find(", ", at)) != std::string::npos; at = comma + 2)
        listed.insert(head.substr(at, comma - at));
    listed.insert(list.substr(last + 4));
    std::set<std::string> outside;
    for (const Command &c : kCommands)
        if (c.from_outside) outside.insert(c.argument ? std::string(c.name) + ' ' + c.argument : std::string(c.name));
    EXPECT_EQ(listed, outside) << list;
    EXPECT_TRUE(listed.count("volume +N|-N|N") && listed.count("seek +N|-N|M:SS")) << list;
}

namespace {

// The keys the manual page's key section names: the words after ".B" or
// ".BR" on the line that follows each ".TP".
std::set<int> manual_keys(const std::string &page) {
    const std::size_t from = page.find(".SH \"MAIN SCREEN KEYS\"");
    const std::size_t to = page.find(".SH PANELS");
    if (from == std::string::npos || to == std::string::npos) return {};
    std::istringstream section(page.substr(from, to - from));
    std::set<int> keys;
    bool after_tp = false;
    const std::regex word(R"re("([^"]+)"|(\S+))re");
    for (std::string line; std::getline(section, line);) {
        const bool tag = after_tp && (line.rfind(".B ", 0) == 0 || line.rfind(".BR ", 0) == 0);
        after_tp = line.rfind(".TP", 0) == 0;
        if (!tag) continue;
        const std::string rest = line.substr(line.find(' ') + 1);
        bool is_key = true;  // .BR alternates keys with the ", " between them
        for (std::sregex_iterator it(rest.begin(), rest.end(), word), end; it != end; ++it, is_key = !is_key) {
            if (line.rfind(".BR ", 0) == 0 && !is_key) continue;
            std::string k = (*it)[1].matched ? (*it)[1].str() : (*it)[2].str();
            if (k == "\\-") k = "-";
            static const std::pair<const char *, std::vector<int>> named[] = {
                {"Up", {KEY_UP}},          {"Down", {KEY_DOWN}},         {"Page Up", {KEY_PPAGE}},
                {"Left", {KEY_LEFT}},      {"Right", {KEY_RIGHT}},
                {"Page Down", {KEY_NPAGE}}, {"Enter", {'\n', KEY_ENTER}}, {"F12", {KEY_F(12)}},
            };
            bool found = false;
            for (const auto &[name, codes] : named)
                if (k == name) {
                    keys.insert(codes.begin(), codes.end());
                    found = true;
                }
            if (!found && k.size() == 1) keys.insert(static_cast<unsigned char>(k[0]));
            else if (!found) ADD_FAILURE() << "a key the test does not know in the manual: " << k;
        }
    }
    return keys;
}

}  // namespace

TEST(Commands, TheManualNamesEveryKeyOfTheMainScreen) {
    std::ifstream file(XQ_MANUAL_PAGE);
    ASSERT_TRUE(file) << XQ_MANUAL_PAGE;
    std::stringstream page;
    page << file.rdbuf();
    const std::set<int> in_manual = manual_keys(page.str());
    const std::set<int> on_main = keys_of_commands_on(kOnMainScreen);
    EXPECT_EQ(names(minus(on_main, in_manual)), "") << "keys the manual does not name";
    EXPECT_EQ(names(minus(in_manual, on_main)), "") << "keys the manual names that no command has";
}
