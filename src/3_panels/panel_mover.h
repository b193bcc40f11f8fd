// Moving a pop-up panel with the arrow keys.
#pragma once

#include <panel.h>

// Moves `panel` one cell per arrow key, never past a screen edge, until
// Enter. On Enter, when the panel's window is the open window of a registry
// entry that keeps its corner, the corner is stored there.
void move_panel_interactively(PANEL *panel);
