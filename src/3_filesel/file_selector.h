// The file selector: a modal panel for browsing directories and choosing a
// file, with a directory line and a File line edited by the line editor and
// the buttons "[ OK ]" and "[ Cancel ]". Playback goes on while it is open.
#pragma once

#include "1_player/settings.h"
#include "3_filesel/directory_listing.h"

// What the file selector keeps from one opening to the next.
struct SelectorMemory {
    // The directory shown when the selector last closed, where the next
    // opening starts; "" until then, for $PWD or the working directory.
    char start_dir[kPathCapacity];
};
extern SelectorMemory selector_memory;  // owned by file_selector(): read as it opens, written as it closes

// The button that closed the selector; an accepted File line closes it as
// OK.
enum class SelectorButton { ok, cancel };

// What the user chose, as the selector closed.
struct FileChoice {
    SelectorButton button = SelectorButton::cancel;
    char name[kPathCapacity] = {};  // the name on the File line, possibly "": what OK chose
    char path[kPathCapacity] = {};  // name's full path in dir; "" when it would not fit
    char dir[kPathCapacity] = {};   // the directory shown at the close
    DirectoryListing listing;       // dir's entries as listed at the close, for the playlist's Add dir
};

// Runs the selector until OK, Cancel or an accepted File line, and returns
// what was chosen; the name and its path are filled in for Cancel too (a
// window that could not be opened is a Cancel with nothing filled in). The
// working directory stays on the directory last shown, which the next
// opening starts in.
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
