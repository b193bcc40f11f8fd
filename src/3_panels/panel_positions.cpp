#include "3_panels/panel_positions.h"

#include "2_screen/main_window.h"

namespace {

// The windows open now of the panels the mover stores corners for, owned by
// remember_panel_window and forget_panel_window.
WINDOW *open_windows[static_cast<int>(MovableEntry::count)] = {};

}  // namespace

PanelCorner panel_corner(PanelKind kind) {
    const PanelLayout &layout = panel_layout(kind);
    return layout.corner ? PanelPositions.*layout.corner : default_corner(layout, screen_cols(), screen_rows());
}

void compute_default_panel_positions() { PanelPositions = default_panel_positions(screen_cols(), screen_rows()); }

void remember_panel_window(MovableEntry entry, WINDOW *win) {
    if (entry != MovableEntry::count) open_windows[static_cast<int>(entry)] = win;
}

void forget_panel_window(WINDOW *win) {
    for (WINDOW *&w : open_windows)
        if (w == win) w = nullptr;
}

MovableEntry entry_of_window(const WINDOW *win) {
    if (!win) return MovableEntry::count;
    for (int i = 0; i < static_cast<int>(MovableEntry::count); ++i)
        if (open_windows[i] == win) return static_cast<MovableEntry>(i);
    return MovableEntry::count;
}

PanelCorner &corner_of(MovableEntry entry) {
    for (const PanelLayout &layout : kPanelLayouts)
        if (layout.movable == entry && layout.corner) return PanelPositions.*layout.corner;
    return PanelPositions.samples;
}
