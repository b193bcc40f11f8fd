// The pop-up panels' sizes and corners: each panel described once, in one
// row read by the panel when it opens, by the default corners and by the
// panel mover; the options file keeps the moved corners of some
// (1_player/panel_corners.h).
#pragma once

#include "1_player/panel_corners.h"

// The registry entries whose corner the panel mover stores.
enum class MovableEntry {
    all_channels,
    help,
    voices_frequency,
    voices_position,
    effects,
    options,
    samples,
    count,
};

// The panels described by the layout table.
enum class PanelKind {
    all_channels,
    all_voices,
    voices_position,
    voices_frequency,
    options,
    effects,
    help,
    samples,
    instruments,
    file_selector,
    playlist,
    about,
    comment,
};

// One panel's size and corner, described once: read by the panel when it
// opens, by the default corners, by the panel mover and by the options
// file.
struct PanelLayout {
    PanelKind kind;
    // The height asked for; 0 for a panel as high as the screen less
    // `rows_less` rows.
    int rows;
    int rows_less;
    int cols;
    // The default corner: the screen's middle column and row (integer
    // halves) less these; for a height that follows the screen's, the row
    // is the middle row less half that height.
    int left_of_centre;
    int above_centre;
    // Where the corner is kept between openings; null for a panel that
    // opens at its default every time.
    PanelCorner PanelPositionTable::*corner;
    // The panel mover's entry, whose moved corner is stored; count for a
    // panel whose moves are not kept.
    MovableEntry movable;
};

inline constexpr PanelLayout kPanelLayouts[] = {
    {PanelKind::all_channels, 16, 0, 68, 34, 8, &PanelPositionTable::all_channels, MovableEntry::all_channels},
    {PanelKind::all_voices, 18, 0, 68, 34, 8, &PanelPositionTable::all_channels, MovableEntry::all_channels},
    {PanelKind::voices_position, 16, 0, 68, 34, 8, &PanelPositionTable::voices_position,
     MovableEntry::voices_position},
    {PanelKind::voices_frequency, 16, 0, 68, 34, 8, &PanelPositionTable::voices_frequency,
     MovableEntry::voices_frequency},
    {PanelKind::options, 20, 0, 40, 20, 10, &PanelPositionTable::options, MovableEntry::options},
    {PanelKind::effects, 14, 0, 40, 20, 12, &PanelPositionTable::effects, MovableEntry::effects},
    {PanelKind::help, 20, 0, 70, 35, 10, &PanelPositionTable::help, MovableEntry::help},
    {PanelKind::samples, 15, 0, 54, 27, 7, &PanelPositionTable::samples, MovableEntry::samples},
    {PanelKind::instruments, 13, 0, 54, 27, 6, &PanelPositionTable::instruments, MovableEntry::count},
    {PanelKind::file_selector, 0, 3, 60, 30, 0, &PanelPositionTable::file_selector, MovableEntry::count},
    {PanelKind::playlist, 0, 2, 72, 36, 0, &PanelPositionTable::playlist, MovableEntry::count},
    {PanelKind::about, 14, 0, 40, 20, 6, nullptr, MovableEntry::count},
    {PanelKind::comment, 21, 0, 73, 36, 10, nullptr, MovableEntry::count},
};

// The table's row for a panel.
constexpr const PanelLayout &panel_layout(PanelKind kind) {
    for (const PanelLayout &layout : kPanelLayouts)
        if (layout.kind == kind) return layout;
    return kPanelLayouts[0];
}

// The panel's height on a screen of `lines` rows, before it is fitted.
int layout_rows(const PanelLayout &layout, int lines);

// The default corner of a panel on a terminal of `cols` x `lines`.
PanelCorner default_corner(const PanelLayout &layout, int cols, int lines);

// The defaults for a terminal of `cols` x `lines` (integer division
// truncating toward zero, so the corners may be negative on tiny screens).
PanelPositionTable default_panel_positions(int cols, int lines);


// Puts each saved panel row whose panel would reach the screen's last row
// (row + panel height >= lines) back to row 2. A corner two panels share
// is held to the first of them, the one it is saved for.
void check_saved_rows(int lines);
