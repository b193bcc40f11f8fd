#include "3_panels/effects_panel.h"

#include <curses.h>
#include <panel.h>

#include "1_player/mixer.h"
#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "1_player/settings.h"
#include "2_screen/colors.h"
#include "2_screen/keys.h"
#include "2_screen/level_meter.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "3_panels/idle.h"
#include "3_panels/panel_mover.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_runner.h"
#include "3_panels/panel_window.h"

namespace {

constexpr int kEffectsRows = panel_layout(PanelKind::effects).rows;
constexpr int kLabelCol = 1;
constexpr int kMeterCol = 12;
constexpr int kFirstRow = 2;

const char *const kLabels[kEffectRowCount] = {
    "   Speed ", "   Tempo ", "     BPM ", "  Reverb ", "  Stereo ",
    " Gen Vol ", " Mod Vol ", " Mix Vol ", "    Bass ", "  Treble ",
};

// value * (1 / divisor) * 100 in single precision, truncated.
int share_of(int value, float reciprocal) {
    float share = static_cast<float>(value) * reciprocal;
    share = share * 100.0f;
    return static_cast<int>(share);
}

// One step within `bounds`: down while above the low one, up while below
// the high one.
int bounded_step(int value, int direction, SettingBounds bounds) {
    return step_within(value, direction < 0 ? -1 : +1, bounds);
}

// The setting each row shows; the BPM's top is the module's own.
constexpr Setting kRowSettings[kEffectRowCount] = {
    Setting::speed,          Setting::tempo,        Setting::bpm,          Setting::reverb,     Setting::separation,
    Setting::general_volume, Setting::song_volume,  Setting::mixer_volume, Setting::mixer_bass, Setting::mixer_treble,
};

// The open panel: its window, the row selected, and how many rows the rows
// are scrolled up by, on a screen too short for the panel (a row scrolled
// out of the window is not drawn).
struct EffectsPanel {
    PanelWindow pw;
    int selected = 0;
    int row_offset = 0;
    unsigned long long drawn_applied = 0;  // the player's changes the meters show
};

int window_row(const EffectsPanel &panel, WINDOW *win, int row) {
    const int at = kFirstRow + row - panel.row_offset;
    return at >= 1 && at <= getmaxy(win) - 2 ? at : -1;
}

void draw_label(const EffectsPanel &panel, WINDOW *win, int row, bool selected) {
    const int at = window_row(panel, win, row);
    if (at < 0) return;
    set_attr(win, selected ? role_attr(ColorRole::selection) : kNormal);
    put_text(win, at, kLabelCol, kLabels[row]);
}

// The meter in whatever attribute the window holds: the bar of a style
// that sets none takes the label's attribute.
void draw_meter(const EffectsPanel &panel, WINDOW *win, int row) {
    const int at = window_row(panel, win, row);
    if (at < 0) return;
    level_meter(win, kMeterCol, at, effect_percent(row, effect_value(row)), true, meter_style);
}

void draw_effects(EffectsPanel &panel, WINDOW *win) {
    panel.row_offset = scroll_to_show(panel.row_offset, kFirstRow + panel.selected, getmaxy(win), kEffectsRows);
    set_attr(win, kNormal);
    for (int row = 1; row < getmaxy(win) - 1; ++row) put_blanks(win, row, 1, getmaxx(win) - 2);
    for (int row = 0; row < kEffectRowCount; ++row) {
        draw_label(panel, win, row, row == panel.selected);
        draw_meter(panel, win, row);
    }
    set_attr(win, kNormal);
}

void select_row(EffectsPanel &panel, int row) {
    WINDOW *win = panel.pw.win;
    const int offset = scroll_to_show(panel.row_offset, kFirstRow + row, getmaxy(win), kEffectsRows);
    draw_label(panel, win, panel.selected, false);
    panel.selected = row;
    if (offset != panel.row_offset) {
        draw_effects(panel, win);
        return;
    }
    draw_label(panel, win, panel.selected, true);
}

}  // namespace

int effect_percent(int row, int value) {
    switch (row) {
    case kSpeedRow: return 100 - share_of(value, 1.0f / 256.0f);
    case kReverbRow: {
        float share = static_cast<float>(value) / 15.0f;
        share = share * 100.0f;
        return static_cast<int>(share);
    }
    // The separation in whole percent, each of which has a value of its own.
    case kStereoRow: return separation_of_pansep(value);
    case kGenVolRow: return share_of(value, 1.0f / 128.0f);
    case kMixVolRow: {
        float share = static_cast<float>(value) / static_cast<float>(kMixerVolumeFull);
        share = share * 100.0f;
        return static_cast<int>(share);
    }
    default: return share_of(value, 1.0f / 256.0f);
    }
}

int effect_step(int row, int value, int direction, int top_bpm) {
    if (row < 0 || row >= kEffectRowCount) return value;
    const SettingBounds bounds = setting_bounds(kRowSettings[row]);
    switch (row) {
    case kSpeedRow: return bounded_step(value, -direction, bounds);  // left slows: more ticks a row
    case kBpmRow: return bounded_step(value, direction, {bounds.low, top_bpm});
    case kStereoRow:
        return pansep_of_separation(bounded_step(separation_of_pansep(value), direction, bounds));
    case kMixVolRow:
        // No clamp above: from 25699 or less one more step is added.
        if (direction < 0) return value < kMixerVolumeStep + 1 ? bounds.low : value - kMixerVolumeStep;
        return value <= bounds.high - 1 ? value + kMixerVolumeStep : value;
    default: return bounded_step(value, direction, bounds);
    }
}

namespace {

// The setting of each row the player keeps.
PlayerSetting player_setting(int row) {
    switch (row) {
    case kSpeedRow: return PlayerSetting::speed;
    case kTempoRow: return PlayerSetting::tempo;
    case kBpmRow: return PlayerSetting::bpm;
    case kReverbRow: return PlayerSetting::reverb;
    case kStereoRow: return PlayerSetting::stereo_separation;
    case kGenVolRow: return PlayerSetting::general_volume;
    default: return PlayerSetting::song_volume;
    }
}

bool is_player_row(int row) { return row < kMixVolRow; }

}  // namespace

int effect_value(int row) {
    const PlayerView &view = player_view();
    const bool loaded = view.module != nullptr;
    switch (row) {
    case kSpeedRow: return loaded ? view.sngspd : 0;
    case kTempoRow: return loaded ? view.inittempo : 0;
    case kBpmRow: return loaded ? view.bpm : 0;
    case kReverbRow: return view.reverb;
    case kStereoRow: return view.pansep;
    case kGenVolRow: return view.mix_volume;
    case kModVolRow: return loaded ? view.volume : 0;
    case kMixVolRow: return mixer_volume;
    case kBassRow: return mixer_bass;
    case kTrebleRow: return mixer_treble;
    default: return 0;
    }
}

void change_effect(int row, int direction) {
    if (row == kStereoRow) {
        // The percent the options file keeps is stepped here, where it is
        // owned; the player mixes with its pansep.
        separation = bounded_step(separation, direction, setting_bounds(Setting::separation));
        player_change_setting(PlayerSetting::stereo_separation,
                              [pansep = pansep_of_separation(separation)](int, int) { return pansep; });
        return;
    }
    if (is_player_row(row)) {
        // The player steps the value it has when it gets to the change.
        player_change_setting(player_setting(row),
                              [row, direction](int value, int top_bpm) { return effect_step(row, value, direction, top_bpm); });
        return;
    }
    const int value = effect_step(row, effect_value(row), direction, 255);
    switch (row) {
    case kMixVolRow:
        mixer_volume = value;
        write_mixer_level(MixerControl::volume);
        break;
    case kBassRow:
        mixer_bass = value;
        write_mixer_level(MixerControl::bass);
        break;
    case kTrebleRow:
        mixer_treble = value;
        write_mixer_level(MixerControl::treble);
        break;
    default: break;
    }
}

namespace {

constexpr int kEffectsCloseKeys[] = {'q', kEscape};

}  // namespace

void effects_panel() {
    EffectsPanel panel;
    panel.drawn_applied = player_view().applied;
    PanelDescription desc = panel_description(PanelKind::effects);
    desc.title = "Effects";
    desc.on_top = true;
    desc.close_keys = kEffectsCloseKeys;
    desc.on_key = [&panel](int key) {
        const int selected = panel.selected;
        switch (key) {
        case KEY_DOWN: select_row(panel, selected < kEffectRowCount - 1 ? selected + 1 : selected); break;
        case KEY_UP: select_row(panel, selected > 0 ? selected - 1 : selected); break;
        case KEY_NPAGE: select_row(panel, kTrebleRow); break;
        case KEY_PPAGE: select_row(panel, kSpeedRow); break;
        case KEY_LEFT:
        case KEY_RIGHT:
            change_effect(selected, key == KEY_LEFT ? -1 : +1);
            draw_meter(panel, panel.pw.win, selected);
            request_frame();  // the status row shows the new value at once
            break;
        case 'm': move_panel_interactively(panel.pw.panel); break;
        default: break;
        }
        return KeyResult::handled;
    };
    // A screen that shrank and grew again cut rows off: they are drawn anew.
    desc.draw = [&panel](WINDOW *win) { draw_effects(panel, win); };
    // The meters follow the player once it has carried a change out.
    desc.live_step = [&panel](int) {
        if (player_view().applied == panel.drawn_applied) return;
        panel.drawn_applied = player_view().applied;
        draw_effects(panel, panel.pw.win);
    };
    panel.pw = open_panel(desc);
    run_panel(desc, panel.pw);
}
