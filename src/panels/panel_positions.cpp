#include "panels/panel_positions.h"

namespace {

WINDOW *open_windows[static_cast<int>(MovableEntry::count)] = {};

}  // namespace

void compute_default_panel_positions() { PanelPositions = default_panel_positions(COLS, LINES); }

void remember_panel_window(MovableEntry entry, WINDOW *win) {
    if (entry != MovableEntry::count) open_windows[static_cast<int>(entry)] = win;
}

void forget_panel_window(WINDOW *win) {
    for (WINDOW *&w : open_windows)
        if (w == win) w = nullptr;
}

MovableEntry entry_of_window(const WINDOW *win) {
    if (!win) return MovableEntry::count;
    for (int i = 0; i < static_cast<int>(MovableEntry::count); ++i)
        if (open_windows[i] == win) return static_cast<MovableEntry>(i);
    return MovableEntry::count;
}

PanelCorner &corner_of(MovableEntry entry) {
    switch (entry) {
    case MovableEntry::all_channels: return PanelPositions.all_channels;
    case MovableEntry::help: return PanelPositions.help;
    case MovableEntry::voices_frequency: return PanelPositions.voices_frequency;
    case MovableEntry::voices_position: return PanelPositions.voices_position;
    case MovableEntry::effects: return PanelPositions.effects;
    case MovableEntry::options: return PanelPositions.options;
    case MovableEntry::samples:
    case MovableEntry::count: break;
    }
    return PanelPositions.samples;
}
