// Where each pop-up panel opens: the registry of panel corners.
#pragma once

#include <curses.h>

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

// Fills PanelPositions with the defaults for the current COLS and LINES.
void compute_default_panel_positions();

// The registry entries whose corner the panel mover stores.
enum class MovableEntry {
    all_channels,
    help,
    voices_frequency,
    voices_position,
    effects,
    options,
    samples,
    count,
};

// The window currently open for an entry (nullptr when its panel is closed);
// panels set it when they open and clear it when they close.
void remember_panel_window(MovableEntry entry, WINDOW *win);
void forget_panel_window(WINDOW *win);

// The entry whose open window is `win`, searched in the mover's order, or
// MovableEntry::count when none matches.
MovableEntry entry_of_window(const WINDOW *win);

// The stored corner of an entry.
PanelCorner &corner_of(MovableEntry entry);
