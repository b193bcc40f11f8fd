// The playlist editor: the list on the left, ten buttons on the right.
// Add file, Add dir, Remove, Clear, Move up, Move down, Info, Load, Save and
// Done, which starts playing the list; `q` closes without starting.
#pragma once

#include <cstddef>
#include <curses.h>

// Where the editor's list stands.
struct PlaylistView {
    int selected;  // the entry chosen in the list
    int page;      // the page of the list shown (screen_rows() - 4 rows a page)
};
extern PlaylistView playlist_view;  // owned by playlist_panel(): kept from one opening to the next

extern const char *const playlist_buttons[10];  // the button labels, top to bottom

// What the list selection does on Enter.
enum PlaylistAction { kBrowse = 0, kRemove = 1, kMoveUp = 2, kMoveDown = 3, kInfo = 4 };

// How the panel was left: Done, or `q` (quit without starting).
enum class PlaylistExit { done, quit };

// Opens the panel on playlist_view, runs its key loop, closes it, and
// starts the playlist when Done was chosen with a non-empty list. Returns
// how it was left.
PlaylistExit playlist_panel();

// Draws page view.page of the list in the editor's window `win` (rows cut
// to the list area, which ends before the column of buttons) and the entry
// count.
void draw_playlist(WINDOW *win, const PlaylistView &view);

// The list selection in the editor's window: the arrow and page keys move
// view's selection, Tab or Escape leave, Enter carries out `action` (one
// Remove, Move up or Move down ends the selection; Info shows the module's
// information while nothing plays).
void playlist_select(WINDOW *win, PlaylistView &view, int action);

// Keeps view.selected inside the list (0 for an empty one) and view.page on
// the page that holds it.
void keep_selection_in_list(PlaylistView &view);

// The selection's movement by KEY_DOWN, KEY_UP, KEY_NPAGE or KEY_PPAGE in a
// list of `count` entries with `rows` rows a page. Returns true when the
// page shown has to be drawn anew.
struct ListSelection {
    int selected;
    int page;
};
bool move_list_selection(ListSelection &selection, int key, int count, int rows);

// The text of list row `k` (0-based): "%3d: dir/name" for an entry,
// "%3d: EMPTY" padded to 48 columns past the list's end.
void format_list_row(char *out, std::size_t size, int k);
