#include "2_screen/spectrum.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

// A sine of `hz` at `amplitude` on both sides, kSpectrumFrames long.
std::vector<float> sine(double hz, float amplitude, unsigned rate = 44100) {
    std::vector<float> wave(kSpectrumFrames);
    for (int i = 0; i < kSpectrumFrames; ++i) wave[i] = amplitude * static_cast<float>(std::sin(2 * M_PI * hz * i / rate));
    return wave;
}

// The middle of bar `bar`'s band, on the logarithmic axis.
double band_middle(int bar, int bars) { return std::sqrt(spectrum_band_edge(bar, bars) * spectrum_band_edge(bar + 1, bars)); }

int tallest(const std::vector<float> &levels) {
    return static_cast<int>(std::max_element(levels.begin(), levels.end()) - levels.begin());
}

}  // namespace

TEST(Spectrum, TheAxisRunsFromThirtyHertzToSixteenKilohertzInEqualRatios) {
    EXPECT_DOUBLE_EQ(spectrum_band_edge(0, 78), 30.0);
    EXPECT_NEAR(spectrum_band_edge(78, 78), 16000.0, 1e-6);
    const double ratio = spectrum_band_edge(1, 38) / spectrum_band_edge(0, 38);
    EXPECT_NEAR(spectrum_band_edge(20, 38) / spectrum_band_edge(19, 38), ratio, 1e-9);
    const struct {
        double hz;
        int bars, bar;
    } cases[] = {{30.0, 38, 0},        {29.9, 38, -1},   {16000.0, 38, -1}, {15999.0, 38, 37},
                 {band_middle(16, 38), 38, 16},        {band_middle(200, 298), 298, 200},
                 {1000.0, 0, -1},      {1000.0, 1, 0}};
    for (const auto &c : cases) EXPECT_EQ(spectrum_bar_of(c.hz, c.bars), c.bar) << c.hz << " Hz, " << c.bars;
}

TEST(Spectrum, AToneLiftsTheBarOfItsPitchHighest) {
    SpectrumAnalyser analyser;
    const struct {
        int bars;
        int bar;
    } cases[] = {{38, 16}, {38, 30}, {78, 33}, {78, 60}, {298, 150}, {298, 250}};
    for (const auto &c : cases) {
        const double hz = band_middle(c.bar, c.bars);
        ASSERT_EQ(spectrum_bar_of(hz, c.bars), c.bar);
        const std::vector<float> wave = sine(hz, 0.5f);
        std::vector<float> levels(c.bars);
        analyser.analyse(wave.data(), wave.data(), 44100, c.bars, levels.data());
        EXPECT_EQ(tallest(levels), c.bar) << hz << " Hz on " << c.bars << " bars";
        // Half of full scale is 6 dB down: a tenth of a 60 dB bar less.
        EXPECT_NEAR(levels[c.bar], 0.9f, 0.02f) << hz;
    }
}

TEST(Spectrum, SilenceShowsEmptyBarsAndALouderToneATallerBar) {
    SpectrumAnalyser analyser;
    const std::vector<float> silence(kSpectrumFrames, 0.0f);
    std::vector<float> levels(78, 1.0f);
    analyser.analyse(silence.data(), silence.data(), 44100, 78, levels.data());
    EXPECT_TRUE(std::all_of(levels.begin(), levels.end(), [](float l) { return l == 0.0f; }));
    // Nothing mixed yet: no rate.
    std::fill(levels.begin(), levels.end(), 1.0f);
    analyser.analyse(silence.data(), silence.data(), 0, 78, levels.data());
    EXPECT_TRUE(std::all_of(levels.begin(), levels.end(), [](float l) { return l == 0.0f; }));

    const double hz = band_middle(40, 78);
    float last = 0.0f;
    for (float amplitude : {0.01f, 0.05f, 0.2f, 0.8f}) {
        const std::vector<float> wave = sine(hz, amplitude);
        analyser.analyse(wave.data(), wave.data(), 44100, 78, levels.data());
        EXPECT_GT(levels[40], last) << amplitude;
        last = levels[40];
    }
}

TEST(Spectrum, PeaksRiseAtOnceAndFallSlowly) {
    const struct {
        float level, peak, after;
    } cases[] = {{0.5f, 0.2f, 0.5f}, {0.1f, 0.8f, 0.75f}, {0.0f, 0.02f, 0.0f}, {0.78f, 0.8f, 0.78f}};
    for (const auto &c : cases) {
        float peak = c.peak;
        fall_peaks(&c.level, &peak, 1, 0.05f);
        EXPECT_FLOAT_EQ(peak, c.after) << c.level << " " << c.peak;
    }
}

TEST(Spectrum, TheLayoutFillsEveryWindowFromTheSmallestToTheLargest) {
    const struct {
        int rows, cols;
        bool axis;
    } cases[] = {{7, 40, false}, {19, 80, true}, {95, 300, true}, {3, 40, false}};
    for (const auto &c : cases) {
        const SpectrumLayout l = spectrum_layout(c.rows, c.cols);
        EXPECT_EQ(l.bars, c.cols - 2) << c.rows;
        EXPECT_EQ(l.axis_row >= 0, c.axis) << c.rows;
        // Bars, the axis and the traces take every inner row, one after another.
        EXPECT_EQ(l.bars_top, 1);
        EXPECT_EQ(l.scope_top, 1 + l.bars_rows + (c.axis ? 1 : 0)) << c.rows;
        EXPECT_EQ(l.scope_top + l.scope_rows, c.rows - 1) << c.rows;
        EXPECT_GE(l.bars_rows, 1) << c.rows;
        // The two traces and the column between them take the inner width.
        EXPECT_EQ(l.left_scope_cols + 1 + l.right_scope_cols, c.cols - 2) << c.cols;
        EXPECT_EQ(l.right_scope_col, l.left_scope_col + l.left_scope_cols + 1);
    }
}

TEST(Spectrum, ScopeLevelsSplitTheRangeEvenly) {
    const struct {
        float sample;
        int levels, level;
    } cases[] = {{-1.0f, 4, 0}, {-0.6f, 4, 0}, {-0.4f, 4, 1}, {0.0f, 4, 2}, {0.49f, 4, 2},
                 {0.5f, 4, 3},  {1.0f, 4, 3},  {3.0f, 4, 3},  {-3.0f, 4, 0}, {0.3f, 0, 0}};
    for (const auto &c : cases) EXPECT_EQ(scope_level(c.sample, c.levels), c.level) << c.sample << " " << c.levels;
}
