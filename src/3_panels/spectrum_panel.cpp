#include "3_panels/spectrum_panel.h"

#include <algorithm>
#include <cstddef>

#include "1_player/player_thread.h"
#include "1_player/sound_ring.h"
#include "2_screen/keys.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "3_panels/panel_runner.h"
#include "3_panels/panel_window.h"

namespace {

// How far the peaks fall a frame: the whole height in a few seconds.
constexpr float kPeakFall = 0.03f;

// Where the trace starts: at a rising zero crossing of the side, when one
// lies early enough, so a steady tone stands still on the screen.
std::size_t trace_start(const float *side, std::size_t total, std::size_t shown) {
    const std::size_t latest = total - shown;
    const std::size_t earliest = total >= 2 * shown ? total - 2 * shown : 1;
    for (std::size_t i = latest; i > earliest; --i)
        if (side[i - 1] < 0.0f && side[i] >= 0.0f) return i;
    return latest;
}

}  // namespace

int scope_frames(unsigned rate) {
    return std::clamp(static_cast<int>(rate / 40), 1, kSpectrumFrames / 2);
}

void draw_spectrum_picture(WINDOW *win, SpectrumPicture &picture, const float *left, const float *right,
                           unsigned rate) {
    const SpectrumLayout l = spectrum_layout(getmaxy(win), getmaxx(win));
    if (static_cast<int>(picture.levels.size()) != l.bars) {
        picture.levels.assign(l.bars, 0.0f);
        picture.peaks.assign(l.bars, 0.0f);
    }
    if (l.bars <= 0) return;
    picture.analyser.analyse(left, right, rate, l.bars, picture.levels.data());
    fall_peaks(picture.levels.data(), picture.peaks.data(), l.bars, kPeakFall);
    if (l.bars_rows > 0)
        draw_spectrum_bars(win, l.bars_top, l.bars_left, l.bars_rows, l.bars, picture.levels.data(),
                           picture.peaks.data(), picture.utf8);
    if (l.axis_row >= 0) draw_spectrum_axis(win, l.axis_row, l.bars_left, l.bars);
    if (l.scope_rows <= 0) return;
    const std::size_t shown = rate == 0 ? 0 : static_cast<std::size_t>(scope_frames(rate));
    const float *sides[2] = {left, right};
    const int cols[2] = {l.left_scope_col, l.right_scope_col};
    const int widths[2] = {l.left_scope_cols, l.right_scope_cols};
    for (int side = 0; side < 2; ++side) {
        const std::size_t start = shown ? trace_start(sides[side], kSpectrumFrames, shown) : 0;
        draw_scope(win, l.scope_top, cols[side], l.scope_rows, widths[side], sides[side] + start, shown,
                   picture.utf8);
    }
    // The column between the two traces.
    for (int r = 0; r < l.scope_rows; ++r) put_blanks(win, l.scope_top + r, l.left_scope_col + l.left_scope_cols, 1);
}

void spectrum_panel() {
    SpectrumPicture picture;
    picture.utf8 = utf8_locale();
    PanelWindow pw;
    unsigned long drawn_sngtime = 0;
    bool drawn = false;
    const auto draw = [&](WINDOW *win) {
        const unsigned rate = output_sound_ring().read_heard(picture.left.data(), picture.right.data(), kSpectrumFrames);
        draw_spectrum_picture(win, picture, picture.left.data(), picture.right.data(), rate);
    };
    PanelDescription desc;
    desc.rows = screen_rows() - kSpectrumPanelTop;
    desc.cols = screen_cols();
    desc.y = kSpectrumPanelTop;
    desc.x = 0;
    desc.title = "Spectrum";
    desc.close_keys = kSpectrumPanelKeys;
    desc.passes_to_command_keys = true;
    desc.draw = draw;
    // A new picture with each frame of the song; none while it is paused,
    // stopped or over, so the picture holds still.
    desc.live_step = [&](int) {
        const PlayerView &view = player_view();
        if (view.paused || (drawn && view.sngtime == drawn_sngtime)) return;
        drawn_sngtime = view.sngtime;
        drawn = true;
        draw(pw.win);
    };
    pw = open_panel(desc);
    if (!pw.win) return;
    set_panel_height_rule(pw.win, kSpectrumPanelTop);
    set_panel_full_width(pw.win);
    run_panel(desc, pw);
}
