// The pattern view: the pattern being played, as the module's tracker
// shows it, following the music row by row.
//
// The panel fills the screen below the status row. Its top border carries
// the pattern and order position, the row under it names the channels, and
// the body shows the rows around the current one, which stays highlighted
// on the middle line while the rows scroll past it: one line of row number
// and, for as many channels as fit, a cell "C-4 01 v64 A0F" each (note,
// instrument, volume column, effect) in the notation of the module's
// format, coloured by what each part does; muted channels are dimmed.
//
// Space freezes the view where it is; the arrow and page keys, Home, End,
// `[` and `]` then browse rows and order positions while the music plays
// on, and Space again returns to the row being played. Left and Right
// scroll through the channels, `m` moves the panel, `q` and Escape close
// it; every other key goes to the command keys, so `n`, `v`, `a`, `A` and
// the playlist's keys work here and the view follows them at once.
#pragma once

#include <cstdint>

#include "1_player/module_info.h"
#include "2_screen/cell_notation.h"
#include "2_screen/key_table.h"
#include "2_screen/keys.h"
#include "3_panels/panel_window.h"

// What the view reads of the playback at each step: the module's
// description (its patterns and tracks) and where the song is.
struct PatternViewPlayhead {
    ModuleInfoPtr module;            // the module loaded, or none
    bool in_song = false;            // the position lies inside the order list
    int position = 0;                // order position being played, 0-based
    int pattern = 0;                 // the pattern at that position, 0-based
    int row = 0;                     // row being played
    std::uint64_t muted = 0;         // bit n set: channel n is muted (channels 0 to 63)
};

// Reads the playhead from the player's snapshot.
PatternViewPlayhead read_playhead();

// Layout, in cells of the panel's window.
inline constexpr int kPatternViewTop = 5;  // screen row of the panel: below the status row
inline constexpr int kChannelHeaderRow = 1;
inline constexpr int kFirstBodyRow = 2;
inline constexpr int kFirstCellColumn = 5;  // after the border, the row number and a separator
inline constexpr int kChannelColumns = kCellTextWidth + 1;  // a cell and the separator before the next

// Pure helpers of the layout.
// How many channels of `channels` fit a window `cols` wide: at least one
// when there is any, however narrow the window.
int visible_channels(int cols, int channels);
// Body lines of a window `rows` high (it has a border, a title and a
// channel row), at least 0.
int body_lines(int rows);
// The line of the body that shows the current row.
int middle_line(int lines);
// The first column of the cell of the `slot`-th channel shown.
int channel_column(int slot);
// The first channel shown, kept so that the last shown is a channel of the
// module: between 0 and channels - shown.
int clamp_first_channel(int first, int channels, int shown);

// A row of the song the frozen view shows.
struct BrowsePoint {
    int position;
    int row;
};

// Where a browsing key (Up, Down, Page Up, Page Down, Home, End, `[`,
// `]`) takes the frozen view in `m`: rows stay inside the pattern, `[` and
// `]` go to the previous and next order position (the row kept inside the
// new pattern), pages move `page` rows. Other keys change nothing but to
// bring `at` inside the song.
BrowsePoint browse_step(const ModuleInfo &m, BrowsePoint at, int key, int page);

// True for the keys browse_step knows.
bool is_browse_key(int key);

// An open pattern view and what it shows. It holds the description of the
// module it shows for as long as it shows it, whatever the player loads
// meanwhile.
struct PatternView {
    PanelWindow pw;
    ModuleInfoPtr shown_module;
    Notation notation = Notation::protracker;
    bool drawn = false;  // the whole view is on the window
    int position = -1;   // order position shown
    int pattern = -1;    // pattern shown
    int row = -1;        // row on the middle line
    int first_channel = 0;   // the first channel asked for (Left, Right)
    int drawn_first = 0;     // the first channel shown
    int shown_channels = 0;
    std::uint64_t muted = 0;
    int drawn_rows = 0;  // the window's size when drawn
    int drawn_cols = 0;
    bool frozen = false;
    BrowsePoint browse{0, 0};
};

// Opens the panel below the status row, as wide as the screen, its height
// and width following the screen's. Nothing is drawn in it yet.
void open_pattern_view(PatternView &view);

// Brings the view up to `head` (or, frozen, to its browse point): a new
// pattern, position, module, channel range, mute or window size draws it
// whole; a new row in the same pattern scrolls the body and draws only the
// lines that change. Another module thaws a frozen view and shows its first
// channels. Past the song's end the last row drawn stays. Returns true
// when the middle row changed.
bool update_pattern_view(PatternView &view, const PatternViewPlayhead &head);

// Carries out one key (ERR for a timeout); returns false when the key
// closes the view.
bool pattern_view_key(PatternView &view, int key);

// Reads keys until `q` or Escape; after each key or timeout it brings the
// view up to the playhead (the status row with it, so both show the same
// row) and runs the idle step.
void run_pattern_view(PatternView &view);

// Deletes the panel and its window and repaints what lay beneath.
void close_pattern_view(PatternView &view);

// The `P` key: beeps without a module, otherwise opens the view and runs
// it until it is closed.
void pattern_view();

// The keys the view reads itself (the browsing keys among them are those of
// is_browse_key); every other key goes to the command keys.
extern const KeyList kPatternViewKeys;
