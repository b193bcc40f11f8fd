// The corners the pop-up panels open at, as the options file keeps them.
#pragma once

// A top-left corner in screen cells.
struct PanelCorner {
    int x;  // column
    int y;  // row
};

// Corners of the ten registered panels. The first five are saved in the
// options file; help and samples keep a moved corner for the run; the file
// selector and playlist panels always reopen at their default.
struct PanelPositionTable {
    PanelCorner all_channels;  // shared by the All channels and All voices monitors
    PanelCorner voices_frequency;
    PanelCorner voices_position;
    PanelCorner effects;
    PanelCorner options;
    PanelCorner help;
    PanelCorner samples;
    PanelCorner instruments;
    PanelCorner file_selector;
    PanelCorner playlist;
};

extern PanelPositionTable PanelPositions;

// The defaults for a terminal of `cols` x `lines` (integer division
// truncating toward zero, so the corners may be negative on tiny screens).
PanelPositionTable default_panel_positions(int cols, int lines);
