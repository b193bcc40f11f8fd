// The full-screen main window, the bottom of the panel stack, and the
// screen size it was made for.
#pragma once

#include <curses.h>
#include <panel.h>

extern int screen_cols;  // COLS of the main window: at set-up, then after each resize
extern int screen_rows;  // LINES of the main window: at set-up, then after each resize
extern WINDOW *main_win;    // the full-screen main window
extern PANEL *main_panel;   // its panel, the bottom of the panel stack

// Creates main_win with its border, the column header, the title row and
// the help hint, and its panel.
void create_main_window();

// Clears main_win and draws its static parts: the border, the column
// header, the title row and the help hint.
void draw_main_window_frame();
