#include "3_panels/panel_mover.h"

#include <curses.h>

#include "2_screen/main_window.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_runner.h"

namespace {

constexpr int kMoverCloseKeys[] = {'\n', KEY_ENTER};

}  // namespace

void move_panel_interactively(PANEL *panel) {
    WINDOW *win = panel ? panel_window(panel) : nullptr;
    if (!win) return;
    PanelDescription desc;
    desc.close_keys = kMoverCloseKeys;
    desc.on_key = [panel, win](int key) {
        // A resize of the screen may have moved or cut the window meanwhile.
        const int row = getbegy(win);
        const int col = getbegx(win);
        const int rows = getmaxy(win);
        const int cols = getmaxx(win);
        int new_row = row;
        int new_col = col;
        switch (key) {
        case KEY_DOWN:
            if (row < screen_rows() - rows) ++new_row;
            break;
        case KEY_UP:
            if (row > 0) --new_row;
            break;
        case KEY_LEFT:
            if (col > 0) --new_col;
            break;
        case KEY_RIGHT:
            if (col < screen_cols() - cols) ++new_col;
            break;
        default: break;
        }
        if (new_row != row || new_col != col) move_panel(panel, new_row, new_col);
        return KeyResult::handled;
    };
    run_panel_keys(desc, win);
    MovableEntry entry = entry_of_window(win);
    if (entry != MovableEntry::count) corner_of(entry) = {getbegx(win), getbegy(win)};
}
