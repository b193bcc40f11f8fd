#include "3_panels/panel_positions.h"

#include <cstdlib>
#include <gtest/gtest.h>

#include "3_panels/panel_window.h"

// On the usual terminal every panel opens whole at its default corner:
// neither moved nor cut to fit.
TEST(PanelLayouts, EveryPanelOpensWholeAtItsDefaultCornerOnEightyByTwentyFour) {
    for (const PanelLayout &layout : kPanelLayouts) {
        const int rows = layout_rows(layout, 24);
        const PanelCorner corner = default_corner(layout, 80, 24);
        const WindowBox box = fit_window(rows, layout.cols, corner.y, corner.x, 24, 80);
        const int kind = static_cast<int>(layout.kind);
        EXPECT_EQ(box.rows, rows) << kind;
        EXPECT_EQ(box.cols, layout.cols) << kind;
        EXPECT_EQ(box.y, corner.y) << kind;
        EXPECT_EQ(box.x, corner.x) << kind;
    }
}

// A panel as high as the screen less a few rows opens centred on any
// screen: as many rows above it as below it, give or take one.
TEST(PanelLayouts, PanelsAsHighAsTheScreenStayCentred) {
    for (const PanelLayout &layout : kPanelLayouts) {
        if (layout.rows > 0) continue;
        for (int lines : {12, 24, 25, 50}) {
            const int rows = layout_rows(layout, lines);
            const int above = default_corner(layout, 80, lines).y;
            const int below = lines - above - rows;
            EXPECT_GE(above, 0) << lines;
            EXPECT_LE(std::abs(above - below), 1) << lines;
        }
    }
}

// The options file and the mover keep a corner where the panel reads it.
TEST(PanelLayouts, SavedAndMovedCornersAreThePanelsOwn) {
    for (const PanelLayout &layout : kPanelLayouts) {
        const int kind = static_cast<int>(layout.kind);
        if (layout.movable != MovableEntry::count) {
            ASSERT_NE(layout.corner, nullptr) << kind;
            EXPECT_EQ(&corner_of(layout.movable), &(PanelPositions.*layout.corner)) << kind;
            PanelPositions.*layout.corner = {7, 3};
            EXPECT_EQ(panel_corner(layout.kind).x, 7) << kind;
            EXPECT_EQ(panel_corner(layout.kind).y, 3) << kind;
        }
    }
    PanelPositions = default_panel_positions(80, 24);
    // Every corner the options file saves is a panel's, so its saved row
    // can be held to that panel's height.
    for (const SavedCorner &saved : kSavedCorners) {
        bool a_panels = false;
        for (const PanelLayout &layout : kPanelLayouts) a_panels = a_panels || layout.corner == saved.corner;
        EXPECT_TRUE(a_panels) << saved.x_key;
    }
}
