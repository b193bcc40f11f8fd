#include "panels/message_box.h"

#include <algorithm>
#include <curses.h>

#include "display/screen_text.h"
#include "panels/colors.h"
#include "panels/idle.h"
#include "panels/panel_window.h"

int message_boxes_waiting = 0;

bool is_enter_key(int key) { return key == '\n' || key == KEY_ENTER; }

namespace {

// The open boxes' texts, for drawing them whole again after the screen
// shrank and grew (a box over a box is the most there is).
struct ShownBox {
    WINDOW *win;
    const char *message;
    int kind;
    int cells;
};
constexpr int kMostBoxes = 4;
ShownBox shown_boxes[kMostBoxes] = {};

void draw_box_contents(WINDOW *win) {
    for (const ShownBox &b : shown_boxes) {
        if (b.win != win) continue;
        set_attr(win, b.kind == kMessageError ? bold_pair(kRedOnBlack) : bold_pair(kGreenOnBlack));
        put_text_field(win, 1, 2, b.message, b.cells);
        set_attr(win, kReverse);
        put_text(win, 4, std::max((b.cells + 4) / 2 - 3, 0), "[ OK ]");
        set_attr(win, kNormal);
        return;
    }
}

void forget_box(WINDOW *win) {
    for (ShownBox &b : shown_boxes)
        if (b.win == win) b = ShownBox{};
}

}  // namespace

PanelWindow open_message_box(const char *message, int kind) {
    int n = text_cells(message);
    n = std::min(n, std::max(COLS - 4, 0));
    int h = (n + 4) / 2;
    PanelWindow box = open_panel_window(6, n + 4, LINES / 2 - 4, COLS / 2 - h, nullptr);
    if (!box.win) return box;
    for (ShownBox &b : shown_boxes) {
        if (b.win) continue;
        b = {box.win, message, kind, n};
        set_panel_redraw(box.win, draw_box_contents);
        break;
    }
    set_attr(box.win, kind == kMessageError ? bold_pair(kRedOnBlack) : bold_pair(kGreenOnBlack));
    put_text_field(box.win, 1, 2, message, n);
    set_attr(box.win, kReverse);
    put_text(box.win, 4, std::max(h - 3, 0), "[ OK ]");
    update_panels();
    doupdate();
    return box;
}

void wait_for_enter(WINDOW *win, bool (*close_early)()) {
    ++message_boxes_waiting;
    while (!is_enter_key(wgetch(win))) {
        live_refresh();
        if (close_early && close_early()) break;
    }
    --message_boxes_waiting;
}

void message_box_until(const char *message, int kind, bool (*close_early)()) {
    PanelWindow box = open_message_box(message, kind);
    if (!box.win) return;
    wait_for_enter(box.win, close_early);
    forget_box(box.win);
    close_panel_window(box);
}

void message_box(const char *message, int kind) { message_box_until(message, kind, nullptr); }

void error_box(const char *message, bool (*close_early)()) {
    beep();
    message_box_until(message, kMessageError, close_early);
}
