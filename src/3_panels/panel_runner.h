// One loop body for every pop-up panel: a panel is described once, as a
// PanelDescription, and run_panel owns its whole life: it opens the
// window, draws it, waits for keys, runs the idle step, follows resizes and
// module changes, and closes it. Panels that open panels nest by calling
// run_panel again from a key handler.
#pragma once

#include <curses.h>
#include <functional>
#include <span>

#include "2_screen/key_table.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_window.h"

struct PanelDescription {
    // Where and how large the window opens (fitted to the screen), and the
    // title drawn in its frame (null: none).
    int rows = 0;
    int cols = 0;
    int y = 0;
    int x = 0;
    const char *title = nullptr;
    // Raised to the top of the stack once open (for panels opened over a
    // panel that may have been raised itself).
    bool on_top = false;
    // The panel mover's entry for this panel, remembered while it is open,
    // so a moved corner is stored; MovableEntry::count for none.
    MovableEntry movable = MovableEntry::count;
    // The keys that close the panel before any handler sees them.
    std::span<const int> close_keys;
    // The panel's own keys: first its table, then `on_key`.
    KeyTable keys;
    std::function<KeyResult(int key)> on_key;
    // Whether the keys the panel leaves (passed) go on to the command keys.
    bool passes_to_command_keys = false;
    // Draws the whole contents; the window has been cleared and its border
    // and title drawn. Called on open, after a resize and after a module
    // change.
    std::function<void(WINDOW *win)> draw;
    // Runs at every idle step, right after the player's snapshot is taken
    // afresh, with the key just read (ERR after a timeout).
    std::function<void(int key)> live_step;
    // Runs when another module has been loaded since the last step, before
    // the panel is drawn whole again; panels that do not show the module
    // leave it empty and are not redrawn.
    std::function<void()> module_changed;
    // Asked before every wait for a key (so after every idle step): true
    // closes the panel. It may ask the wait to end at a time (wake_at_ms).
    std::function<bool()> close_when;
    // Runs just before the window is deleted.
    std::function<void()> on_close;
    // Whether closing touches the whole main window, so that what lay
    // beneath is repainted from it.
    bool repaint_main_on_close = true;
};

// A description whose window opens where the layout table puts `kind`: its
// height on the current screen, its width, its corner (kept or default) and
// its panel mover entry. The caller adds the rest.
PanelDescription panel_description(PanelKind kind);

// Opens the panel's window, draws it whole and updates the screen. The
// window is empty (win null) when it could not be made.
PanelWindow open_panel(const PanelDescription &desc);

// Runs the key loop of a panel opened by open_panel until a close key, a
// handler that closes it or `close_when`, then closes it. Each pass reads a
// key (waiting at most refresh_delay), hands it on (close keys, the
// panel's table, on_key, then the command keys when it passes them on),
// and runs the idle step, which composes the screen even while nothing
// plays. After KEY_RESIZE every open panel is drawn whole again.
void run_panel(const PanelDescription &desc, PanelWindow &pw);

// The loop of run_panel alone, for a window its owner closes: returns when
// the panel would close.
void run_panel_keys(const PanelDescription &desc, WINDOW *win);

// open_panel then run_panel.
void run_panel(const PanelDescription &desc);

// Closes a panel: forgets it with the mover, touches the whole main window
// when `repaint_main` (so that what lay beneath is repainted from it),
// deletes the panel and its window and updates the screen.
void close_panel(PanelWindow &pw, bool repaint_main = true);

// Draws a panel's window whole: cleared, border, title, then `draw`.
void draw_panel_whole(WINDOW *win, const char *title, const std::function<void(WINDOW *)> &draw);
