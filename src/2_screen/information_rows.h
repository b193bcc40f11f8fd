// The File and Title rows of the main screen: what is being played.
#pragma once

#include <cstddef>

// Draws the File and Title rows of the module being played again, for the
// current screen width.
void draw_information_rows();

// Pure: what the File row shows after the name of a member of a pack,
// "  [ in pack.zip ]" (`archive` is the pack's file name), or "" for a
// plain file.
void format_pack_note(char *out, std::size_t size, const char *archive);
