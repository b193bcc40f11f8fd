#include "3_panels/options_panel.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <mikmod.h>
#include <panel.h>

#include "1_player/module_loader.h"
#include "1_player/player_thread.h"
#include "1_player/reverse_stereo.h"
#include "1_player/settings.h"
#include "1_player/sound_output.h"
#include "2_screen/colors.h"
#include "2_screen/keys.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "2_screen/status_lines.h"
#include "3_panels/message_box.h"
#include "3_panels/number_editor.h"
#include "3_panels/panel_mover.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_runner.h"
#include "3_panels/panel_window.h"

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
    {"", OptionKind::blank},
    {"Save options", OptionKind::action},
};

namespace {

constexpr int kOptionsRows = panel_layout(PanelKind::options).rows;
constexpr int kItemCol = 3;
constexpr int kFirstRow = 2;
constexpr int kReverseStereoItem = 2;
constexpr int kMixingFrequencyItem = 7;
constexpr int kRefreshDelayItem = 13;

// Mode bits the software mixer and the output stream take only when the
// driver starts. Reverse stereo (read each time a voice is panned) and
// interpolation (read as each stretch is mixed) are heard at once without a
// restart.
constexpr unsigned kRestartBits = DMODE_16BITS | DMODE_STEREO | DMODE_SURROUND | DMODE_HQMIXER;

struct ModeFlag {
    int *flag;
    unsigned bit;
};

const ModeFlag kModeFlags[] = {
    {&output_16bits, DMODE_16BITS}, {&stereo, DMODE_STEREO},       {&reverse_stereo, DMODE_REVERSE},
    {&surround, DMODE_SURROUND},    {&interpolate, DMODE_INTERP}, {&hq_mixer, DMODE_HQMIXER},
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

unsigned bit_of(int item) {
    for (const ModeFlag &m : kModeFlags)
        if (m.flag == flag_of(item)) return m.bit;
    return 0;
}

void set_mode_bit(unsigned bit, bool on) {
    md_mode = static_cast<UWORD>(on ? (md_mode | bit) : (md_mode & ~bit));
}

// After a restart the check boxes follow the mode the driver took. The
// high-quality mixer always interpolates and adds the bit by itself; the
// Interpolate box keeps the user's choice, which counts again once that
// mixer is off.
void follow_mode() {
    set_mode_bit(DMODE_INTERP, interpolate != 0);
    for (const ModeFlag &m : kModeFlags) *m.flag = (md_mode & m.bit) ? 1 : 0;
}

// How many rows the items are scrolled up by, on a screen too short for
// the panel.
int item_offset = 0;

void draw_item(WINDOW *win, int item, bool selected) {
    set_attr(win, selected ? role_attr(ColorRole::selection) : kNormal);
    draw_option_item(win, item);
    set_attr(win, kNormal);
}

// The item the open panel has selected, for drawing it whole again.
int shown_selected = 0;

// Draws every item whose row the window shows, the selected one scrolled
// into view first, over a blank body.
void draw_items(WINDOW *win) {
    item_offset = scroll_to_show(item_offset, kFirstRow + shown_selected, getmaxy(win), kOptionsRows);
    set_attr(win, kNormal);
    for (int row = 1; row < getmaxy(win) - 1; ++row) put_blanks(win, row, 1, getmaxx(win) - 2);
    for (int item = 0; item < kOptionItemCount; ++item)
        if (option_items[item].kind != OptionKind::blank) draw_item(win, item, item == shown_selected);
}

void select_item(WINDOW *win, int &selected, int item) {
    const int offset = scroll_to_show(item_offset, kFirstRow + item, getmaxy(win), kOptionsRows);
    draw_item(win, selected, false);
    selected = item;
    shown_selected = item;
    if (offset != item_offset) {
        draw_items(win);
        return;
    }
    draw_item(win, selected, true);
}

// With the library: makes md_mode and md_mixfreq, already changed, take
// effect, restarting the driver when anything it reads at its start differs
// from `old_mode` and `old_mixfreq`. When the restart fails, the old mode
// and frequency come back and `message` says why (it is empty otherwise);
// the check boxes follow the mode actually in force.
void apply_with_library(unsigned old_mode, unsigned old_mixfreq, char *message, std::size_t size) {
    message[0] = '\0';
    const bool restart = ((md_mode ^ old_mode) & kRestartBits) != 0 || md_mixfreq != old_mixfreq;
    if (restart && restart_output() != 0) {
        std::snprintf(message, size, "Can't restart the sound output: %s.", MikMod_strerror(MikMod_errno));
        md_mode = static_cast<UWORD>(old_mode);
        md_mixfreq = static_cast<UWORD>(old_mixfreq);
        restart_output();
    }
    follow_mode();
}

// Back on the screen: the driver line, and the reason when it failed.
void show_output_outcome(const char *message) {
    draw_driver_line();
    if (message[0] == '\0') return;
    error_box(message);
}

void edit_mixing_frequency(WINDOW *win) {
    set_mixing_frequency(edit_number(win, kFirstRow + kMixingFrequencyItem - item_offset, option_items[kMixingFrequencyItem].label,
                                     24, NumberField::mixing_frequency, static_cast<int>(player_view().mixfreq)));
}

void edit_refresh_delay(WINDOW *win) {
    refresh_delay = edit_number(win, kFirstRow + kRefreshDelayItem - item_offset, option_items[kRefreshDelayItem].label, 21,
                                NumberField::refresh_delay, refresh_delay);
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
bool choose_item(WINDOW *win, int item) {
    switch (item) {
    case kMixingFrequencyItem: edit_mixing_frequency(win); return true;
    case kRefreshDelayItem: edit_refresh_delay(win); return true;
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

void draw_option_item(WINDOW *win, int item) {
    const OptionItem &o = option_items[item];
    const int row = kFirstRow + item - item_offset;
    if (row < 1 || row > getmaxy(win) - 2) return;  // scrolled out of a short window
    switch (o.kind) {
    case OptionKind::check_box: put_format(win, row, kItemCol, " [%c] %s ", *flag_of(item) ? 'X' : ' ', o.label); break;
    case OptionKind::number:
        put_format(win, row, kItemCol, " %s   [ %5d ] ", o.label,
                   item == kMixingFrequencyItem ? static_cast<int>(player_view().mixfreq) : refresh_delay);
        break;
    case OptionKind::action: put_format(win, row, kItemCol, " %s ", o.label); break;
    case OptionKind::blank: break;
    }
}

void set_mixing_frequency(int hz) {
    char message[kPathCapacity];
    player_call([&] {
        const unsigned old_mode = md_mode;
        const unsigned old_mixfreq = md_mixfreq;
        md_mixfreq = static_cast<UWORD>(hz);
        apply_with_library(old_mode, old_mixfreq, message, sizeof message);
    });
    show_output_outcome(message);
}

bool toggle_option(int item) {
    int *flag = flag_of(item);
    if (!flag) return false;
    if (item == kReverseStereoItem) {
        if (!switch_reverse_stereo()) return false;
    } else {
        *flag = 1 - *flag;
    }
    switch (item) {
    case 9: {
        const int loop = loop_module;
        player_post([loop] {
            if (module) module->loop = module->wrap = static_cast<BOOL>(loop);
        });
        return true;
    }
    case 10: {
        const int fade = fade_module;
        player_post([fade] {
            if (module) module->fadeout = static_cast<BOOL>(fade);
        });
        return true;
    }
    case 11: return true;
    default: break;
    }
    char message[kPathCapacity];
    player_call([&] {
        const unsigned old_mode = md_mode;
        set_mode_bit(bit_of(item), *flag != 0);
        if (item == 1 && !stereo && reverse_stereo) {
            reverse_stereo = 0;
            set_mode_bit(DMODE_REVERSE, false);
        }
        apply_with_library(old_mode, md_mixfreq, message, sizeof message);
    });
    show_output_outcome(message);
    return true;
}

namespace {

constexpr int kOptionsCloseKeys[] = {'q', kEscape};

}  // namespace

void options_panel() {
    PanelWindow pw;
    int selected = 0;
    PanelDescription desc = panel_description(PanelKind::options);
    desc.title = "Options";
    desc.close_keys = kOptionsCloseKeys;
    desc.on_key = [&](int key) {
        if (key == KEY_DOWN || key == KEY_UP || key == KEY_NPAGE || key == KEY_PPAGE) {
            select_item(pw.win, selected, next_option_item(selected, key));
        } else if (is_enter_key(key)) {
            if (choose_item(pw.win, selected)) draw_item(pw.win, selected, true);
        } else if (key == 'm') {
            move_panel_interactively(pw.panel);
        }
        return KeyResult::handled;
    };
    // A screen that shrank and grew again cut rows off: they are drawn anew.
    desc.draw = draw_items;
    shown_selected = 0;
    item_offset = 0;
    pw = open_panel(desc);
    run_panel(desc, pw);
}
