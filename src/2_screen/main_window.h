// The full-screen main window, the bottom of the panel stack, and the
// screen size it was made for.
#pragma once

#include <curses.h>
#include <panel.h>

// The screen's size: the terminal's, as curses has it since it last saw a
// resize. Everything that fits itself to the screen reads it here.
inline int screen_rows() { return LINES; }
inline int screen_cols() { return COLS; }

extern WINDOW *main_win;    // the full-screen main window; created and owned by start-up
extern PANEL *main_panel;   // its panel, the bottom of the panel stack

// Creates main_win with its border, the column header, the title row and
// the help hint, and its panel.
void create_main_window();

// Clears main_win and draws its static parts: the border, the column
// header, the title row and the help hint.
void draw_main_window_frame();
