#include "3_panels/panel_window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "1_player/settings.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"

namespace {

// The open panels, with the size each asked for and the size it has now.
struct OpenPanel {
    WINDOW *win;
    PANEL *panel;
    int wanted_rows;
    int wanted_cols;
    int rows_less;  // > 0: the height follows the screen's
    bool full_width;  // the width follows the screen's
    int rows;
    int cols;
    char title[64];  // empty: none
    PanelRedraw redraw;
};

constexpr int kMaxOpenPanels = 32;
// The panels open now, owned by open_panel_window and close_panel_window.
OpenPanel open_panels[kMaxOpenPanels];
int open_panel_count = 0;

OpenPanel *open_panel_of(const WINDOW *win) {
    for (int i = 0; i < open_panel_count; ++i)
        if (open_panels[i].win == win) return &open_panels[i];
    return nullptr;
}

void remember_open_panel(const PanelWindow &pw, int rows, int cols, const char *title) {
    if (open_panel_count >= kMaxOpenPanels) return;
    OpenPanel &p = open_panels[open_panel_count++];
    p = {pw.win, pw.panel, rows, cols, 0, false, getmaxy(pw.win), getmaxx(pw.win), {}, {}};
    std::snprintf(p.title, sizeof p.title, "%s", title ? title : "");
}

// True while `p` is still a panel of the stack showing its window: a panel
// deleted without close_panel_window is never touched again.
bool still_open(const OpenPanel &p) {
    for (PANEL *q = panel_above(nullptr); q; q = panel_above(q))
        if (q == p.panel) return panel_window(q) == p.win;
    return false;
}

void forget_open_panel(const WINDOW *win) {
    for (int i = 0; i < open_panel_count; ++i) {
        if (open_panels[i].win != win) continue;
        open_panels[i] = open_panels[--open_panel_count];
        return;
    }
}

// Brings one panel inside the screen; redraws it when its size changed.
void fit_open_panel(OpenPanel &p) {
    const int wanted_rows = p.rows_less > 0 ? screen_rows() - p.rows_less : p.wanted_rows;
    const int wanted_cols = p.full_width ? screen_cols() : p.wanted_cols;
    const WindowBox box = fit_window(wanted_rows, wanted_cols, getbegy(p.win), getbegx(p.win), screen_rows(), screen_cols());
    const bool resized = box.rows != p.rows || box.cols != p.cols;
    if (resized && !p.redraw) {
        // The old border would stay inside a grown window.
        const int rows = std::min(p.rows, getmaxy(p.win));
        const int cols = std::min(p.cols, getmaxx(p.win));
        mvwhline(p.win, rows - 1, 0, ' ', cols);
        mvwvline(p.win, 0, cols - 1, ' ', rows);
    }
    // Shrink, move, then grow: a window never reaches past the screen.
    wresize(p.win, std::min(box.rows, getmaxy(p.win)), std::min(box.cols, getmaxx(p.win)));
    move_panel(p.panel, box.y, box.x);
    wresize(p.win, box.rows, box.cols);
    p.rows = box.rows;
    p.cols = box.cols;
    if (!resized) return;
    if (p.redraw) werase(p.win);
    draw_default_border(p.win);
    if (p.title[0] != '\0') draw_panel_title(p.win, p.title);
    if (p.redraw) p.redraw(p.win);
}

void redraw_open_panel(OpenPanel &p) {
    werase(p.win);
    draw_default_border(p.win);
    if (p.title[0] != '\0') draw_panel_title(p.win, p.title);
    p.redraw(p.win);
}

}  // namespace

void set_panel_redraw(WINDOW *win, PanelRedraw redraw) {
    if (OpenPanel *p = open_panel_of(win)) p->redraw = std::move(redraw);
}

void set_panel_height_rule(WINDOW *win, int rows_less) {
    if (OpenPanel *p = open_panel_of(win)) p->rows_less = rows_less;
}

void set_panel_full_width(WINDOW *win) {
    if (OpenPanel *p = open_panel_of(win)) p->full_width = true;
}

void fit_open_panels() {
    for (int i = 0; i < open_panel_count;) {
        if (still_open(open_panels[i])) {
            fit_open_panel(open_panels[i++]);
        } else {
            open_panels[i] = open_panels[--open_panel_count];
        }
    }
}

void redraw_open_panels() {
    for (int i = 0; i < open_panel_count; ++i)
        if (open_panels[i].redraw && still_open(open_panels[i])) redraw_open_panel(open_panels[i]);
}

int scroll_to_show(int offset, int row, int rows, int full_rows) {
    if (rows >= full_rows) return 0;
    const int last = rows - 2;  // the last row inside the border
    if (last < 1) return offset;
    if (row - offset > last) offset = row - last;
    if (row - offset < 1) offset = row - 1;
    return std::max(offset, 0);
}

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
    WindowBox box = fit_window(rows, cols, y, x, screen_rows(), screen_cols());
    return newwin(box.rows, box.cols, box.y, box.x);
}

void draw_default_border(WINDOW *win) {
    if (!win) return;
    // A redraw finds the window in whatever attribute was drawn last.
    set_attr(win, kNormal);
    draw_border(win);
}

void draw_panel_title(WINDOW *win, const char *title) {
    if (!win || !title) return;
    int length = static_cast<int>(std::strlen(title));
    set_attr(win, kNormal);
    put_text(win, 0, 2, "[");
    put_blanks(win, 0, 3, length + 2);
    put_text(win, 0, 5 + length, "]");
    set_role(win, ColorRole::panel_title);
    put_text(win, 0, 4, title);
    set_attr(win, kNormal);
}

PanelWindow open_panel_window(int rows, int cols, int y, int x, const char *title) {
    PanelWindow pw;
    pw.win = new_fitted_window(rows, cols, y, x);
    if (!pw.win) return pw;
    wtimeout(pw.win, 0);
    keypad(pw.win, TRUE);
    draw_default_border(pw.win);
    pw.panel = new_panel(pw.win);
    if (title) draw_panel_title(pw.win, title);
    remember_open_panel(pw, rows, cols, title);
    return pw;
}

void close_panel_window(PanelWindow &pw) {
    forget_open_panel(pw.win);
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
