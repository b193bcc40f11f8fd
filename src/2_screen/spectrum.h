// A picture of the sound: a spectrum analyser of the mixed output, bars on
// a logarithmic frequency axis with peaks that fall back slowly, and an
// oscilloscope trace. The analysis and the layout are pure functions; the
// drawing writes only the cells it is given and never clears, so curses
// sends the terminal only the cells that changed.
#pragma once

#include <cstddef>
#include <curses.h>
#include <vector>

// The frequency axis of the bars.
inline constexpr double kSpectrumLowHz = 30.0;
inline constexpr double kSpectrumHighHz = 16000.0;
// Frames one transform takes: about a tenth of a second at 44.1 kHz, so
// the lowest bars are apart by ten hertz.
inline constexpr int kSpectrumFrames = 4096;
// The quietest level a bar shows, below the loudest a full-scale sine
// gives; a bar's height is its level in decibels above this.
inline constexpr double kSpectrumFloorDb = 60.0;

// Pure: where band `edge` (0 to bars) of `bars` bands begins, in Hz: the
// axis from kSpectrumLowHz to kSpectrumHighHz cut in equal ratios.
double spectrum_band_edge(int edge, int bars);

// Pure: the bar of `bars` whose band holds `hz`, or -1 off the axis.
int spectrum_bar_of(double hz, int bars);

// The transform of the last kSpectrumFrames frames into bar levels. Owns
// its buffers: nothing is allocated once it is made.
class SpectrumAnalyser {
public:
    SpectrumAnalyser();
    ~SpectrumAnalyser();
    SpectrumAnalyser(const SpectrumAnalyser &) = delete;
    SpectrumAnalyser &operator=(const SpectrumAnalyser &) = delete;

    // Levels of `bars` bars (0 silence or below the floor, 1 a full-scale
    // sine) from the two sides' last kSpectrumFrames frames mixed at
    // `rate` Hz; each bar shows the strongest frequency of its band, or
    // the nearest one where the band falls between two.
    void analyse(const float *left, const float *right, unsigned rate, int bars, float *levels);

private:
    void *config_;  // the transform's plan
    std::vector<float> window_;
    std::vector<float> input_;
    std::vector<float> output_;  // re, im pairs: kSpectrumFrames / 2 + 1 of them
    std::vector<float> magnitude_;
};

// Pure: peaks follow a rising level at once and fall by `fall` a step.
void fall_peaks(const float *levels, float *peaks, int bars, float fall);

// Where the pieces of the Spectrum panel lie in a window of `rows` x
// `cols` with a border: the bars on top, a row of frequency marks under
// them where there is room, the two oscilloscopes side by side below.
struct SpectrumLayout {
    int bars_top = 0, bars_rows = 0, bars_left = 0, bars = 0;
    int axis_row = -1;  // -1 when there is no room for it
    int scope_top = 0, scope_rows = 0;
    int left_scope_col = 0, left_scope_cols = 0;
    int right_scope_col = 0, right_scope_cols = 0;
};
SpectrumLayout spectrum_layout(int rows, int cols);

// Draws `bars` bars from `left`, `rows` rows from `top` down, each
// `levels[i]` of the height with its peak over it: in eighths of a cell
// with block characters when `utf8`, whole cells of '#' otherwise. Every
// cell of the area is written.
void draw_spectrum_bars(WINDOW *win, int top, int left, int rows, int bars, const float *levels, const float *peaks,
                        bool utf8);

// The frequency marks under the bars: "100", "1k" and "10k" where their
// bars are, when they fit.
void draw_spectrum_axis(WINDOW *win, int row, int left, int bars);

// Pure: the level of a sample from -1 to 1 on a trace of `levels` levels,
// 0 at the bottom.
int scope_level(float sample, int levels);

// Draws an oscilloscope trace of `count` samples over `cols` columns and
// `rows` rows: one mark a column, at the level of the sample that column
// stands for; two levels a row (upper and lower half blocks) when `utf8`,
// one ('*') otherwise. Every cell of the area is written.
void draw_scope(WINDOW *win, int top, int left, int rows, int cols, const float *samples, std::size_t count,
                bool utf8);
