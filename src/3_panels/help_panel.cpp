#include "3_panels/help_panel.h"

#include <curses.h>

#include "2_screen/colors.h"
#include "2_screen/keys.h"
#include "2_screen/screen_text.h"
#include "3_panels/panel_mover.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_runner.h"

namespace {

constexpr int kLabelWidth = 26;
constexpr int kLeft = 2;
constexpr int kRight = 34;

struct HelpEntry {
    int row;
    int col;
    const char *label;
    const char *keys;
};

constexpr HelpEntry kHelpEntries[] = {
    {1, kLeft, "Play or pause.............", "p"},
    {2, kLeft, "Stop module...............", "t"},
    {3, kLeft, "Module comment............", "i"},
    {4, kLeft, "Restart pattern...........", "a"},
    {5, kLeft, "Restart module............", "A"},
    {6, kLeft, "Seek back/forward 5 s.....", "<-/->"},
    {7, kLeft, "Next position.............", "n"},
    {8, kLeft, "Next module...............", "N"},
    {9, kLeft, "Prev position.............", "v"},
    {10, kLeft, "Prev module...............", "V"},
    {11, kLeft, "Seek back/forward 60 s....", ",/."},
    {12, kLeft, "File selector.............", "f"},
    {13, kLeft, "Quit XQ or close panel....", "q"},
    {14, kLeft, "Prev/next song of module..", "(/)"},
    {15, kLeft, "Show all channels.........", "c"},
    {16, kLeft, "Show all voices...........", "T"},
    {17, kLeft, "Voices position...........", "Y"},
    {18, kLeft, "Voices frequency..........", "y"},
    {14, kRight, "Pattern view..............", "P"},
    {1, kRight, "Bpm down/up...............", "b/B"},
    {2, kRight, "Reverb down/up............", "r/R"},
    {3, kRight, "Tempo down/up.............", "k/K"},
    {4, kRight, "Speed down/up.............", "s/S"},
    {5, kRight, "Volume up/down............", "+/-"},
    {6, kRight, "Reverse stereo............", "!"},
    {7, kRight, "Switch volume display.....", "u"},
    {8, kRight, "Spectrum..................", "F"},
    {9, kRight, "Playlist panel............", "l"},
    {10, kRight, "Effects panel.............", "e"},
    {11, kRight, "Options panel.............", "o"},
    {12, kRight, "Samples panel.............", "w"},
    {13, kRight, "Instruments panel.........", "W"},
    {15, kRight, "Select channel............", "UP/DOWN"},
    {16, kRight, "Mute/unmute channel.......", "ENTER"},
    {17, kRight, "Mute/unmute all channels..", "M"},
    {18, kRight, "About.....................", "?"},
};

constexpr int kHelpCloseKeys[] = {'q', 'Q', kEscape};

void draw_help_entries(WINDOW *win) {
    const FrameClip clip(win);
    for (const HelpEntry &entry : kHelpEntries) {
        set_role(win, ColorRole::help_text);
        put_text(win, entry.row, entry.col, entry.label);
        set_role(win, ColorRole::help_key);
        put_text(win, entry.row, entry.col + kLabelWidth, entry.keys);
    }
    set_attr(win, kNormal);
}

PanelDescription help_description(PanelWindow &help) {
    PanelDescription desc = panel_description(PanelKind::help);
    desc.title = "Help";
    desc.on_top = true;
    desc.close_keys = kHelpCloseKeys;
    desc.on_key = [&help](int key) {
        if (key == 'm') move_panel_interactively(help.panel);
        return KeyResult::handled;
    };
    desc.draw = draw_help_entries;
    desc.repaint_main_on_close = false;
    return desc;
}

}  // namespace

PanelWindow open_help_panel() {
    PanelWindow none;
    return open_panel(help_description(none));
}

void run_help_panel(PanelWindow &help) { run_panel(help_description(help), help); }

void help_panel() {
    PanelWindow help = open_help_panel();
    run_help_panel(help);
}
