#include "panels/panel_window.h"

#include <algorithm>
#include <cstring>

#include "app/settings.h"
#include "app/sound_output.h"
#include "app/startup.h"
#include "display/screen_text.h"
#include "panels/colors.h"

WindowBox fit_window(int rows, int cols, int y, int x, int screen_rows, int screen_cols) {
    screen_rows = std::max(screen_rows, 1);
    screen_cols = std::max(screen_cols, 1);
    WindowBox box{};
    box.rows = std::clamp(rows, 1, screen_rows);
    box.cols = std::clamp(cols, 1, screen_cols);
    box.y = std::clamp(y, 0, screen_rows - box.rows);
    box.x = std::clamp(x, 0, screen_cols - box.cols);
    return box;
}

WINDOW *new_fitted_window(int rows, int cols, int y, int x) {
    WindowBox box = fit_window(rows, cols, y, x, LINES, COLS);
    return newwin(box.rows, box.cols, box.y, box.x);
}

void draw_default_border(WINDOW *win) {
    if (win) wborder(win, 0, 0, 0, 0, 0, 0, 0, 0);
}

void draw_panel_title(WINDOW *win, const char *title) {
    if (!win || !title) return;
    int length = static_cast<int>(std::strlen(title));
    set_attr(win, kNormal);
    put_text(win, 0, 2, "[");
    put_blanks(win, 0, 3, length + 2);
    put_text(win, 0, 5 + length, "]");
    set_attr(win, bold_pair(kYellowOnBlack));
    put_text(win, 0, 4, title);
    set_attr(win, kNormal);
}

PanelWindow open_panel_window(int rows, int cols, int y, int x, const char *title) {
    PanelWindow pw;
    pw.win = new_fitted_window(rows, cols, y, x);
    if (!pw.win) return pw;
    wtimeout(pw.win, key_wait_ms());
    keypad(pw.win, TRUE);
    draw_default_border(pw.win);
    pw.panel = new_panel(pw.win);
    if (title) draw_panel_title(pw.win, title);
    return pw;
}

void close_panel_window(PanelWindow &pw) {
    if (pw.panel) del_panel(pw.panel);
    if (pw.win) delwin(pw.win);
    pw = PanelWindow{};
    update_panels();
    doupdate();
}

WINDOW *open_notice(int rows, int cols, int y, int x) {
    WINDOW *notice = new_fitted_window(rows, cols, y, x);
    draw_default_border(notice);
    return notice;
}

void close_notice(WINDOW *&notice) {
    if (notice) delwin(notice);
    notice = nullptr;
    // Repaint through the panel stack, so a notice shown over a pop-up panel
    // leaves that panel whole.
    if (main_win) wtouchln(main_win, 0, getmaxy(main_win), 1);
    update_panels();
    doupdate();
}
