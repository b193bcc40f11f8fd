// The status lines of the main screen: the status row (row 4), the time box
// on the bottom border, the title spinner and the driver line (row 3).
#pragma once

extern int spinner_off;  // 1 (the default) keeps the title spinner still

// Draws the status row, the time box, the playlist footer and the spinner.
void draw_status_row();

// Draws the output driver's name, the mode words and the mixing frequency.
void draw_driver_line();
