#include "2_screen/spectrum.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <kiss_fftr.h>

#include "2_screen/colors.h"
#include "2_screen/screen_text.h"

namespace {

constexpr int kBins = kSpectrumFrames / 2 + 1;

kiss_fftr_cfg as_config(void *config) { return static_cast<kiss_fftr_cfg>(config); }

// One cell's text in a row being built, as UTF-8 or ASCII.
void append(char *row, std::size_t &used, std::size_t capacity, const char *cell) {
    const std::size_t length = std::strlen(cell);
    if (used + length >= capacity) return;
    std::memcpy(row + used, cell, length);
    used += length;
    row[used] = '\0';
}

// Bars and traces are written a row at a time, at most this many cells of
// up to three bytes.
constexpr int kMostCells = 1024;
constexpr std::size_t kRowBytes = kMostCells * 3 + 1;

const char *const kEighths[9] = {" ", "▁", "▂", "▃", "▄", "▅", "▆", "▇", "█"};

}  // namespace

double spectrum_band_edge(int edge, int bars) {
    if (bars <= 0) return kSpectrumLowHz;
    return kSpectrumLowHz * std::pow(kSpectrumHighHz / kSpectrumLowHz, static_cast<double>(edge) / bars);
}

int spectrum_bar_of(double hz, int bars) {
    if (bars <= 0 || !(hz >= kSpectrumLowHz) || hz >= kSpectrumHighHz) return -1;
    const int bar = static_cast<int>(bars * std::log(hz / kSpectrumLowHz) / std::log(kSpectrumHighHz / kSpectrumLowHz));
    return std::clamp(bar, 0, bars - 1);
}

SpectrumAnalyser::SpectrumAnalyser()
    : config_(kiss_fftr_alloc(kSpectrumFrames, 0, nullptr, nullptr)),
      window_(kSpectrumFrames),
      input_(kSpectrumFrames),
      output_(2 * kBins),
      magnitude_(kBins) {
    // Hann's window: a tone's energy stays within a few bins of it.
    for (int i = 0; i < kSpectrumFrames; ++i)
        window_[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * M_PI * i / (kSpectrumFrames - 1)));
}

SpectrumAnalyser::~SpectrumAnalyser() {
    if (config_) kiss_fftr_free(config_);
}

void SpectrumAnalyser::analyse(const float *left, const float *right, unsigned rate, int bars, float *levels) {
    if (bars <= 0) return;
    if (!config_ || rate == 0) {
        std::fill(levels, levels + bars, 0.0f);
        return;
    }
    for (int i = 0; i < kSpectrumFrames; ++i) input_[i] = 0.5f * (left[i] + right[i]) * window_[i];
    kiss_fftr(as_config(config_), input_.data(), reinterpret_cast<kiss_fft_cpx *>(output_.data()));
    // A full-scale sine gives N/4 through the window: that is 1.
    const float scale = 4.0f / kSpectrumFrames;
    for (int k = 0; k < kBins; ++k)
        magnitude_[k] = std::hypot(output_[2 * k], output_[2 * k + 1]) * scale;
    const double bin_hz = static_cast<double>(rate) / kSpectrumFrames;
    for (int bar = 0; bar < bars; ++bar) {
        const double low = spectrum_band_edge(bar, bars);
        const double high = spectrum_band_edge(bar + 1, bars);
        int first = static_cast<int>(std::ceil(low / bin_hz));
        int last = static_cast<int>(std::ceil(high / bin_hz)) - 1;
        float strongest = 0.0f;
        if (first > last) {
            // A band narrower than a bin: the bin nearest its middle.
            first = last = static_cast<int>(std::lround(std::sqrt(low * high) / bin_hz));
        }
        for (int k = std::max(first, 1); k <= last && k < kBins; ++k) strongest = std::max(strongest, magnitude_[k]);
        const double db = strongest > 0.0f ? 20.0 * std::log10(strongest) : -1000.0;
        levels[bar] = static_cast<float>(std::clamp((db + kSpectrumFloorDb) / kSpectrumFloorDb, 0.0, 1.0));
    }
}

void fall_peaks(const float *levels, float *peaks, int bars, float fall) {
    for (int i = 0; i < bars; ++i) peaks[i] = std::max(levels[i], std::max(0.0f, peaks[i] - fall));
}

SpectrumLayout spectrum_layout(int rows, int cols) {
    SpectrumLayout l;
    const int inner_rows = std::max(0, rows - 2);
    const int inner_cols = std::max(0, std::min(cols - 2, kMostCells));
    l.bars_top = 1;
    l.bars_left = 1;
    l.bars = inner_cols;
    l.scope_rows = inner_rows >= 3 ? std::max(1, inner_rows * 2 / 5) : 0;
    const bool axis = inner_rows - l.scope_rows >= 6;
    l.bars_rows = inner_rows - l.scope_rows - (axis ? 1 : 0);
    l.axis_row = axis ? l.bars_top + l.bars_rows : -1;
    l.scope_top = l.bars_top + l.bars_rows + (axis ? 1 : 0);
    l.left_scope_col = 1;
    l.left_scope_cols = (inner_cols - 1) / 2;
    l.right_scope_col = l.left_scope_col + l.left_scope_cols + 1;
    l.right_scope_cols = inner_cols - l.left_scope_cols - 1;
    return l;
}

void draw_spectrum_bars(WINDOW *win, int top, int left, int rows, int bars, const float *levels, const float *peaks,
                        bool utf8) {
    bars = std::min(bars, kMostCells);
    char row_text[kRowBytes];
    for (int r = 0; r < rows; ++r) {
        const int from_bottom = rows - 1 - r;
        row_text[0] = '\0';
        std::size_t used = 0;
        for (int i = 0; i < bars; ++i) {
            const int eighths = static_cast<int>(std::lround(std::clamp(levels[i], 0.0f, 1.0f) * rows * 8));
            const int fill = std::clamp(eighths - from_bottom * 8, 0, 8);
            if (utf8)
                append(row_text, used, sizeof row_text, kEighths[fill]);
            else
                append(row_text, used, sizeof row_text, fill >= 4 ? "#" : " ");
        }
        // The top third of the height in a colour of its own.
        set_role(win, from_bottom * 3 >= rows * 2 ? ColorRole::spectrum_bar_top : ColorRole::spectrum_bar);
        put_text(win, top + r, left, row_text);
    }
    set_role(win, ColorRole::spectrum_peak);
    for (int i = 0; i < bars; ++i) {
        const float peak = std::clamp(peaks[i], 0.0f, 1.0f);
        if (peak <= 0.0f) continue;
        const int eighths = static_cast<int>(std::lround(std::clamp(levels[i], 0.0f, 1.0f) * rows * 8));
        const int cell = std::min(rows - 1, static_cast<int>(peak * rows * 8) / 8);
        // Over the bar only, never inside it.
        if (cell * 8 < eighths) continue;
        put_text(win, top + rows - 1 - cell, left + i, utf8 ? "▔" : "-");
    }
    set_attr(win, kNormal);
}

void draw_spectrum_axis(WINDOW *win, int row, int left, int bars) {
    set_role(win, ColorRole::monitor_axis);
    put_blanks(win, row, left, bars);
    const struct {
        double hz;
        const char *text;
    } marks[] = {{100, "100"}, {1000, "1k"}, {10000, "10k"}};
    int free_from = 0;
    for (const auto &mark : marks) {
        const int bar = spectrum_bar_of(mark.hz, bars);
        const int width = static_cast<int>(std::strlen(mark.text));
        if (bar < free_from || bar + width > bars) continue;
        put_text(win, row, left + bar, mark.text);
        free_from = bar + width + 1;
    }
    set_attr(win, kNormal);
}

int scope_level(float sample, int levels) {
    if (levels <= 0) return 0;
    const float kept = std::clamp(sample, -1.0f, 1.0f);
    return std::clamp(static_cast<int>((kept + 1.0f) * 0.5f * levels), 0, levels - 1);
}

void draw_scope(WINDOW *win, int top, int left, int rows, int cols, const float *samples, std::size_t count,
                bool utf8) {
    cols = std::min(cols, kMostCells);
    if (rows <= 0 || cols <= 0) return;
    const int per_row = utf8 ? 2 : 1;
    const int levels = rows * per_row;
    char row_text[kRowBytes];
    set_role(win, ColorRole::scope_trace);
    for (int r = 0; r < rows; ++r) {
        const int row_low = (rows - 1 - r) * per_row;  // the lowest level this row shows
        row_text[0] = '\0';
        std::size_t used = 0;
        for (int c = 0; c < cols; ++c) {
            const float sample = count > 0 ? samples[static_cast<std::size_t>(c) * count / cols] : 0.0f;
            const int level = count > 0 ? scope_level(sample, levels) : -1;
            const char *cell = " ";
            if (level == row_low + per_row - 1)
                cell = utf8 ? "▀" : "*";
            else if (level == row_low)
                cell = "▄";  // the lower half of a row: UTF-8 only
            append(row_text, used, sizeof row_text, cell);
        }
        put_text(win, top + r, left, row_text);
    }
    set_attr(win, kNormal);
}
