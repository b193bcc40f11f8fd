// The Spectrum panel (`F`, for the frequencies): a picture of the sound
// being heard. A spectrum analyser of the mixed output fills the top, bars
// on a logarithmic axis from 30 Hz to 16 kHz with falling peaks, and an
// oscilloscope of each side (left, then right) lies below it. The panel
// fills the screen below the status row at any size, follows the music at
// the pace of the live screen's frames and holds still while paused. `q`,
// Escape and `F` close it; every other key goes to the command keys.
#pragma once

#include <curses.h>
#include <vector>

#include "2_screen/keys.h"
#include "2_screen/spectrum.h"

// The screen row the panel starts at: below the status row.
inline constexpr int kSpectrumPanelTop = 5;

// An open panel's picture and what it keeps from frame to frame; its
// buffers are made when it opens and when its size changes, never a frame.
struct SpectrumPicture {
    SpectrumAnalyser analyser;
    std::vector<float> left = std::vector<float>(kSpectrumFrames);
    std::vector<float> right = std::vector<float>(kSpectrumFrames);
    std::vector<float> levels;
    std::vector<float> peaks;
    bool utf8 = false;
};

// The frames of each side the oscilloscopes show at `rate` Hz: a fortieth
// of a second, at most half the transform's frames.
int scope_frames(unsigned rate);

// Draws the whole picture into the panel's window from the two sides' last
// kSpectrumFrames frames, mixed at `rate` Hz (0: nothing was mixed yet,
// empty bars and flat traces), and lets the peaks fall a step.
void draw_spectrum_picture(WINDOW *win, SpectrumPicture &picture, const float *left, const float *right,
                           unsigned rate);

// The keys the panel reads itself: they close it.
inline constexpr int kSpectrumPanelKeys[] = {'q', kEscape, 'F'};

// Opens the panel and runs it until it is closed.
void spectrum_panel();
