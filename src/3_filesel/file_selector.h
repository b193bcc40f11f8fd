// The file selector: a modal panel for browsing directories and choosing a
// file, with a directory line and a File line edited by the line editor and
// the buttons "[ OK ]" and "[ Cancel ]". Playback goes on while it is open.
#pragma once

#include "1_player/settings.h"

extern char selector_file_name[kPathCapacity];  // the name on the File line; what OK returns
extern char chosen_dir[kPathCapacity];          // the directory shown when the selector last closed; the next opening starts there
extern int selector_button;     // 0 OK, 1 Cancel, 2 focus in the listing
extern int listing_page_drawn;  // the listing page on the screen

// The button that closed the selector; an accepted File line closes it as
// OK.
enum class SelectorButton { ok, cancel };

// What the user chose, as the selector closed.
struct FileChoice {
    SelectorButton button = SelectorButton::cancel;
    char name[kPathCapacity] = {};  // the name on the File line, possibly "": what OK chose
    char path[kPathCapacity] = {};  // name's full path in dir; "" when it would not fit
    char dir[kPathCapacity] = {};   // the directory shown at the close
};

// Runs the selector until OK, Cancel or an accepted File line, and returns
// what was chosen; the name and its path are filled in for Cancel too.
// Every exit leaves chosen_dir = dirname and listing_highlight 0; the
// working directory and the listing stay on the directory last shown.
FileChoice file_selector();

// The highlight's movement by a page key, as pure arithmetic on the listing
// of `count` entries with `page_rows` rows a page.
struct ListingCursor {
    int highlight;
    int page;
    int page_drawn;
};

// Applies KEY_DOWN, KEY_UP, KEY_NPAGE or KEY_PPAGE. Returns true when the
// page on the screen has to be drawn anew. The highlight never leaves the
// listing, and stays 0 in an empty one.
bool move_listing_cursor(ListingCursor &cursor, int key, int count, int page_rows);
