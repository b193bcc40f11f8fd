#include "3_panels/message_box.h"

#include <algorithm>
#include <curses.h>
#include <span>

#include "2_screen/colors.h"
#include "2_screen/keys.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "3_panels/panel_runner.h"
#include "3_panels/panel_window.h"

int message_boxes_waiting = 0;

bool is_enter_key(int key) { return key == '\n' || key == KEY_ENTER; }

namespace {

// The box's text and button, drawn at opening and again after the screen
// shrank and grew.
void draw_box_contents(WINDOW *win, const char *message, int kind, int cells) {
    set_role(win, kind == kMessageError ? ColorRole::error : ColorRole::notice);
    put_text_field(win, 1, 2, message, cells);
    set_role(win, ColorRole::button_chosen);
    put_text(win, 4, std::max((cells + 4) / 2 - 3, 0), "[ OK ]");
    set_attr(win, kNormal);
}

}  // namespace

PanelWindow open_message_box(const char *message, int kind) {
    int n = text_cells(message);
    n = std::min(n, std::max(screen_cols() - 4, 0));
    int h = (n + 4) / 2;
    PanelWindow box = open_panel_window(6, n + 4, screen_rows() / 2 - 4, screen_cols() / 2 - h, nullptr);
    if (!box.win) return box;
    draw_box_contents(box.win, message, kind, n);
    set_panel_redraw(box.win, [message, kind, n](WINDOW *win) { draw_box_contents(win, message, kind, n); });
    update_panels();
    doupdate();
    return box;
}

namespace {

constexpr int kEnterKeys[] = {'\n', KEY_ENTER};
constexpr int kDismissKeys[] = {'\n', KEY_ENTER, 'q', kEscape};

// Every key but `close_keys` is read and dropped.
void wait_for_keys(WINDOW *win, std::span<const int> close_keys, bool (*close_early)()) {
    PanelDescription desc;
    desc.close_keys = close_keys;
    if (close_early) desc.close_when = close_early;
    ++message_boxes_waiting;
    run_panel_keys(desc, win);
    --message_boxes_waiting;
}

void show_box(const char *message, int kind, std::span<const int> close_keys, bool (*close_early)()) {
    PanelWindow box = open_message_box(message, kind);
    if (!box.win) return;
    wait_for_keys(box.win, close_keys, close_early);
    close_panel_window(box);
}

}  // namespace

void wait_for_enter(WINDOW *win, bool (*close_early)()) { wait_for_keys(win, kEnterKeys, close_early); }

void wait_for_dismissal(WINDOW *win, bool (*close_early)()) { wait_for_keys(win, kDismissKeys, close_early); }

void message_box_until(const char *message, int kind, bool (*close_early)()) {
    show_box(message, kind, kEnterKeys, close_early);
}

void message_box(const char *message, int kind) { message_box_until(message, kind, nullptr); }

void error_box(const char *message, bool (*close_early)()) {
    beep();
    message_box_until(message, kMessageError, close_early);
}

void dismissable_error_box(const char *message, bool (*close_early)()) {
    beep();
    show_box(message, kMessageError, kDismissKeys, close_early);
}
