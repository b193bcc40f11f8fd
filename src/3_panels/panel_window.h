// Creating, titling and closing pop-up windows.
//
// Every window goes through fit_window first: a corner saved on a larger
// terminal, or a window bigger than the screen, is brought back inside the
// screen (moved, then cut to the screen's size), so newwin never fails and
// every key loop stays reachable and closable.
#pragma once

#include <curses.h>
#include <functional>
#include <panel.h>

struct WindowBox {
    int rows;
    int cols;
    int y;
    int x;
};

// The box actually used for a window of rows x cols wanted at (y, x) on a
// screen of screen_rows() x screen_cols(): at least 1 x 1, at most the screen,
// moved the least distance needed to lie wholly on the screen.
WindowBox fit_window(int rows, int cols, int y, int x, int screen_rows, int screen_cols);

// newwin with the box fitted to the current screen (screen_rows() x screen_cols()).
WINDOW *new_fitted_window(int rows, int cols, int y, int x);

// Draws the default line-drawing border, in the normal attribute.
void draw_default_border(WINDOW *win);

// The bracket frame at row 0, column 2, and the title in bold pair 4 at
// column 4; leaves the normal attribute set.
void draw_panel_title(WINDOW *win, const char *title);

struct PanelWindow {
    WINDOW *win = nullptr;
    PANEL *panel = nullptr;
};

// A pop-up panel window: fitted, reading keys without waiting, keypad on,
// default border, a new panel on top of the stack, and the title frame when
// `title` is not null.
PanelWindow open_panel_window(int rows, int cols, int y, int x, const char *title);

// Deletes the panel and its window, then repaints what lay beneath.
void close_panel_window(PanelWindow &pw);

// Called with a panel's window after a change of the screen's size has
// resized it: the window has been cleared and its border and title drawn
// again; the function draws the rest of the contents.
using PanelRedraw = std::function<void(WINDOW *win)>;

// Gives an open panel a redraw function for screen size changes. Panels
// without one keep their contents when resized, only their border is drawn
// again, so a panel whose contents are redrawn at every idle step needs
// none.
void set_panel_redraw(WINDOW *win, PanelRedraw redraw);

// Makes an open panel's height follow the screen's: screen_rows() - rows_less rows
// from now on (for panels opened screen_rows() - n rows high).
void set_panel_height_rule(WINDOW *win, int rows_less);

// Makes an open panel's width follow the screen's: screen_cols() columns from now
// on (for panels opened as wide as the screen).
void set_panel_full_width(WINDOW *win);

// After the screen's size has changed: brings every open panel back inside
// the screen, moved the least distance needed (as a saved corner that does
// not fit) and, where the screen is smaller than the panel, cut to it; a
// panel cut earlier grows back towards the size it was opened with.
void fit_open_panels();

// Draws every open panel that has a redraw function whole again: cleared,
// border, title, contents. After a storm of resizes curses may have cut a
// window and grown it back to the size it had, losing what it showed.
void redraw_open_panels();

// Pure: how many rows a panel's rows are scrolled up by so that `row`
// (counted in the whole panel) shows inside the border of its window of
// `rows` rows, cut from its `full_rows` on a short screen: `offset` is kept
// while the row shows, and 0 when the window is whole.
int scroll_to_show(int offset, int row, int rows, int full_rows);

// A transient notice ("Loading...", "Paused...", "Stopping..."): a plain
// bordered window without a panel, a timeout or keypad translation.
WINDOW *open_notice(int rows, int cols, int y, int x);

// Deletes a notice, touches every line of main_win and updates the screen.
void close_notice(WINDOW *&notice);
