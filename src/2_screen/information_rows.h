// The File and Title rows of the main screen: what is being played.
#pragma once

#include <cstddef>

// Draws the File and Title rows of the module being played again, for the
// current screen width.
void draw_information_rows();

// Pure: the name the File row shows for the module at `path`: its file
// name, and for a member of a pack "song.xm  [ in pack.zip ]" (`archive`
// is the pack's file name, "" for a plain file).
void file_row_name(char *out, std::size_t size, const char *path, const char *archive);
