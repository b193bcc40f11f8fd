#include "app/panel_corners.h"

PanelPositionTable PanelPositions{};

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
