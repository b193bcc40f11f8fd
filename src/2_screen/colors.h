// Colour pairs and text attributes of the whole program.
//
// Drawing code names an attribute as "bold pair 4" or "reverse" through the
// helpers below and sets it on a window as a whole with set_attr(), which
// replaces the window's attribute word rather than adding to it.
#pragma once

#include <curses.h>

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
};

inline constexpr int kColorPairCount = 18;

struct PairColors {
    short foreground;
    short background;
};

// Foreground and background of pair n (1 to kColorPairCount).
PairColors pair_colors(int n);

// init_pair for pairs 1 to kColorPairCount in ascending order, black backgrounds on
// black, with the terminal's default colours for plain text; start_color
// must have run.
void init_color_pairs();

inline constexpr attr_t kNormal = A_NORMAL;
inline constexpr attr_t kBold = A_BOLD;
inline constexpr attr_t kReverse = A_REVERSE;

constexpr attr_t pair(int n) { return static_cast<attr_t>(COLOR_PAIR(n)); }
constexpr attr_t bold_pair(int n) { return A_BOLD | pair(n); }
constexpr attr_t reverse_pair(int n) { return A_REVERSE | pair(n); }

// Replaces the window's whole attribute (colour pair included).
void set_attr(WINDOW *win, attr_t attribute);

// What the pattern view draws, each in a colour of its own. Everything of
// the view sits on a black background (the current row on blue), so it
// reads the same on dark and light terminals.
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
};

// The attribute of a role, on the current (highlighted) row or another.
attr_t pattern_attr(PatternRole role, bool current_row);
