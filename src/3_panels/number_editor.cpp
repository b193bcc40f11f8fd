#include "3_panels/number_editor.h"

#include "1_player/setting_bounds.h"
#include "2_screen/colors.h"
#include "2_screen/screen_text.h"
#include "3_panels/panel_runner.h"

namespace {

constexpr int kItemCol = 3;
constexpr int kNumberEndKeys[] = {'\n', KEY_ENTER};

void draw_editor(WINDOW *win, int row, const char *label, int value_col, int value) {
    set_attr(win, kNormal);
    put_format(win, row, kItemCol, " %s   [       ] ", label);
    set_role(win, ColorRole::edit_field);
    put_format(win, row, value_col, " %5d ", value);
    set_attr(win, kNormal);
}

}  // namespace

NumberBounds number_bounds(NumberField field) {
    if (field == NumberField::mixing_frequency) {
        const SettingBounds b = setting_bounds(Setting::mixing_frequency);
        return {b.low, b.high, 100};
    }
    const SettingBounds b = setting_bounds(Setting::refresh_delay);
    return {b.low, b.high, 5};
}

int step_number(NumberField field, int value, int key) {
    const NumberBounds b = number_bounds(field);
    const SettingBounds within{b.low, b.high};
    switch (key) {
    case KEY_DOWN: return step_within(value, -1, within);
    case KEY_UP: return step_within(value, +1, within);
    case KEY_NPAGE: return step_within(value, -b.page_step, within);
    case KEY_PPAGE: return step_within(value, +b.page_step, within);
    case KEY_LEFT: return value / 2 < b.low ? b.low : value / 2;
    case KEY_RIGHT: return value >= b.high / 2 ? b.high : value * 2;
    default: return value;
    }
}

int edit_number(WINDOW *win, int row, const char *label, int value_col, NumberField field, int value) {
    draw_editor(win, row, label, value_col, value);
    PanelDescription desc;
    desc.close_keys = kNumberEndKeys;
    desc.on_key = [&](int key) {
        value = step_number(field, value, key);
        return KeyResult::handled;
    };
    // Drawn at every step: a panel drawn anew after a resize shows the
    // field again at the next one.
    desc.live_step = [&](int) { draw_editor(win, row, label, value_col, value); };
    run_panel_keys(desc, win);
    return value;
}
