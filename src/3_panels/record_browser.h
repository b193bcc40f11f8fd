// What the Instruments and Samples panels share: a window that shows one
// record of the module at a time above a separator and the three buttons
// "[ Next ]", "[ Prev ]" and "[ Quit ]".
#pragma once

#include <cstdint>
#include <curses.h>

#include "1_player/module_info.h"

#include "3_panels/panel_window.h"

inline constexpr int kBrowserCols = 54;
inline constexpr int kBrowserButtons = 3;  // 0 Next, 1 Prev, 2 Quit

// What sets one browser apart from the other.
struct RecordKind {
    const char *title;
    int rows;
    int separator_row;
    int button_row;
    bool movable;              // `m` moves the panel (its corner is kept)
    const char *none_message;  // shown once when the module has no records
    int (*count)(const ModuleInfo &m);  // records that can be read
    void (*draw)(WINDOW *win, const ModuleInfo &m, int index);
    void (*clear)(WINDOW *win);  // blanks the fields
};

struct RecordBrowser {
    const RecordKind *kind = nullptr;
    PanelWindow pw;
    std::uint64_t shown_module = 0;         // the load number of the module whose record is shown
    int index = 0;                          // record shown, 0-based
    int button = 0;                         // selected button
    int drawn_rows = 0;                     // the window's size when drawn
    int drawn_cols = 0;
};

// Opens the panel at (y, x): title, separator, the first record (or the
// "none" notice, waited out before returning) and the buttons, Next
// selected.
RecordBrowser open_record_browser(const RecordKind &kind, int y, int x);

// Carries out one key (ERR for a timeout), runs the idle step when the
// panel stays open, and returns false when the panel is to close. Another
// module loaded under the panel starts it again at its first record; a
// window resized with the screen is drawn again whole.
bool record_browser_key(RecordBrowser &browser, int key);

// Reads keys until the panel is left, then closes it.
void run_record_browser(RecordBrowser &browser);

// Deletes the panel and its window and repaints the main window whole.
void close_record_browser(RecordBrowser &browser);

// Pure helpers.
// The button left of or right of `button`, staying at the ends.
int button_after_key(int button, int key);
// The record index after Enter on `button` with `count` records; the same
// index when there is nowhere to go.
int index_after_enter(int index, int button, int count);

// Drawing helpers of the records: a bold label at column 1, then the
// value in the normal attribute, never past the border.
void put_field(WINDOW *win, int row, const char *label, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
// A bold label, then a name from the module written as text (control bytes
// as placeholders), cut at the border and blank-padded up to it (at least
// `width` cells are reserved for the name).
void put_name_field(WINDOW *win, int row, const char *label, const char *name, int width);
