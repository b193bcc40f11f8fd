// Following the terminal when its size changes.
//
// curses takes the new size when it sees the resize (at a key read or a
// screen update) and hands the key loop KEY_RESIZE; every key loop runs an
// idle step afterwards, and the idle step calls follow_terminal_size, so
// every loop follows without code of its own.
#pragma once

// When the screen's size differs from the one the main window was last
// drawn for: takes the new
// size, draws the main window anew for it (frame, information rows, driver
// line, status row, time box, playlist footer, and the channel table with
// as many rows as now fit, the page following the cursor), brings every
// open panel back inside the screen and updates the terminal. Does nothing
// otherwise, so a storm of resizes costs one redraw per size seen, but
// after note_resize_key it redraws even at the size last seen. Returns true
// when it took a new size or redrew.
bool follow_terminal_size();

// Notes that the main window was just drawn for the screen's size (at
// start-up).
void main_window_drawn_for_screen();

// Tells the next follow_terminal_size that a key loop read KEY_RESIZE:
// sizes that came and went between two steps leave curses' windows cut
// even when the size is the one last seen.
void note_resize_key();
