#include "3_panels/record_browser.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "1_player/player_thread.h"
#include "2_screen/colors.h"
#include "2_screen/keys.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "3_panels/idle.h"
#include "3_panels/message_box.h"
#include "3_panels/panel_mover.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_runner.h"

namespace {

constexpr int kButtonCols[kBrowserButtons] = {5, 23, 41};
constexpr const char *kButtonTexts[kBrowserButtons] = {"[ Next ]", "[ Prev ]", "[ Quit ]"};
constexpr int kButtonNext = 0;
constexpr int kButtonPrev = 1;
constexpr int kButtonQuit = 2;

void draw_separator(WINDOW *win, int row) {
    set_attr(win, kNormal);
    const int cols = getmaxx(win);
    mvwaddch(win, row, 0, ACS_LTEE);
    mvwhline(win, row, 1, ACS_HLINE, cols - 2);
    mvwaddch(win, row, cols - 1, ACS_RTEE);
}

// Where a button stands: its own place in a whole window; in one cut to a
// narrow or short screen, spread over the width that is left and on the
// last row inside the border, so all three stay to be seen and pressed.
int button_col(WINDOW *win, int button) {
    const int cols = getmaxx(win);
    if (cols >= kBrowserCols) return kButtonCols[button];
    const int slot = std::max((cols - 2) / kBrowserButtons, 1);
    constexpr int kButtonCells = 8;
    return 1 + button * slot + std::max((slot - kButtonCells) / 2, 0);
}

int button_row(const RecordBrowser &browser) {
    return std::max(std::min(browser.kind->button_row, getmaxy(browser.pw.win) - 2), 1);
}

void draw_button(const RecordBrowser &browser, int button) {
    WINDOW *win = browser.pw.win;
    set_attr(win, button == browser.button ? role_attr(ColorRole::button_chosen) : kNormal);
    put_text(win, button_row(browser), button_col(win, button), kButtonTexts[button], getmaxx(win) - 1);
    set_attr(win, kNormal);
}

int record_count(const RecordKind &kind) {
    const ModuleInfoPtr &module = player_view().module;
    return module ? kind.count(*module) : 0;
}

// Shows the record at browser.index of the current module, or blanks the
// fields when it has none.
void show_record(RecordBrowser &browser) {
    if (browser.index < record_count(*browser.kind))
        browser.kind->draw(browser.pw.win, *player_view().module, browser.index);
    else
        browser.kind->clear(browser.pw.win);
    // On a short screen the buttons stand over the record's last rows.
    if (button_row(browser) != browser.kind->button_row)
        for (int b = 0; b < kBrowserButtons; ++b) draw_button(browser, b);
}

// Everything but the border: title, record, separator, buttons.
void draw_browser(RecordBrowser &browser) {
    WINDOW *win = browser.pw.win;
    browser.drawn_rows = getmaxy(win);
    browser.drawn_cols = getmaxx(win);
    draw_panel_title(win, browser.kind->title);
    draw_separator(win, browser.kind->separator_row);
    show_record(browser);
    for (int b = 0; b < kBrowserButtons; ++b) draw_button(browser, b);
}

}  // namespace

int button_after_key(int button, int key) {
    if (key == KEY_LEFT) return std::max(button - 1, kButtonNext);
    if (key == KEY_RIGHT) return std::min(button + 1, kButtonQuit);
    return button;
}

int index_after_enter(int index, int button, int count) {
    if (button == kButtonNext && index < count - 1) return index + 1;
    if (button == kButtonPrev && index > 0 && index - 1 < count) return index - 1;
    return index;
}

void put_field(WINDOW *win, int row, const char *label, const char *format, ...) {
    char value[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(value, sizeof value, format, args);
    va_end(args);
    RowWriter{win, row, 1, getmaxx(win) - 1}.put(role_attr(ColorRole::label), label).put(kNormal, value);
}

void put_name_field(WINDOW *win, int row, const char *label, const char *name, int width) {
    const int limit = getmaxx(win) - 1;
    RowWriter writer{win, row, 1, limit};
    writer.put(role_attr(ColorRole::label), label);
    set_attr(win, kNormal);
    const int written = put_text(win, row, writer.col, name ? name : "", limit);
    // Blanks to the border, not only to `width`: a longer name shown before
    // may have run past it.
    const int end = std::max(limit, writer.col + width);
    put_blanks(win, row, writer.col + written, std::min(end, limit) - writer.col - written);
}

RecordBrowser open_record_browser(const RecordKind &kind, int y, int x) {
    RecordBrowser browser;
    browser.kind = &kind;
    browser.pw = open_panel_window(kind.rows, kBrowserCols, y, x, kind.title);
    if (!browser.pw.win) return browser;
    browser.shown_module = loaded_module_number(player_view());
    draw_browser(browser);
    if (record_count(kind) == 0) {
        error_box(kind.none_message);
    }
    return browser;
}

namespace {

// The browser's own keys: the buttons, Enter on them, m for a movable one.
KeyResult browser_key(RecordBrowser &browser, int key) {
    if (key == KEY_LEFT || key == KEY_RIGHT) {
        const int old = browser.button;
        browser.button = button_after_key(browser.button, key);
        draw_button(browser, old);
        draw_button(browser, browser.button);
    } else if (is_enter_key(key)) {
        if (browser.button == kButtonQuit) return KeyResult::closed;
        const int index = index_after_enter(browser.index, browser.button, record_count(*browser.kind));
        if (index != browser.index) {
            browser.index = index;
            show_record(browser);
        }
    } else if (key == 'q' || key == kEscape) {
        return KeyResult::closed;
    } else if (key == 'm' && browser.kind->movable) {
        move_panel_interactively(browser.pw.panel);
    }
    return KeyResult::handled;
}

// The playlist moved on: start again at the new module's first record.
void follow_browser_module(RecordBrowser &browser) {
    browser.shown_module = loaded_module_number(player_view());
    browser.index = 0;
}

}  // namespace

bool record_browser_key(RecordBrowser &browser, int key) {
    if (!browser.pw.win) return false;
    if (loaded_module_number(player_view()) != browser.shown_module) {
        follow_browser_module(browser);
        show_record(browser);
    }
    if (getmaxy(browser.pw.win) != browser.drawn_rows || getmaxx(browser.pw.win) != browser.drawn_cols)
        draw_browser(browser);
    if (browser_key(browser, key) == KeyResult::closed) return false;
    idle_step();
    return true;
}

void run_record_browser(RecordBrowser &browser) {
    PanelDescription desc;
    desc.title = browser.kind ? browser.kind->title : nullptr;
    desc.on_key = [&browser](int key) { return browser_key(browser, key); };
    desc.draw = [&browser](WINDOW *) { draw_browser(browser); };
    desc.module_changed = [&browser] { follow_browser_module(browser); };
    run_panel(desc, browser.pw);
}

void close_record_browser(RecordBrowser &browser) { close_panel(browser.pw); }
