// The pop-up panels' sizes and corners: each panel described once, in one
// row read by the panel when it opens, by the default corners, by the panel
// mover and by the options file, which keeps the moved corners.
#pragma once

// A top-left corner in screen cells.
struct PanelCorner {
    int x;  // column
    int y;  // row
};

// Corners of the ten registered panels. The first five are saved in the
// options file; help and samples keep a moved corner for the run; the file
// selector and playlist panels always reopen at their default.
struct PanelPositionTable {
    PanelCorner all_channels;  // shared by the All channels and All voices monitors
    PanelCorner voices_frequency;
    PanelCorner voices_position;
    PanelCorner effects;
    PanelCorner options;
    PanelCorner help;
    PanelCorner samples;
    PanelCorner instruments;
    PanelCorner file_selector;
    PanelCorner playlist;
};

// The corners in use: filled with the defaults at start-up, then from the
// options file, moved by the panel mover; the options file's reader and
// writer and the panels' openings share it, on the main path.
extern PanelPositionTable PanelPositions;

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
    // The options file's keys for the corner, null for a corner not saved.
    // The file holds them in the order of this table.
    const char *saved_x;
    const char *saved_y;
};

inline constexpr PanelLayout kPanelLayouts[] = {
    {PanelKind::all_channels, 16, 0, 68, 34, 8, &PanelPositionTable::all_channels, MovableEntry::all_channels,
     "AC_X", "AC_Y"},
    {PanelKind::all_voices, 18, 0, 68, 34, 8, &PanelPositionTable::all_channels, MovableEntry::all_channels,
     nullptr, nullptr},
    {PanelKind::voices_position, 16, 0, 68, 34, 8, &PanelPositionTable::voices_position,
     MovableEntry::voices_position, "VPOS_X", "VPOS_Y"},
    {PanelKind::voices_frequency, 16, 0, 68, 34, 8, &PanelPositionTable::voices_frequency,
     MovableEntry::voices_frequency, "VFREQ_X", "VFREQ_Y"},
    {PanelKind::options, 20, 0, 40, 20, 10, &PanelPositionTable::options, MovableEntry::options, "OPT_X", "OPT_Y"},
    {PanelKind::effects, 14, 0, 40, 20, 12, &PanelPositionTable::effects, MovableEntry::effects, "EFT_X", "EFT_Y"},
    {PanelKind::help, 20, 0, 70, 35, 10, &PanelPositionTable::help, MovableEntry::help, nullptr, nullptr},
    {PanelKind::samples, 15, 0, 54, 27, 7, &PanelPositionTable::samples, MovableEntry::samples, nullptr, nullptr},
    {PanelKind::instruments, 13, 0, 54, 27, 6, &PanelPositionTable::instruments, MovableEntry::count, nullptr,
     nullptr},
    {PanelKind::file_selector, 0, 3, 60, 30, 0, &PanelPositionTable::file_selector, MovableEntry::count, nullptr,
     nullptr},
    {PanelKind::playlist, 0, 2, 72, 36, 0, &PanelPositionTable::playlist, MovableEntry::count, nullptr, nullptr},
    {PanelKind::about, 14, 0, 40, 20, 6, nullptr, MovableEntry::count, nullptr, nullptr},
    {PanelKind::comment, 21, 0, 73, 36, 10, nullptr, MovableEntry::count, nullptr, nullptr},
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

