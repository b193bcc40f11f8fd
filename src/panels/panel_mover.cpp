#include "panels/panel_mover.h"

#include <curses.h>

#include "panels/idle.h"
#include "panels/message_box.h"
#include "panels/panel_positions.h"

void move_panel_interactively(PANEL *panel) {
    WINDOW *win = panel ? panel_window(panel) : nullptr;
    if (!win) return;
    int row = getbegy(win);
    int col = getbegx(win);
    for (;;) {
        int key = wgetch(win);
        // A resize of the screen may have moved or cut the window meanwhile.
        row = getbegy(win);
        col = getbegx(win);
        const int rows = getmaxy(win);
        const int cols = getmaxx(win);
        if (is_enter_key(key)) break;
        int new_row = row;
        int new_col = col;
        switch (key) {
        case KEY_DOWN:
            if (row < LINES - rows) ++new_row;
            break;
        case KEY_UP:
            if (row > 0) --new_row;
            break;
        case KEY_LEFT:
            if (col > 0) --new_col;
            break;
        case KEY_RIGHT:
            if (col < COLS - cols) ++new_col;
            break;
        default: break;
        }
        if ((new_row != row || new_col != col) && move_panel(panel, new_row, new_col) == OK) {
            row = new_row;
            col = new_col;
        }
        refresh_then_compose();
    }
    MovableEntry entry = entry_of_window(win);
    if (entry != MovableEntry::count) corner_of(entry) = {col, row};
}
