// What every panel does today, driven through its public entry by a key
// script: which key closed it and which keys it left, which keys reached
// the command keys (a setting they change), where its window stands, the
// settings and the options file after it, and the composed screen. A
// rewrite of the key loops must keep all of it; the goldens live in
// tests/3_panels/golden/, one file a script, and XQ_UPDATE_GOLDENS=1 writes
// them afresh from what the program shows.
//
// The same table drives two more checks: shrinking and growing the
// terminal from 80x24 and back (through 40x12 and 1x1 to 132x50, through
// 40x12 alone, and through a storm of sizes), after which every panel
// shows what it showed before; and every panel opened on a 40x12 screen,
// with its frame on the screen and its last item, once chosen, in view
// and looking chosen.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mikmod.h>
#include <panel.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "1_player/mixer.h"
#include "1_player/module_loader.h"
#include "1_player/player.h"
#include "1_player/player_core.h"
#include "1_player/player_thread.h"
#include "1_player/settings.h"
#include "2_screen/channel_table.h"
#include "2_screen/information_rows.h"
#include "2_screen/keys.h"
#include "2_screen/level_meter.h"
#include "2_screen/main_window.h"
#include "2_screen/status_lines.h"
#include "3_filesel/file_selector.h"
#include "3_panels/about_panel.h"
#include "3_panels/command_keys.h"
#include "3_panels/comment_panel.h"
#include "3_panels/effects_panel.h"
#include "3_panels/help_panel.h"
#include "3_panels/instruments_panel.h"
#include "3_panels/message_box.h"
#include "3_panels/options_panel.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_runner.h"
#include "3_panels/pattern_view.h"
#include "3_panels/samples_panel.h"
#include "3_panels/voice_monitors.h"
#include "3_playlist/playlist_panel.h"
#include "3_playlist/playlist_store.h"
#include "4_program/startup.h"
#include "headless_screen.h"
#include "scripted_keys.h"
#include "silent_player.h"
#include "temp_home.h"
#include "../3_filesel/temp_tree.h"

namespace {

constexpr int kEnter = '\n';

// Follows each script's closing key, to show that the key before it closed
// the panel: no panel acts on it.
constexpr int kSentinel = 'z';

// A panel, how to open it, and the keys that drive it.
struct PanelCase {
    const char *name;
    // Opens the panel through its public entry and runs it until it
    // closes; returns what the entry handed back, if anything.
    std::function<std::string()> run;
    // The characterisation script: keys, and picture_steps() where the
    // composed screen is recorded.
    std::vector<ScriptStep> script;
    // Keys that choose the panel's last item (none for panels without a
    // choice), and a text that must then show inside the frame: that item,
    // or what the panel is there to say; and the attribute code of the
    // text's first cell when it is chosen ("" when not checked).
    std::vector<int> to_last;
    const char *must_show;
    const char *chosen_look;
    // Keys that close the panel from there.
    std::vector<int> close;
    // The monitors have a title bar where other panels have their top
    // border (and the pause notice stands on the main window's title row):
    // its text.
    const char *title_bar = nullptr;
};

std::vector<ScriptStep> keys(const std::vector<int> &list) {
    std::vector<ScriptStep> steps;
    for (int k : list) steps.push_back(key_step(k));
    return steps;
}

std::vector<ScriptStep> operator+(std::vector<ScriptStep> a, const std::vector<ScriptStep> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<ScriptStep> kPicture = picture_steps();

std::string none() { return ""; }

template <void (*entry)()>
std::string call() {
    entry();
    return "";
}

std::string show_selector_result(const FileChoice &chosen) {
    return std::string("file_selector returned ") +
           (chosen.button == SelectorButton::ok ? "\"" + std::string(chosen.name) + "\"" : "null") +
           ", selected_path " + chosen.path;
}

// How the panel was left, as the number of the button it was left on: 9
// (Done), or 255 for `q`.
std::string playlist_outcome(PlaylistExit exit) {
    std::string out = std::string("playlist_button ") + (exit == PlaylistExit::done ? "9" : "255") + ", entries";
    for (int i = 0; i < playlist_count; ++i) out += std::string(" ") + playlist[i].dir + "/" + playlist[i].name;
    return out;
}

// The pause notice of the command keys, over the main screen's loop: only
// `p` ends it.
std::string pause_notice() {
    player_core().stopped = false;
    Player_Start(player_module());
    player_play_or_pause();
    PanelDescription main_screen;
    main_screen.passes_to_command_keys = true;
    main_screen.close_when = [] { return !player_view().paused; };
    run_panel_keys(main_screen, main_win);
    Player_Stop();
    player_core().stopped = true;
    return none();
}

// The comment of the module under test: long enough to scroll.
std::string long_comment() {
    std::string text;
    for (int i = 1; i <= 30; ++i) text += "Comment line " + std::to_string(i) + " of the test module\n";
    return text;
}

const std::vector<PanelCase> &panel_cases() {
    static const std::vector<PanelCase> cases = {
        {"help", call<help_panel>,
         // `m` moves it (the mover's own loop: arrows, then Enter), `u`
         // does not reach the command keys, `Q` closes.
         keys({'x', 'u', 'm', KEY_RIGHT, KEY_RIGHT, KEY_DOWN, kEnter}) + kPicture + keys({'Q', kSentinel}),
         {}, "", "", {'q'}},
        {"about", call<about_panel>,
         keys({kEscape, 'Q', kEnter, 'u'}) + kPicture + keys({'q', kSentinel}), {}, "", "", {'q'}},
        {"comment", call<comment_panel>,
         // Escape does nothing; `u` and `B` are command keys; `h` opens
         // Help over it, and `q` closes Help first.
         keys({kEscape, KEY_NPAGE, KEY_END, KEY_HOME, KEY_DOWN, KEY_DOWN, KEY_PPAGE, KEY_DOWN, 'u', 'B', 'h'}) +
             kPicture + keys({'q'}) + kPicture + keys({'q', kSentinel}),
         {KEY_END},
         "Comment line 30 of the test module", "", {'q'}},
        {"instruments", call<instruments_panel>,
         // Not movable: `m` does nothing.
         keys({KEY_RIGHT, KEY_LEFT, kEnter, 'm', 'u'}) + kPicture + keys({kEscape, kSentinel}),
         {KEY_RIGHT, KEY_RIGHT}, "[ Quit ]", "R", {'q'}},
        {"samples", call<samples_panel>,
         keys({kEnter, 'm', KEY_UP, kEnter, KEY_RIGHT, KEY_RIGHT}) + kPicture + keys({kEnter, kSentinel}),
         {KEY_RIGHT, KEY_RIGHT}, "[ Quit ]", "R", {'q'}},
        {"all_channels", [] { voice_monitor(Monitor::all_channels); return none(); },
         keys({'u', 'm', KEY_LEFT, kEnter}) + kPicture + keys({'q', kSentinel}), {}, "", "", {'q'}, "All channels"},
        {"all_voices", [] { voice_monitor(Monitor::all_voices); return none(); },
         keys({'u'}) + kPicture + keys({kEscape, kSentinel}), {}, "", "", {'q'}, "All voices"},
        {"voices_position", [] { voice_monitor(Monitor::voices_position); return none(); },
         // Only `p` reaches the command keys here.
         keys({'u', 'B'}) + kPicture + keys({'q', kSentinel}), {}, "", "", {'q'}, "Voices position"},
        {"voices_frequency", [] { voice_monitor(Monitor::voices_frequency); return none(); },
         // Effects opens over it and closes back to it.
         keys({'e', KEY_DOWN}) + kPicture + keys({'q'}) + kPicture + keys({kEscape, kSentinel}), {}, "", "", {'q'},
         "Voices frequency"},
        {"pattern_view", call<pattern_view>,
         keys({' ', KEY_DOWN, KEY_DOWN, KEY_NPAGE, KEY_END, KEY_HOME, KEY_DOWN, ']', '[', ']', KEY_RIGHT, KEY_LEFT,
               KEY_RIGHT, 'u'}) +
             kPicture + keys({'q', kSentinel}),
         {}, "", "", {'q'}},
        {"effects", call<effects_panel>,
         keys({KEY_DOWN, KEY_RIGHT, KEY_RIGHT, 'u', 'm', KEY_DOWN, kEnter}) + kPicture + keys({kEscape, kSentinel}),
         {KEY_NPAGE}, "Treble", "R", {'q'}},
        {"options", call<options_panel>,
         // Loop module on; Refresh delay doubled in the number editor
         // (Escape does not leave it); Save options and its box.
         keys({KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN, kEnter, KEY_DOWN, KEY_DOWN,
               KEY_DOWN, kEnter, KEY_RIGHT, kEscape, kEnter, KEY_NPAGE, kEnter}) +
             kPicture + keys({kEnter}) + kPicture + keys({'q', kSentinel}),
         {KEY_NPAGE}, "Save options", "R", {'q'}},
        {"file_selector", [] { return show_selector_result(file_selector()); },
         // Enter goes into "sub" and back up by ".."; Tab to the buttons,
         // Right to Cancel, Enter.
         keys({KEY_DOWN, kEnter, kEnter, KEY_DOWN, KEY_DOWN, 'u'}) + kPicture + keys({kTab, KEY_RIGHT}) + kPicture +
             keys({kEnter, kSentinel}),
         {KEY_NPAGE}, "b.xm", "B8", {kTab, KEY_RIGHT, kEnter}},
        {"file_line", [] { return show_selector_result(file_selector()); },
         // The line editor on the File line: an accepted name closes.
         keys({'f', 'x', '.', 'm', 'o', 'd'}) + kPicture + keys({kEnter, kSentinel}), {}, "", "",
         {kTab, KEY_RIGHT, kEnter}},
        {"directory_line", [] { return show_selector_result(file_selector()); },
         // The line editor on the directory line: Backspace takes the
         // last character back, Enter goes to the folder typed.
         keys({'d', '/', 's', 'u', 'b', 'x', KEY_BACKSPACE}) + kPicture + keys({kEnter}) + kPicture +
             keys({kTab, KEY_RIGHT, kEnter, kSentinel}),
         {}, "", "", {kTab, KEY_RIGHT, kEnter}},
        {"playlist", [] { return playlist_outcome(playlist_panel()); },
         // Remove takes the entry chosen in the list; Tab browses the list,
         // Escape leaves it; `q` closes.
         keys({KEY_DOWN, KEY_DOWN, kEnter, KEY_DOWN, kEnter, kTab, KEY_DOWN}) + kPicture + keys({kEscape, 'u'}) +
             kPicture +
             keys({'q', kSentinel}),
         {KEY_NPAGE}, "Done", "R", {'q'}},
        {"pause_notice", pause_notice, keys({'q', kEscape, kEnter, 'u'}) + kPicture + keys({'p', kSentinel}), {},
         "Paused...", "", {'p'}, ":: XQ v0.6 ::"},
        {"message_box", [] { message_box("Could not load 'song.mod'.", kMessageError); return none(); },
         keys({'q', kEscape, ' ', 'u'}) + kPicture + keys({kEnter, kSentinel}), {}, "", "", {kEnter}},
    };
    return cases;
}

// What today's panels get wrong in these checks; each check is skipped,
// with its reason, for the panels named here.
// The sizes a shrink and grow passes through from 80x24: by the smallest
// screen there is, and by a small one only, which leaves the panels cut
// rather than reduced to a cell.
struct ResizePath {
    const char *name;
    std::vector<std::pair<int, int>> sizes;  // rows, columns
};
// A storm: forty sizes from 1x1 to 100x300 read one after another, the
// same at every run, then 80x24 again.
std::vector<std::pair<int, int>> storm_sizes() {
    std::vector<std::pair<int, int>> sizes;
    unsigned seed = 1;
    for (int i = 0; i < 40; ++i) {
        seed = seed * 1103515245u + 12345u;
        const int rows = 1 + static_cast<int>((seed >> 8) % 100);
        seed = seed * 1103515245u + 12345u;
        sizes.emplace_back(rows, 1 + static_cast<int>((seed >> 8) % 300));
    }
    sizes.emplace_back(24, 80);
    return sizes;
}

const ResizePath kResizePaths[] = {
    {"through 1x1", {{12, 40}, {1, 1}, {50, 132}, {24, 80}}},
    {"through 40x12", {{12, 40}, {50, 132}, {24, 80}}},
    {"through a storm", storm_sizes()},
};

const std::map<std::string, std::string> kResizeFaults = {};
const std::map<std::string, std::string> kSmallScreenFaults = {
};

std::string key_list(const std::vector<int> &list) {
    std::string out;
    for (int k : list) out += (out.empty() ? "" : " ") + key_name(k);
    return out.empty() ? "(none)" : out;
}

std::string corner(const PanelCorner &c) { return std::to_string(c.x) + "," + std::to_string(c.y); }

// The settings a script may change, and the options file.
std::string settings_text(const TempHome &home) {
    std::ostringstream out;
    out << "settings: show_real_volume=" << show_real_volume << " mute_all_next=" << (player_view().mute_all_next ? 1 : 0)
        << " meter_style=" << meter_style << " loop_module=" << loop_module << " delay=" << refresh_delay
        << " reverb=" << int{md_reverb};
    if (const MODULE *module = player_module())
        out << " speed=" << int{module->sngspd} << " tempo=" << int{module->inittempo} << " bpm=" << int{module->bpm}
            << " volume=" << int{module->volume};
    const PanelPositionTable &p = PanelPositions;
    out << "\ncorners: all_channels=" << corner(p.all_channels) << " voices_frequency=" << corner(p.voices_frequency)
        << " voices_position=" << corner(p.voices_position) << " effects=" << corner(p.effects)
        << " options=" << corner(p.options) << " help=" << corner(p.help) << " samples=" << corner(p.samples)
        << "\noptions file:";
    std::ifstream file(home.path() + "/.xq/options");
    std::string line;
    bool any = false;
    while (std::getline(file, line)) {
        out << " " << line;
        any = true;
    }
    if (!any) out << " (none)";
    out << "\n";
    return out.str();
}

std::string picture_text(const Picture &p) {
    std::ostringstream out;
    out << "top panel: " << p.height << "x" << p.width << " at row " << p.top << ", column " << p.left << "\n";
    for (std::size_t r = 0; r < p.rows.size(); ++r) out << "|" << p.rows[r] << "|\n";
    out << "attributes (column:B bold, R reverse, colour pair):\n";
    for (std::size_t r = 0; r < p.attributes.size(); ++r) out << r << " " << p.attributes[r] << "\n";
    return out.str();
}

// Replaces every occurrence of `from` (a temporary path) by `to`.
void replace_all(std::string &text, const std::string &from, const std::string &to) {
    if (from.empty()) return;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

std::string read_file(const std::string &path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The first line where two texts differ, for a readable failure.
std::string first_difference(const std::string &want, const std::string &got) {
    std::istringstream a(want), b(got);
    std::string la, lb;
    for (int n = 1;; ++n) {
        const bool more_a = static_cast<bool>(std::getline(a, la));
        const bool more_b = static_cast<bool>(std::getline(b, lb));
        if (!more_a && !more_b) return "the same";
        if (!more_a || !more_b || la != lb)
            return "line " + std::to_string(n) + "\n  golden: " + (more_a ? la : "(end)") +
                   "\n  now:    " + (more_b ? lb : "(end)");
    }
}

// A loaded module on the silent driver, the main screen drawn for it as
// start-up draws it, a private HOME and a small directory tree as the
// working directory; the settings the scripts change are put back.
class PanelScript : public ::testing::TestWithParam<PanelCase> {
protected:
    static void SetUpTestSuite() { start_silent_player(); }
    static void TearDownTestSuite() { stop_silent_player(); }

    std::unique_ptr<HeadlessScreen> screen;
    TempHome home;
    WorkingDirectoryGuard cwd;
    TempTree tree;
    MODULE *loaded = nullptr;
    std::string comment = long_comment();
    std::string old_pwd;

    void open_screen(int rows, int cols) {
        screen = std::make_unique<HeadlessScreen>(rows, cols);
        create_test_main_window();
        mkdir((home.path() + "/.xq").c_str(), 0700);
        tree.dir("sub");
        tree.file("a.mod", 10);
        tree.file("b.xm", 20);
        if (const char *pwd = std::getenv("PWD")) old_pwd = pwd;
        setenv("PWD", tree.path().c_str(), 1);
        start_selector_afresh();
        loaded = Player_Load((std::string(XQ_FIXTURE_DIR) + "/instruments12.xm").c_str(), 64, 0);
        ASSERT_NE(loaded, nullptr) << MikMod_strerror(MikMod_errno);
        // Loaded, not started, from no file the File row would name, with a
        // comment long enough to scroll.
        adopt_module(loaded, false, "", 0, [this](ModuleInfo &info) {
            info.has_comment = true;
            info.comment = comment;
        });
        player_core().stopped = true;
        playlist_clear();
        for (const char *name : {"one.mod", "two.xm", "three.it"}) playlist_add_file("/music", name);
        playlist_view = {};
        draw_information_rows();
        draw_driver_line();
        draw_channel_table();
        redraw_status_lines();
        update_panels();
        doupdate();
    }

    // The file selector as at start-up: it opens in the working directory.
    static void start_selector_afresh() { selector_memory = {}; }

    void TearDown() override {
        clear_script();
        // A script that ran out leaves its panels open.
        for (PANEL *p = panel_below(nullptr); p && p != main_panel; p = panel_below(nullptr)) {
            WINDOW *w = panel_window(p);
            forget_panel_window(w);
            del_panel(p);
            delwin(w);
        }
        playlist_clear();
        playlist_view = {};
        player_unload();
        loaded = nullptr;
        if (screen) destroy_test_main_window();
        screen.reset();
        selector_memory = {};
        if (old_pwd.empty())
            unsetenv("PWD");
        else
            setenv("PWD", old_pwd.c_str(), 1);
        show_real_volume = 1;
        player_core().mute_all_next = true;
        meter_style = 1;
        loop_module = fade_module = random_mode = 0;
        refresh_delay = saved_delay_;
        md_reverb = saved_reverb_;
        PanelPositions = saved_positions_;
        mixer_volume = mixer_bass = mixer_treble = 0;
    }

    // Runs the case's entry under `steps`; false when the script ran out
    // before the panel closed.
    bool run_script(const PanelCase &c, std::vector<ScriptStep> steps, std::string *outcome = nullptr) {
        set_script(std::move(steps));
        try {
            const std::string result = c.run();
            if (outcome) *outcome = result;
        } catch (const ScriptRanOut &) {
            ADD_FAILURE() << c.name << ": the script ran out before the panel closed";
            return false;
        }
        clear_script();
        return true;
    }

private:
    int saved_delay_ = refresh_delay;
    UBYTE saved_reverb_ = md_reverb;
    PanelPositionTable saved_positions_ = PanelPositions;
};

class FileSelectorOpening : public PanelScript {};

std::string case_name(const ::testing::TestParamInfo<PanelCase> &info) { return info.param.name; }

// The case's name in gtest's messages.
[[maybe_unused]] void PrintTo(const PanelCase &c, std::ostream *out) { *out << c.name; }

}  // namespace

TEST_P(PanelScript, DoesWhatItDidBefore) {
    const PanelCase &c = GetParam();
    open_screen(24, 80);
    std::string outcome;
    ASSERT_TRUE(run_script(c, c.script, &outcome));
    EXPECT_EQ(panel_below(nullptr), main_panel) << "a panel stayed open";

    const std::vector<int> &handed = keys_handed();
    std::string record = std::string("closed by: ") + (handed.empty() ? "(nothing)" : key_name(handed.back())) +
                         "\nkeys read: " + key_list(handed) + "\nkeys left: " + key_list(keys_left()) + "\n";
    if (!outcome.empty()) record += "outcome: " + outcome + "\n";
    record += settings_text(home);
    for (const Picture &p : pictures()) record += "\n" + picture_text(p);
    // The temporary folders' names change from run to run.
    replace_all(record, tree.path(), "/tmp/xqtree.XXXXXX");
    replace_all(record, working_directory(), "/tmp/xqtree.XXXXXX");
    replace_all(record, home.path(), "/tmp/xqhome.XXXXXX");

    const std::string golden_path = std::string(XQ_GOLDEN_DIR) + "/" + c.name + ".txt";
    if (std::getenv("XQ_UPDATE_GOLDENS")) {
        std::ofstream(golden_path) << record;
        return;
    }
    const std::string golden = read_file(golden_path);
    ASSERT_FALSE(golden.empty()) << golden_path << " is missing";
    EXPECT_TRUE(golden == record) << c.name << " differs from its golden at " << first_difference(golden, record)
                                  << "\n(XQ_UPDATE_GOLDENS=1 writes what it shows now)";
}

TEST_P(PanelScript, ShowsTheSameAfterTheScreenShrankAndGrew) {
    const PanelCase &c = GetParam();
    open_screen(24, 80);
    std::string skipped;
    for (const ResizePath &path : kResizePaths) {
        const std::string what = std::string(c.name) + " " + path.name;
        if (kResizeFaults.count(what)) {
            skipped += what + ": " + kResizeFaults.at(what) + "\n";
            continue;
        }
        start_selector_afresh();
        std::vector<ScriptStep> steps = keys(c.to_last) + kPicture;
        for (auto [rows, cols] : path.sizes)
            steps = steps + std::vector<ScriptStep>{resize_step(rows, cols), idle_step()};
        steps = steps + kPicture + keys(c.close);
        ASSERT_TRUE(run_script(c, steps)) << what;
        ASSERT_EQ(pictures().size(), 2u) << what;
        const Picture &before = pictures()[0];
        const Picture &after = pictures()[1];
        // A screen that cut the panel moved it to fit, where it stays: only
        // its size and what it shows are compared.
        EXPECT_EQ(after.height, before.height) << what;
        EXPECT_EQ(after.width, before.width) << what;
        const std::vector<std::string> was = panel_cells(before);
        const std::vector<std::string> is = panel_cells(after);
        ASSERT_EQ(is.size(), was.size()) << what;
        for (std::size_t r = 0; r < was.size(); ++r)
            EXPECT_EQ(is[r], was[r]) << what << ", row " << r << " of the panel\nbefore:\n"
                                     << picture_text(before) << "after:\n" << picture_text(after);
    }
    if (!skipped.empty()) GTEST_SKIP() << skipped;
}

TEST_P(PanelScript, KeepsItsFrameAndItsChoiceOnA40x12Screen) {
    const PanelCase &c = GetParam();
    if (kSmallScreenFaults.count(c.name)) GTEST_SKIP() << kSmallScreenFaults.at(c.name);
    open_screen(12, 40);
    ASSERT_TRUE(run_script(c, keys(c.to_last) + kPicture + keys(c.close)));
    ASSERT_EQ(pictures().size(), 1u);
    const Picture &p = pictures()[0];
    ASSERT_GE(p.top, 0);
    ASSERT_GE(p.left, 0);
    ASSERT_LE(p.top + p.height, 12);
    ASSERT_LE(p.left + p.width, 40);
    const int bottom = p.top + p.height - 1;
    const int right = p.left + p.width - 1;
    std::vector<std::pair<int, int>> corners = {{bottom, p.left}, {bottom, right}};
    if (c.title_bar)
        EXPECT_NE(p.rows[static_cast<std::size_t>(p.top)].find(c.title_bar), std::string::npos) << c.name;
    else
        corners.insert(corners.end(), {{p.top, p.left}, {p.top, right}});
    for (auto [row, col] : corners)
        EXPECT_EQ(p.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)], '+')
            << c.name << " corner at row " << row << ", column " << col << "\n" << picture_text(p);
    if (c.must_show[0] == '\0') return;
    for (int row = p.top + 1; row < bottom; ++row) {
        const std::size_t r = static_cast<std::size_t>(row);
        const std::string inside =
            p.rows[r].substr(static_cast<std::size_t>(p.left + 1), static_cast<std::size_t>(p.width - 2));
        const std::size_t at = inside.find(c.must_show);
        if (at == std::string::npos) continue;
        if (c.chosen_look[0] != '\0') {
            EXPECT_EQ(p.cell_attributes[r][static_cast<std::size_t>(p.left + 1) + at], c.chosen_look)
                << c.name << ": \"" << c.must_show << "\" does not look chosen\n" << picture_text(p);
        }
        return;
    }
    ADD_FAILURE() << c.name << ": \"" << c.must_show << "\" is not inside the frame\n" << picture_text(p);
}

INSTANTIATE_TEST_SUITE_P(EveryPanel, PanelScript, ::testing::ValuesIn(panel_cases()), case_name);

// The file selector opens with the focus in the listing: the button its
// last exit chose no longer shows chosen.
TEST_F(FileSelectorOpening, ShowsNoButtonChosen) {
    open_screen(24, 80);
    const PanelCase &c = *std::find_if(panel_cases().begin(), panel_cases().end(),
                                       [](const PanelCase &p) { return std::string(p.name) == "file_selector"; });
    ASSERT_TRUE(run_script(c, keys({kTab, KEY_RIGHT, kEnter})));
    ASSERT_TRUE(run_script(c, kPicture + keys(c.close)));
    const Picture &p = pictures()[0];
    const std::string buttons = p.rows[static_cast<std::size_t>(p.top + p.height - 2)];
    const std::size_t cancel = buttons.find("[ Cancel ]");
    ASSERT_NE(cancel, std::string::npos);
    EXPECT_EQ(p.cell_attributes[static_cast<std::size_t>(p.top + p.height - 2)][cancel], ".");
}
