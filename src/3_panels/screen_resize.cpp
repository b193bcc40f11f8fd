#include "3_panels/screen_resize.h"

#include <curses.h>
#include <panel.h>

#include "1_player/player_thread.h"
#include "2_screen/channel_table.h"
#include "2_screen/information_rows.h"
#include "2_screen/main_window.h"
#include "2_screen/status_lines.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_window.h"

namespace {

// The panels that always open at their default corner open centred on the
// new screen.
void follow_default_corners() {
    for (const PanelLayout &layout : kPanelLayouts)
        if (layout.corner && layout.movable == MovableEntry::count)
            PanelPositions.*layout.corner = default_corner(layout, screen_cols(), screen_rows());
}

void redraw_main_window() {
    wresize(main_win, screen_rows(), screen_cols());
    draw_main_window_frame();
    // The markers start again on a row that shows the border and a blank.
    save_marker_cells();
    previous_cursor_channel = cursor_channel;
    if (!player_view().module) return;
    draw_information_rows();
    draw_driver_line();
    channel_page = cursor_channel / rows_per_page();
    draw_channel_table();
    redraw_status_lines();
}

}  // namespace

namespace {

// What the resizes left to do, the resize follower's own: the size the
// main window was last drawn for, and a resize key read since.
struct ResizeState {
    int drawn_rows = 0;
    int drawn_cols = 0;
    bool key_seen = false;
};

ResizeState resize;

}  // namespace

void note_resize_key() { resize.key_seen = true; }

void main_window_drawn_for_screen() {
    resize.drawn_rows = screen_rows();
    resize.drawn_cols = screen_cols();
}

bool follow_terminal_size() {
    if (!main_win) return false;
    const bool after_resize_key = resize.key_seen;
    resize.key_seen = false;
    if (screen_rows() == resize.drawn_rows && screen_cols() == resize.drawn_cols && !after_resize_key) return false;
    resize.drawn_rows = screen_rows();
    resize.drawn_cols = screen_cols();
    redraw_main_window();
    follow_default_corners();
    fit_open_panels();
    update_panels();
    doupdate();
    return true;
}
