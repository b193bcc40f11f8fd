// The pop-up panels' corners, as the options file keeps them: the corner
// of each panel that has one, and the options file's keys for those it
// saves. The panels' sizes and default corners are the panels' own
// (3_panels/panel_layouts.h).
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

// The corners in use: filled with the defaults at start-up, then from the
// options file, moved by the panel mover; the options file's reader and
// writer and the panels' openings share it, on the main path.
extern PanelPositionTable PanelPositions;

// A corner the options file saves, under its two keys. The file holds them
// in this order.
struct SavedCorner {
    const char *x_key;
    const char *y_key;
    PanelCorner PanelPositionTable::*corner;
};

inline constexpr SavedCorner kSavedCorners[] = {
    {"AC_X", "AC_Y", &PanelPositionTable::all_channels},
    {"VPOS_X", "VPOS_Y", &PanelPositionTable::voices_position},
    {"VFREQ_X", "VFREQ_Y", &PanelPositionTable::voices_frequency},
    {"OPT_X", "OPT_Y", &PanelPositionTable::options},
    {"EFT_X", "EFT_Y", &PanelPositionTable::effects},
};
