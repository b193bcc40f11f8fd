// The Help panel: the key summary in two columns.
#pragma once

#include "3_panels/panel_window.h"

// Opens the Help panel at its registry corner and runs it until q, Q or
// Escape; m moves it, and a moved corner is kept for the rest of the run.
void help_panel();

// The steps of help_panel: open_help_panel draws the panel on top of the
// stack, registers it with the mover and updates the screen; run_help_panel
// runs its key loop and closes it.
PanelWindow open_help_panel();
void run_help_panel(PanelWindow &help);
