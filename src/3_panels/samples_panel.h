// The Samples panel (`w`): the module's samples one at a time, with their
// name, flag words, length, panning, speed and volumes. `m` moves it, and
// the moved corner is used for the rest of the run.
#pragma once

#include <cstddef>
#include <curses.h>

#include "1_player/module_info.h"

#include "3_panels/panel_positions.h"
#include "3_panels/record_browser.h"

inline constexpr int kSamplesRows = panel_layout(PanelKind::samples).rows;

// The words of the sample flags that are set, each followed by a blank, in
// the order 16bit, stereo, signed, IT_packed, bidir, loop, reverse,
// own_pan, then the whole flag word as "(0x%04x)"; cut to fit `size`.
void sample_flag_words(unsigned flags, char *out, std::size_t size);

// Draws the fields of one sample; `number` is its 1-based position, `count`
// the module's number of samples.
void draw_sample(WINDOW *window, const SampleInfo &sample, int number, int count);

// The panel at its corner with the first sample shown, or, for a module
// without samples, after the "No samples in this module." box.
RecordBrowser open_samples_panel();

// Opens the panel and runs it until it is left.
void samples_panel();
