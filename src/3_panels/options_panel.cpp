#include "3_panels/options_panel.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <panel.h>

#include "1_player/crossfeed.h"
#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "1_player/reverse_stereo.h"
#include "1_player/settings.h"
#include "2_screen/colors.h"
#include "2_screen/keys.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "2_screen/status_lines.h"
#include "3_panels/message_box.h"
#include "3_panels/idle.h"
#include "3_panels/number_editor.h"
#include "3_panels/panel_mover.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_runner.h"
#include "3_panels/panel_window.h"
#include "3_panels/screen_resize.h"

const OptionItem option_items[kOptionItemCount] = {
    {"16bit", OptionKind::check_box},
    {"Stereo", OptionKind::check_box},
    {"Reverse stereo", OptionKind::check_box},
    {"Surround", OptionKind::check_box},
    {"Interpolate", OptionKind::check_box},
    {"", OptionKind::blank},
    {"High quality mixer", OptionKind::check_box},
    {"Mixing frequency", OptionKind::number},
    {"", OptionKind::blank},
    {"Loop module", OptionKind::check_box},
    {"Fadeout module", OptionKind::check_box},
    {"Random mode (playlist)", OptionKind::check_box},
    {"", OptionKind::blank},
    {"Refresh delay", OptionKind::number},
    {"Colors", OptionKind::choice},
    {"Crossfeed", OptionKind::choice},
    {"Save options", OptionKind::action},
};

namespace {

constexpr int kOptionsRows = panel_layout(PanelKind::options).rows;
constexpr int kItemCol = 3;
constexpr int kFirstRow = 2;
constexpr int kReverseStereoItem = 2;
constexpr int kMixingFrequencyItem = 7;
constexpr int kRefreshDelayItem = 13;
constexpr int kColorsItem = 14;

struct ModeFlag {
    int *flag;
    unsigned bit;
};

const ModeFlag kModeFlags[] = {
    {&output_16bits, kMode16Bits}, {&stereo, kModeStereo},           {&reverse_stereo, kModeReverse},
    {&surround, kModeSurround},    {&interpolate, kModeInterpolate}, {&hq_mixer, kModeHqMixer},
};

int *flag_of(int item) {
    switch (item) {
    case 0: return &output_16bits;
    case 1: return &stereo;
    case kReverseStereoItem: return &reverse_stereo;
    case 3: return &surround;
    case 4: return &interpolate;
    case 6: return &hq_mixer;
    case 9: return &loop_module;
    case 10: return &fade_module;
    case 11: return &random_mode;
    default: return nullptr;
    }
}

// The output mode's option bits as the check boxes ask for them.
unsigned wanted_mode_bits() {
    unsigned bits = 0;
    for (const ModeFlag &m : kModeFlags)
        if (*m.flag) bits |= m.bit;
    return bits;
}

// After a change of the output the check boxes follow the mode in force.
// The high-quality mixer always interpolates and adds the bit by itself;
// the Interpolate box keeps the user's choice, which counts again once
// that mixer is off.
void follow_mode(unsigned mode) {
    for (const ModeFlag &m : kModeFlags)
        if (m.bit != kModeInterpolate) *m.flag = (mode & m.bit) ? 1 : 0;
}

// The open panel: its window, the item selected, and how many rows the
// items are scrolled up by, on a screen too short for the panel.
struct OptionsPanel {
    PanelWindow pw;
    int selected = 0;
    int item_offset = 0;
};

void draw_item(const OptionsPanel &panel, WINDOW *win, int item, bool selected) {
    set_attr(win, selected ? role_attr(ColorRole::selection) : kNormal);
    draw_option_item(win, item, panel.item_offset);
    set_attr(win, kNormal);
}

// Draws every item whose row the window shows, the selected one scrolled
// into view first, over a blank body.
void draw_items(OptionsPanel &panel, WINDOW *win) {
    panel.item_offset = scroll_to_show(panel.item_offset, kFirstRow + panel.selected, getmaxy(win), kOptionsRows);
    set_attr(win, kNormal);
    for (int row = 1; row < getmaxy(win) - 1; ++row) put_blanks(win, row, 1, getmaxx(win) - 2);
    for (int item = 0; item < kOptionItemCount; ++item)
        if (option_items[item].kind != OptionKind::blank) draw_item(panel, win, item, item == panel.selected);
}

void select_item(OptionsPanel &panel, int item) {
    WINDOW *win = panel.pw.win;
    const int offset = scroll_to_show(panel.item_offset, kFirstRow + item, getmaxy(win), kOptionsRows);
    draw_item(panel, win, panel.selected, false);
    panel.selected = item;
    if (offset != panel.item_offset) {
        draw_items(panel, win);
        return;
    }
    draw_item(panel, win, panel.selected, true);
}

// Makes the player take the output mode the check boxes ask for and the
// mixing frequency `mixfreq`, restarting the output when it must; when the
// restart fails the old mode comes back and a box says why. The driver line
// and the check boxes follow what is in force.
void apply_output(unsigned mixfreq) {
    const OutputChange change = player_set_output(wanted_mode_bits(), mixfreq);
    follow_mode(change.mode);
    draw_driver_line();
    if (!change.ok) error_box(change.message);
}

void edit_mixing_frequency(WINDOW *win, int item_offset) {
    set_mixing_frequency(edit_number(win, kFirstRow + kMixingFrequencyItem - item_offset, option_items[kMixingFrequencyItem].label,
                                     24, NumberField::mixing_frequency, static_cast<int>(player_view().mixfreq)));
}

void edit_refresh_delay(WINDOW *win, int item_offset) {
    refresh_delay = edit_number(win, kFirstRow + kRefreshDelayItem - item_offset, option_items[kRefreshDelayItem].label, 21,
                                NumberField::refresh_delay, refresh_delay);
    follow_refresh_delay();
}

// "Save options": the outcome in a green box, or a beep and a red one.
void save_options() {
    char message[kPathCapacity];
    if (write_options(message, sizeof message) == 0)
        message_box(message, kMessageNotice);
    else
        error_box(message);
}

// Enter on an item; false when the item is not to be drawn again.
bool choose_item(const OptionsPanel &panel, int item) {
    switch (item) {
    case kMixingFrequencyItem: edit_mixing_frequency(panel.pw.win, panel.item_offset); return true;
    case kRefreshDelayItem: edit_refresh_delay(panel.pw.win, panel.item_offset); return true;
    case kColorsItem: next_colors(); return true;
    case kCrossfeedItem: next_crossfeed(); return true;
    case kSaveOptionsItem: save_options(); return true;
    default: return toggle_option(item);
    }
}

}  // namespace

int next_option_item(int item, int key) {
    switch (key) {
    case KEY_DOWN:
        if (item >= kSaveOptionsItem) return item;
        return option_items[item + 1].kind == OptionKind::blank ? item + 2 : item + 1;
    case KEY_UP:
        if (item <= 0) return item;
        return option_items[item - 1].kind == OptionKind::blank ? item - 2 : item - 1;
    case KEY_NPAGE: return kSaveOptionsItem;
    case KEY_PPAGE: return 0;
    default: return item;
    }
}

void draw_option_item(WINDOW *win, int item, int item_offset) {
    const OptionItem &o = option_items[item];
    const int row = kFirstRow + item - item_offset;
    if (row < 1 || row > getmaxy(win) - 2) return;  // scrolled out of a short window
    switch (o.kind) {
    case OptionKind::check_box: put_format(win, row, kItemCol, " [%c] %s ", *flag_of(item) ? 'X' : ' ', o.label); break;
    case OptionKind::number:
        put_format(win, row, kItemCol, " %s   [ %5d ] ", o.label,
                   item == kMixingFrequencyItem ? static_cast<int>(player_view().mixfreq) : refresh_delay);
        break;
    case OptionKind::choice:
        if (item == kCrossfeedItem)
            put_format(win, row, kItemCol, " %s       [ %-9s ] ", o.label, crossfeed_name(crossfeed));
        else
            put_format(win, row, kItemCol, " %s          [ %-8s ] ", o.label, color_scheme_name(color_scheme));
        break;
    case OptionKind::action: put_format(win, row, kItemCol, " %s ", o.label); break;
    case OptionKind::blank: break;
    }
}

void next_colors() {
    color_scheme = next_color_scheme(color_scheme);
    use_color_scheme(color_scheme);
    note_resize_key();
    follow_terminal_size();
    redraw_open_panels();
}

void next_crossfeed() {
    crossfeed = (crossfeed + 1) % kCrossfeedPresets;
    set_output_crossfeed(crossfeed);
}

void set_mixing_frequency(int hz) { apply_output(static_cast<unsigned>(hz)); }

bool toggle_option(int item) {
    int *flag = flag_of(item);
    if (!flag) return false;
    if (item == kReverseStereoItem) {
        if (!switch_reverse_stereo()) return false;
    } else {
        *flag = 1 - *flag;
    }
    switch (item) {
    case 9: player_set_loop(loop_module != 0); return true;
    case 10: player_set_fade(fade_module != 0); return true;
    case 11: return true;
    default: break;
    }
    // Mono has no reverse stereo.
    if (item == 1 && !stereo && reverse_stereo) reverse_stereo = 0;
    apply_output(player_view().mixfreq);
    return true;
}

namespace {

constexpr int kOptionsCloseKeys[] = {'q', kEscape};

}  // namespace

void options_panel() {
    OptionsPanel panel;
    PanelDescription desc = panel_description(PanelKind::options);
    desc.title = "Options";
    desc.close_keys = kOptionsCloseKeys;
    desc.on_key = [&panel](int key) {
        if (key == KEY_DOWN || key == KEY_UP || key == KEY_NPAGE || key == KEY_PPAGE) {
            select_item(panel, next_option_item(panel.selected, key));
        } else if (is_enter_key(key)) {
            if (choose_item(panel, panel.selected)) draw_item(panel, panel.pw.win, panel.selected, true);
        } else if (key == 'm') {
            move_panel_interactively(panel.pw.panel);
        }
        return KeyResult::handled;
    };
    // A screen that shrank and grew again cut rows off: they are drawn anew.
    desc.draw = [&panel](WINDOW *win) { draw_items(panel, win); };
    panel.pw = open_panel(desc);
    run_panel(desc, panel.pw);
}
