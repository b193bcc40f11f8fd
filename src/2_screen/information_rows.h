// The File and Title rows of the main screen: what is being played.
#pragma once

// Remembers the name and size of the file just loaded, for the File row.
void set_shown_file(const char *file_name, long long bytes);

// Draws the File and Title rows of the module being played again, for the
// current screen width.
void draw_information_rows();
