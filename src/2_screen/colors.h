// Colour pairs and text attributes of the whole program.
//
// Drawing code names what a piece of text is (ColorRole) and gets its
// attribute from role_attr(), or sets it on a window as a whole with
// set_role() / set_attr(), which replace the window's attribute word rather
// than adding to it. One table in colors.cpp maps every role to its
// attribute; the pairs and the "bold pair 4" helpers below build that
// table (and let tests state what a cell should show). kNormal is plain
// text in the terminal's own colours, what drawing returns to.
//
// There is one table per colour scheme (dark, light, terminal); the scheme
// in use is chosen with use_color_scheme and changes every role at once.
#pragma once

#include <curses.h>

#include "1_player/color_scheme.h"

// The colour pairs, foreground on background; plain text (no pair)
// keeps the terminal's default colours.
enum ColorPair : short {
    kRedOnBlack = 1,
    kGreenOnBlack = 2,
    kBlueOnBlack = 3,
    kYellowOnBlack = 4,
    kCyanOnBlack = 5,
    kMagentaOnBlack = 6,
    kBlueOnBlue = 7,
    kCyanOnBlue = 8,
    kGreenOnBlue = 9,
    kYellowOnBlue = 10,
    kMagentaOnMagenta = 11,
    kCyanOnCyan = 12,
    kRedOnRed = 13,
    kWhiteOnRed = 14,
    // The pattern view's body and its current row.
    kWhiteOnBlack = 15,
    kWhiteOnBlue = 16,
    kMagentaOnBlue = 17,
    kRedOnBlue = 18,
    // Foregrounds on the terminal's own background, for the light and
    // terminal schemes.
    kRedOnDefault = 19,
    kGreenOnDefault = 20,
    kBlueOnDefault = 21,
    kYellowOnDefault = 22,
    kCyanOnDefault = 23,
    kMagentaOnDefault = 24,
    // The light scheme's table header.
    kBlackOnCyan = 25,
};

inline constexpr int kColorPairCount = 25;

// The terminal's own colour in a pair (use_default_colors).
inline constexpr short kDefaultColor = -1;

struct PairColors {
    short foreground;
    short background;
};

// Foreground and background of pair n (1 to kColorPairCount).
PairColors pair_colors(int n);

// init_pair for pairs 1 to kColorPairCount in ascending order, black backgrounds on
// black, the "on default" pairs on the terminal's own background, with the
// terminal's default colours for plain text; start_color must have run.
void init_color_pairs();

inline constexpr attr_t kNormal = A_NORMAL;
inline constexpr attr_t kBold = A_BOLD;
inline constexpr attr_t kReverse = A_REVERSE;

constexpr attr_t pair(int n) { return static_cast<attr_t>(COLOR_PAIR(n)); }
constexpr attr_t bold_pair(int n) { return A_BOLD | pair(n); }
constexpr attr_t reverse_pair(int n) { return A_REVERSE | pair(n); }

// Replaces the window's whole attribute (colour pair included).
void set_attr(WINDOW *win, attr_t attribute);

// What each coloured piece of the screen is for. Roles that look alike
// today stay apart when they mean different things, so that a scheme can
// tell them apart.
enum class ColorRole {
    // The main window's top and bottom rows.
    title_bar,         // the title bar's blanks, its help hint and the spinner
    title_bar_name,    // the program's name on the title bar, a monitor's title bar
    title_bar_note,    // a word set into a title bar: the song's end, the kind of volume
    footer_label,      // the playlist's name on the bottom border
    status_label,      // the status row's field names and the time box's
    // Texts with a value after them.
    label,             // "Driver : ", "Title  : ", a record's field names
    key_letter,        // the key letter of an input line ("D" of "Dir: ")
    module_text,       // text from the module itself: song name, type, comment
    driver,            // the output driver and its mode words
    driver_rate,       // the mixing rate after them
    // The channel table.
    table_header,      // the column names
    channel_active,    // the number of a channel that sounds
    volume_soft,       // the bands of a voice's volume, quietest first
    volume_medium,
    volume_strong,
    volume_loud,
    volume_over,
    panning_left,      // the panning letters L, M and R
    panning_middle,
    panning_right,
    panning_hard_left,   // the letter at the far left or right
    panning_hard_right,
    panning_value,     // the panning number
    // Level meters: the solid-block style and the character styles.
    meter_block_low,     // filled blocks, up to 29 percent
    meter_block_high,    // filled blocks above it
    meter_rest,          // the unfilled blocks
    meter_clip,          // the clipping mark and the percent beside it
    meter_clip_block,    // the clipping mark as a block
    vertical_meter,        // a column's filled cells
    vertical_meter_block,  // the same as blocks
    vertical_meter_rest,   // the rest of the column
    vertical_meter_clip,   // the top cell at full level
    vertical_meter_clip_block,
    // Panels.
    panel_title,       // a panel's title in its bracket frame
    info_title,        // the module information popup's title
    scroll_mark,       // "<" and ">" where more lies out of view
    selection,         // the selected item of a menu
    button_chosen,     // the button Enter presses
    edit_field,        // a line or number being edited
    list_entry,        // the playlist's entries
    list_entry_selected,
    list_cursor,       // the file listing's highlighted entry
    directory,         // a directory's name in the file listing
    help_text,         // the help panel's descriptions
    help_key,          // and the keys after them
    monitor_axis,      // a voice monitor's axis ticks and numbers
    // Notices and message boxes.
    notice,            // "Loading...", a message box's information
    notice_waiting,    // "Paused...", "Please wait..."
    notice_stopping,   // "Stopping..."
    error,             // a message box's error, the lost sound output
    warning,           // something left out: entries not listed
    // The About panel's picture.
    about_accent,      // the brackets, the copyright, the address's strokes
    about_heading,     // "About"
    about_name,        // "XQ" and the address's scheme
    about_host,        // the address's host
    about_text,        // the authors
    // The pattern view, on an ordinary row and on the current row (see
    // PatternRole below).
    pattern_row_number,
    pattern_row_number_current,
    pattern_note,
    pattern_note_current,
    pattern_instrument,
    pattern_instrument_current,
    pattern_volume,
    pattern_volume_current,
    pattern_pitch,
    pattern_pitch_current,
    pattern_panning,
    pattern_panning_current,
    pattern_timing,
    pattern_timing_current,
    pattern_other,
    pattern_other_current,
    pattern_empty,
    pattern_empty_current,
    pattern_muted,
    pattern_muted_current,
    pattern_outside,
    pattern_outside_current,
    // The Spectrum panel.
    spectrum_bar,      // a bar's cells in its lower two thirds
    spectrum_bar_top,  // and in its top third
    spectrum_peak,     // the falling peak over a bar
    scope_trace,       // an oscilloscope's trace
};

inline constexpr int kColorRoleCount = static_cast<int>(ColorRole::scope_trace) + 1;

// The attribute of a role in the scheme in use.
attr_t role_attr(ColorRole role);

// The attribute of a role in `scheme`, whichever is in use.
attr_t scheme_role_attr(ColorScheme scheme, ColorRole role);

// True for the roles meant to stand out by their background: the title and
// footer bars, the column header, cursors and chosen items, the pattern
// view's current row, and the filled blocks of meters and panning. In the
// light and terminal schemes every other role is drawn on the terminal's
// own background.
bool is_highlight(ColorRole role);

// Pure: the scheme the screen can show of `wanted` on a terminal of
// `colors` colours: the dark one, as ever, below 8 colours.
ColorScheme scheme_for_terminal(ColorScheme wanted, int colors);

// Makes `scheme` (as scheme_for_terminal allows on this terminal, and the
// dark one where the terminal has no default colours for the pairs) the one
// every role is drawn in from now on; what is on the screen keeps its
// colours until it is drawn again. The default is the dark scheme;
// init_color_pairs must have run.
void use_color_scheme(ColorScheme scheme);

// The scheme in use.
ColorScheme color_scheme_in_use();

// Replaces the window's whole attribute with a role's.
void set_role(WINDOW *win, ColorRole role);

// What the pattern view draws, each in a colour of its own. In the dark
// scheme everything of the view sits on a black background (the current
// row on blue); in the others on the terminal's own, the current row on
// blue.
enum class PatternRole {
    row_number,
    note,          // notes, note-offs and cuts
    instrument,
    volume,        // the volume column's volumes, and volume effects
    pitch,         // slides, portamento, vibrato, arpeggio
    panning,
    timing,        // speed, tempo, jumps, breaks, loops, delays
    other,         // sample offset, retrigger, filters ...
    empty,         // "---", "..", "...": nothing in the cell
    muted,         // every cell of a muted channel
    outside,       // a line past the pattern's last row
};

// The attribute of a role, on the current (highlighted) row or another.
attr_t pattern_attr(PatternRole role, bool current_row);
