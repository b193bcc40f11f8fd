#include "3_panels/spectrum_panel.h"

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

#include "2_screen/colors.h"
#include "headless_screen.h"

namespace {

constexpr unsigned kRate = 44100;

// The sizes of the panel on the smallest and the largest terminal we fit,
// and on the usual one: the screen less the five rows above it.
struct PanelSize {
    int screen_rows, screen_cols;
};
constexpr PanelSize kSizes[] = {{12, 40}, {24, 80}, {100, 300}};

std::vector<float> sine(double hz, float amplitude) {
    std::vector<float> wave(kSpectrumFrames);
    for (int i = 0; i < kSpectrumFrames; ++i)
        wave[i] = amplitude * static_cast<float>(std::sin(2 * M_PI * hz * i / kRate));
    return wave;
}

std::vector<float> square(double hz, float amplitude) {
    std::vector<float> wave = sine(hz, 1.0f);
    for (float &s : wave) s = s >= 0.0f ? amplitude : -amplitude;
    return wave;
}

// A cell's colour pair, read as a wide cell (block characters included).
short cell_pair(WINDOW *win, int row, int col) {
    cchar_t cell;
    wchar_t chars[CCHARW_MAX];
    attr_t attrs = 0;
    short pair_number = 0;
    mvwin_wch(win, row, col, &cell);
    getcchar(&cell, chars, &attrs, &pair_number, nullptr);
    return pair_number;
}

short role_pair(ColorRole role) { return static_cast<short>(PAIR_NUMBER(role_attr(role))); }

double band_middle(int bar, int bars) { return std::sqrt(spectrum_band_edge(bar, bars) * spectrum_band_edge(bar + 1, bars)); }

// One test per locale: the panel in block characters, or in ASCII.
class SpectrumPicturePanel : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        utf8 = GetParam();
        std::setlocale(LC_ALL, utf8 ? "C.UTF-8" : "C");
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }

    // The cell's character, as UTF-8.
    static std::string at(WINDOW *win, int row, int col) { return shown_text(win, row, col, 1); }

    bool is_peak(const std::string &cell) const { return cell == (utf8 ? "▔" : "-"); }

    // How many cells of column `col` of the bars are filled.
    int bar_height(WINDOW *win, const SpectrumLayout &l, int bar) const {
        int height = 0;
        for (int r = l.bars_top; r < l.bars_top + l.bars_rows; ++r) {
            const std::string cell = at(win, r, l.bars_left + bar);
            if (cell != " " && !is_peak(cell)) ++height;
        }
        return height;
    }

    // The row of bar `bar`'s peak mark, or -1.
    int peak_row(WINDOW *win, const SpectrumLayout &l, int bar) const {
        for (int r = l.bars_top; r < l.bars_top + l.bars_rows; ++r)
            if (is_peak(at(win, r, l.bars_left + bar))) return r;
        return -1;
    }

    // The levels an oscilloscope's marks stand at, one a column.
    std::set<int> trace_levels(WINDOW *win, const SpectrumLayout &l, int col, int cols) const {
        std::set<int> levels;
        for (int c = col; c < col + cols; ++c)
            for (int r = l.scope_top; r < l.scope_top + l.scope_rows; ++r) {
                const std::string cell = at(win, r, c);
                const int below = l.scope_top + l.scope_rows - 1 - r;
                if (cell == "▀") levels.insert(2 * below + 1);
                if (cell == "▄") levels.insert(2 * below);
                if (cell == "*") levels.insert(below);
            }
        return levels;
    }

    bool utf8 = false;
};

TEST_P(SpectrumPicturePanel, AToneStandsHighestOverItsPitchAndSilenceLeavesEmptyBars) {
    for (const PanelSize &size : kSizes) {
        HeadlessScreen screen{size.screen_rows, size.screen_cols};
        WINDOW *win = newwin(size.screen_rows - kSpectrumPanelTop, size.screen_cols, kSpectrumPanelTop, 0);
        const SpectrumLayout l = spectrum_layout(getmaxy(win), getmaxx(win));
        SpectrumPicture picture;
        picture.utf8 = utf8;
        const int bar = l.bars * 3 / 5;
        const std::vector<float> tone = sine(band_middle(bar, l.bars), 0.5f);
        draw_spectrum_picture(win, picture, tone.data(), tone.data(), kRate);
        int highest = 0;
        for (int b = 0; b < l.bars; ++b)
            if (b != bar) highest = std::max(highest, bar_height(win, l, b));
        EXPECT_GT(bar_height(win, l, bar), highest) << size.screen_cols << "x" << size.screen_rows;
        EXPECT_EQ(cell_pair(win, l.bars_top + l.bars_rows - 1, l.bars_left + bar), role_pair(ColorRole::spectrum_bar));

        const std::vector<float> silence(kSpectrumFrames, 0.0f);
        draw_spectrum_picture(win, picture, silence.data(), silence.data(), kRate);
        for (int b = 0; b < l.bars; ++b) EXPECT_EQ(bar_height(win, l, b), 0) << b;
        // The peak stays over the empty bar a while, falling.
        const int first = peak_row(win, l, bar);
        EXPECT_GE(first, l.bars_top);
        for (int frame = 0; frame < 40; ++frame)
            draw_spectrum_picture(win, picture, silence.data(), silence.data(), kRate);
        EXPECT_TRUE(peak_row(win, l, bar) == -1 || peak_row(win, l, bar) > first) << size.screen_cols;
        // Nothing sounds: each trace lies flat on one level.
        EXPECT_EQ(trace_levels(win, l, l.left_scope_col, l.left_scope_cols).size(), 1u);
        delwin(win);
    }
}

TEST_P(SpectrumPicturePanel, ALouderToneMakesATallerBar) {
    HeadlessScreen screen{24, 80};
    WINDOW *win = newwin(19, 80, kSpectrumPanelTop, 0);
    const SpectrumLayout l = spectrum_layout(19, 80);
    const int bar = 30;
    int last = 0;
    for (float amplitude : {0.003f, 0.03f, 0.3f}) {
        SpectrumPicture picture;
        picture.utf8 = utf8;
        const std::vector<float> tone = sine(band_middle(bar, l.bars), amplitude);
        draw_spectrum_picture(win, picture, tone.data(), tone.data(), kRate);
        EXPECT_GT(bar_height(win, l, bar), last) << amplitude;
        last = bar_height(win, l, bar);
    }
    delwin(win);
}

TEST_P(SpectrumPicturePanel, TheScopeOfASquareWaveShowsTwoLevelsOnItsSideAlone) {
    for (const PanelSize &size : kSizes) {
        HeadlessScreen screen{size.screen_rows, size.screen_cols};
        WINDOW *win = newwin(size.screen_rows - kSpectrumPanelTop, size.screen_cols, kSpectrumPanelTop, 0);
        const SpectrumLayout l = spectrum_layout(getmaxy(win), getmaxx(win));
        SpectrumPicture picture;
        picture.utf8 = utf8;
        const std::vector<float> left = square(220, 0.8f);
        const std::vector<float> right(kSpectrumFrames, 0.0f);
        draw_spectrum_picture(win, picture, left.data(), right.data(), kRate);
        const std::set<int> high_and_low = trace_levels(win, l, l.left_scope_col, l.left_scope_cols);
        const int levels = l.scope_rows * (utf8 ? 2 : 1);
        EXPECT_EQ(high_and_low, (std::set<int>{scope_level(-0.8f, levels), scope_level(0.8f, levels)}))
            << size.screen_cols << "x" << size.screen_rows;
        EXPECT_EQ(trace_levels(win, l, l.right_scope_col, l.right_scope_cols),
                  std::set<int>{scope_level(0.0f, levels)});
        EXPECT_EQ(cell_pair(win, l.scope_top, l.left_scope_col), role_pair(ColorRole::scope_trace));
        delwin(win);
    }
}

TEST_P(SpectrumPicturePanel, NothingMixedYetShowsEmptyBarsAndNoTrace) {
    HeadlessScreen screen{12, 40};
    WINDOW *win = newwin(7, 40, kSpectrumPanelTop, 0);
    const SpectrumLayout l = spectrum_layout(7, 40);
    SpectrumPicture picture;
    picture.utf8 = utf8;
    const std::vector<float> noise = sine(1000, 0.9f);  // whatever the buffers hold
    draw_spectrum_picture(win, picture, noise.data(), noise.data(), 0);
    for (int b = 0; b < l.bars; ++b) EXPECT_EQ(bar_height(win, l, b), 0) << b;
    EXPECT_TRUE(trace_levels(win, l, l.left_scope_col, l.left_scope_cols).empty());
    delwin(win);
}

INSTANTIATE_TEST_SUITE_P(Locales, SpectrumPicturePanel, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "Utf8" : "Ascii"; });

TEST(SpectrumPanel, TheTraceShowsAFortiethOfASecond) {
    EXPECT_EQ(scope_frames(44100), 1102);
    EXPECT_EQ(scope_frames(8000), 200);
    EXPECT_EQ(scope_frames(0), 1);
    EXPECT_EQ(scope_frames(400000), kSpectrumFrames / 2);
}

}  // namespace
