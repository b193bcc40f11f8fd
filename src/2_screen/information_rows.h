// The File and Title rows of the main screen: what is being played.
#pragma once

// Draws the File and Title rows of the module being played again, for the
// current screen width.
void draw_information_rows();
