// The Instruments panel (`W`): the module's instruments one at a time, with
// their name, flags, panning and global volume.
#pragma once

#include <curses.h>

#include "1_player/module_info.h"

#include "3_panels/panel_positions.h"
#include "3_panels/record_browser.h"

inline constexpr int kInstrumentsRows = panel_layout(PanelKind::instruments).rows;

// Draws the fields of one instrument; `number` is its 1-based position,
// `count` the module's number of instruments.
void draw_instrument(WINDOW *window, const InstrumentInfo &instrument, int number, int count);

// The panel at its corner with the first instrument shown, or, for a module
// without instruments, after the "No instruments in this module." box.
RecordBrowser open_instruments_panel();

// Opens the panel and runs it until it is left.
void instruments_panel();
