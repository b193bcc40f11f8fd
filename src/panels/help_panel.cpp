#include "panels/help_panel.h"

#include <curses.h>

#include "display/screen_text.h"
#include "panels/colors.h"
#include "panels/idle.h"
#include "panels/keys.h"
#include "panels/panel_mover.h"
#include "panels/panel_positions.h"

namespace {

constexpr int kHelpRows = 20;
constexpr int kHelpCols = 70;
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
    {7, kLeft, "Next position.............", "n"},
    {8, kLeft, "Next module...............", "N"},
    {9, kLeft, "Prev position.............", "v"},
    {10, kLeft, "Prev module...............", "V"},
    {12, kLeft, "File selector.............", "f"},
    {13, kLeft, "Quit XQ or close panel....", "q"},
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

bool closes_help(int key) { return key == 'q' || key == 'Q' || key == kEscape; }

void draw_help_entries(WINDOW *win) {
    const FrameClip clip(win);
    for (const HelpEntry &entry : kHelpEntries) {
        set_attr(win, pair(kCyanOnBlack));
        put_text(win, entry.row, entry.col, entry.label);
        set_attr(win, bold_pair(kCyanOnBlack));
        put_text(win, entry.row, entry.col + kLabelWidth, entry.keys);
    }
    set_attr(win, kNormal);
}

}  // namespace

PanelWindow open_help_panel() {
    PanelWindow help = open_panel_window(kHelpRows, kHelpCols, PanelPositions.help.y, PanelPositions.help.x, "Help");
    if (!help.win) return help;
    top_panel(help.panel);
    remember_panel_window(MovableEntry::help, help.win);
    draw_help_entries(help.win);
    set_panel_redraw(help.win, draw_help_entries);
    wnoutrefresh(help.win);
    doupdate();
    return help;
}

void run_help_panel(PanelWindow &help) {
    if (!help.win) return;
    for (;;) {
        const int key = wgetch(help.win);
        if (closes_help(key)) break;
        if (key == 'm') move_panel_interactively(help.panel);
        live_refresh();
    }
    forget_panel_window(help.win);
    close_panel_window(help);
}

void help_panel() {
    PanelWindow help = open_help_panel();
    run_help_panel(help);
}
