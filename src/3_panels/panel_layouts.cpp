#include "3_panels/panel_layouts.h"

int layout_rows(const PanelLayout &layout, int lines) {
    return layout.rows > 0 ? layout.rows : lines - layout.rows_less;
}

PanelCorner default_corner(const PanelLayout &layout, int cols, int lines) {
    const int above = layout.rows > 0 ? layout.above_centre : (lines - layout.rows_less) / 2;
    return {cols / 2 - layout.left_of_centre, lines / 2 - above};
}

PanelPositionTable default_panel_positions(int cols, int lines) {
    PanelPositionTable t{};
    for (const PanelLayout &layout : kPanelLayouts)
        if (layout.corner) t.*layout.corner = default_corner(layout, cols, lines);
    return t;
}

void check_saved_rows(int lines) {
    // Compared without a sum, which a saved row near INT_MAX would overflow.
    for (const SavedCorner &saved : kSavedCorners)
        for (const PanelLayout &layout : kPanelLayouts) {
            if (layout.corner != saved.corner) continue;
            int &row = (PanelPositions.*saved.corner).y;
            if (row >= lines - layout_rows(layout, lines)) row = 2;
            break;
        }
}
