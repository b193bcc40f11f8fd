#include "panels/panel_positions.h"

PanelPositionTable PanelPositions{};

namespace {

WINDOW *open_windows[static_cast<int>(MovableEntry::count)] = {};

}  // namespace

int layout_rows(const PanelLayout &layout, int lines) {
    return layout.rows > 0 ? layout.rows : lines - layout.rows_less;
}

PanelCorner default_corner(const PanelLayout &layout, int cols, int lines) {
    const int above = layout.rows > 0 ? layout.above_centre : (lines - layout.rows_less) / 2;
    return {cols / 2 - layout.left_of_centre, lines / 2 - above};
}

PanelCorner panel_corner(PanelKind kind) {
    const PanelLayout &layout = panel_layout(kind);
    return layout.corner ? PanelPositions.*layout.corner : default_corner(layout, COLS, LINES);
}

PanelPositionTable default_panel_positions(int cols, int lines) {
    PanelPositionTable t{};
    for (const PanelLayout &layout : kPanelLayouts)
        if (layout.corner) t.*layout.corner = default_corner(layout, cols, lines);
    return t;
}

void compute_default_panel_positions() { PanelPositions = default_panel_positions(COLS, LINES); }

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
