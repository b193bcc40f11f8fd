// Where each pop-up panel opens: the registry of the panels' open windows
// for the panel mover, and the corners on the current screen.
#pragma once

#include <curses.h>

#include "3_panels/panel_layouts.h"

// Fills PanelPositions with the defaults for the current screen_cols() and screen_rows().
void compute_default_panel_positions();

// The window currently open for an entry (nullptr when its panel is closed);
// panels set it when they open and clear it when they close.
void remember_panel_window(MovableEntry entry, WINDOW *win);
void forget_panel_window(WINDOW *win);

// The entry whose open window is `win`, searched in the mover's order, or
// MovableEntry::count when none matches.
MovableEntry entry_of_window(const WINDOW *win);

// The stored corner of an entry.
PanelCorner &corner_of(MovableEntry entry);

// Where a panel opens now: its kept corner, or its default on the current
// screen when it keeps none.
PanelCorner panel_corner(PanelKind kind);
