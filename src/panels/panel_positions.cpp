#include "panels/panel_positions.h"

PanelPositionTable PanelPositions{};

namespace {

WINDOW *open_windows[static_cast<int>(MovableEntry::count)] = {};

}  // namespace

PanelPositionTable default_panel_positions(int cols, int lines) {
    PanelPositionTable t{};
    t.all_channels = {cols / 2 - 34, lines / 2 - 8};
    t.voices_frequency = {cols / 2 - 34, lines / 2 - 8};
    t.voices_position = {cols / 2 - 34, lines / 2 - 8};
    t.effects = {cols / 2 - 20, lines / 2 - 12};
    t.options = {cols / 2 - 20, lines / 2 - 10};
    t.help = {cols / 2 - 35, lines / 2 - 10};
    t.samples = {cols / 2 - 27, lines / 2 - 7};
    t.instruments = {cols / 2 - 27, lines / 2 - 6};
    t.file_selector = {cols / 2 - 30, lines / 2 - (lines - 3) / 2};
    t.playlist = {cols / 2 - 36, lines / 2 - (lines - 2) / 2};
    return t;
}

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
