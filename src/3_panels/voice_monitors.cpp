#include "3_panels/voice_monitors.h"

#include <algorithm>
#include <cstdio>

#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "2_screen/channel_table.h"
#include "2_screen/colors.h"
#include "2_screen/keys.h"
#include "2_screen/level_meter.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "3_panels/command_keys.h"
#include "3_panels/effects_panel.h"
#include "3_panels/idle.h"
#include "3_panels/options_panel.h"
#include "3_panels/panel_mover.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_runner.h"
#include "3_panels/pattern_view.h"
#include "3_panels/spectrum_panel.h"

namespace {

constexpr int kBodyFirstRow = 1;
constexpr int kBodyLastRow = 14;

bool is_volume_monitor(Monitor kind) { return kind == Monitor::all_channels || kind == Monitor::all_voices; }

MovableEntry entry_of(Monitor kind) {
    switch (kind) {
    case Monitor::voices_position: return MovableEntry::voices_position;
    case Monitor::voices_frequency: return MovableEntry::voices_frequency;
    default: return MovableEntry::all_channels;
    }
}

int current_channels() {
    const ModuleInfoPtr &module = player_view().module;
    return module ? module->channels : 0;
}

// The meters follow the player's frames: redrawing up to 128 meters more
// often would only multiply the terminal traffic.
bool pass_due(const VoiceMonitor &monitor) { return player_view().number != monitor.drawn_snapshot; }

void note_pass(VoiceMonitor &monitor) { monitor.drawn_snapshot = player_view().number; }

// The axis rows: ticks on row 13 and numbers on row 14, or on rows 14 and
// 15 for All voices.
void draw_axis(WINDOW *win, Monitor kind, int voices, bool narrow) {
    const int tick_row = kind == Monitor::all_voices ? 14 : 13;
    AxisTick ticks[kMaxAxisTicks];
    const int count = monitor_axis(kind, voices, narrow, ticks);
    set_role(win, ColorRole::monitor_axis);
    const int limit = getmaxx(win) - 1;
    for (int t = 0; t < count; ++t) {
        char number[8];
        std::snprintf(number, sizeof number, "%d", ticks[t].number);
        put_text(win, tick_row, ticks[t].col, "|", limit);
        put_text(win, tick_row + 1, ticks[t].col, number, limit);
    }
}

void blank_body(WINDOW *win) {
    set_attr(win, kNormal);
    const int width = std::min(kMonitorCols - 2, getmaxx(win) - 2);
    for (int row = kBodyFirstRow; row <= kBodyLastRow; ++row) put_blanks(win, row, 1, width);
}

void draw_title_bar(const VoiceMonitor &monitor) {
    set_role(monitor.pw.win, ColorRole::title_bar_name);
    put_format(monitor.pw.win, 0, 0, "%-68s", monitor_title(monitor.kind));
}

void draw_frame(VoiceMonitor &monitor) {
    WINDOW *win = monitor.pw.win;
    monitor.drawn_rows = getmaxy(win);
    monitor.drawn_cols = getmaxx(win);
    monitor.drawn_module = loaded_module_number(player_view());
    monitor.drawn_channels = current_channels();
    monitor.narrow = is_narrow_layout(monitor.drawn_channels);
    if (monitor.kind == Monitor::all_voices) monitor.narrow = false;
    const int voices = monitor_voice_count(monitor.kind, monitor.drawn_channels);
    draw_axis(win, monitor.kind, voices, monitor.narrow);
}

// The value a monitor shows for voice i, with the peak table it is measured
// against raised to it.
struct VoiceValue {
    long value;
    int peak;
};

// The snapshot's voice i, or a silent one past the voices it holds.
VoiceView voice_at(int voice) {
    const PlayerView &view = player_view();
    return voice >= 0 && voice < view.voice_count ? view.voices[voice] : VoiceView{};
}

VoiceValue read_voice(Monitor kind, int voice) {
    const VoiceView v = voice_at(voice);
    long value = 0;
    int(*table)[kMaxChannels] = &voice_volume_peak;
    switch (kind) {
    case Monitor::all_channels:
    case Monitor::all_voices:
        if (show_real_volume) {
            value = static_cast<long>(v.real_volume);
            table = &real_volume_peak;
        } else {
            value = static_cast<long>(v.volume);
        }
        break;
    case Monitor::voices_position:
        value = v.position;
        table = &position_peak;
        break;
    case Monitor::voices_frequency:
        value = static_cast<long>(v.frequency);
        table = &frequency_peak;
        break;
    }
    note_peak(*table, voice, static_cast<int>(std::clamp<long>(value, -0x7fffffffL, 0x7fffffffL)));
    return {value, peak_of(*table, voice)};
}

// The bottom border again, where meters of a window cut short by a small
// terminal ran over it.
void restore_bottom_border(WINDOW *win, Monitor kind) {
    const int rows = getmaxy(win);
    if (rows >= (kind == Monitor::all_voices ? kAllVoicesRows : kMonitorRows) || rows < 2) return;
    set_attr(win, kNormal);
    const int cols = getmaxx(win);
    mvwaddch(win, rows - 1, 0, ACS_LLCORNER);
    mvwhline(win, rows - 1, 1, ACS_HLINE, cols - 2);
    mvwaddch(win, rows - 1, cols - 1, ACS_LRCORNER);
}

void draw_volume_label(WINDOW *win, Monitor kind) {
    if (kind == Monitor::all_channels) {
        set_attr(win, kNormal);
        put_text(win, 15, 50, show_real_volume ? "[ Real volume  ]" : "[ Voice volume ]", getmaxx(win) - 1);
    } else if (kind == Monitor::all_voices) {
        set_role(win, ColorRole::title_bar_note);
        put_text(win, 0, 54, show_real_volume ? " Real volume " : " Voice volume ");
    }
}

void next_style() { meter_style = next_meter_style(meter_style); }

}  // namespace

const char *monitor_title(Monitor kind) {
    switch (kind) {
    case Monitor::all_channels: return " All channels";
    case Monitor::all_voices: return " All voices";
    case Monitor::voices_position: return " Voices position";
    case Monitor::voices_frequency: return " Voices frequency";
    }
    return "";
}

int monitor_voice_count(Monitor kind, int channels) {
    if (kind == Monitor::all_voices) return kMonitorVoices;
    return std::clamp(channels, 0, kMonitorVoices);
}

bool is_narrow_layout(int channels) { return channels <= kNarrowLayoutLimit; }

int monitor_column(int voice, bool narrow) { return narrow ? 2 + 2 * voice : 2 + voice; }

int monitor_axis(Monitor kind, int voices, bool narrow, AxisTick (&ticks)[kMaxAxisTicks]) {
    int count = 0;
    if (kind == Monitor::all_voices) {
        ticks[count++] = {2, 1};
        for (int v = 4; v <= 60; v += 4) ticks[count++] = {v + 1, v};
        ticks[count++] = {65, 64};
        return count;
    }
    voices = std::clamp(voices, 0, kMonitorVoices);
    if (voices < 1) return 0;
    auto column = [narrow](int number) { return narrow ? 2 * number : number + 1; };
    ticks[count++] = {2, 1};
    for (int f = 4; f < voices; f += 4) ticks[count++] = {column(f), f};
    ticks[count++] = {column(voices), voices};
    return count;
}

int monitor_percent(long value, int peak) {
    const float divisor = peak < 1 ? 1.0f : static_cast<float>(peak);
    return static_cast<int>(static_cast<double>(static_cast<float>(value) / divisor) * 100.0);
}

char panning_letter(unsigned long panning) {
    const unsigned p = static_cast<unsigned>(panning & 0xFF);
    return p == 128 ? 'M' : (p < 128 ? 'L' : 'R');
}

attr_t panning_letter_attr(unsigned long panning) {
    switch (panning_letter(panning)) {
    case 'M': return role_attr(ColorRole::panning_middle);
    case 'L': return role_attr(ColorRole::panning_left);
    default: return role_attr(ColorRole::panning_right);
    }
}

attr_t voice_activity_attr(int volume) {
    if (volume <= 0) return kNormal;
    if (volume < 128) return role_attr(ColorRole::volume_medium);
    if (volume < 256) return role_attr(ColorRole::volume_strong);
    return role_attr(ColorRole::volume_loud);
}

namespace {

void release_voices(VoiceMonitor &monitor) {
    if (monitor.holds_voices) hold_player_voices(false);
    monitor.holds_voices = false;
}

}  // namespace

VoiceMonitor open_voice_monitor(Monitor kind) {
    VoiceMonitor monitor;
    monitor.kind = kind;
    // The snapshots hold the voices only while a monitor is open: the first
    // pass waits for one that does.
    hold_player_voices(true);
    monitor.holds_voices = true;
    player_call([] {});
    PanelCorner &corner = corner_of(entry_of(kind));
    const int rows = kind == Monitor::all_voices ? kAllVoicesRows : kMonitorRows;
    monitor.pw = open_panel_window(rows, kMonitorCols, corner.y, corner.x, nullptr);
    WINDOW *win = monitor.pw.win;
    if (!win) return monitor;
    remember_panel_window(entry_of(kind), win);
    draw_title_bar(monitor);
    if (is_volume_monitor(kind)) blank_body(win);
    draw_frame(monitor);
    return monitor;
}

void reinit_voice_monitor(VoiceMonitor &monitor) {
    if (!monitor.pw.win) return;
    blank_body(monitor.pw.win);
    draw_frame(monitor);
    monitor.drawn_snapshot = 0;
}

bool follow_module(VoiceMonitor &monitor) {
    WINDOW *win = monitor.pw.win;
    if (!win) return false;
    if (getmaxy(win) != monitor.drawn_rows || getmaxx(win) != monitor.drawn_cols) {
        // A resized window comes back blank inside its border: all of it
        // is drawn again.
        draw_title_bar(monitor);
        reinit_voice_monitor(monitor);
        return true;
    }
    if (loaded_module_number(player_view()) == monitor.drawn_module && current_channels() == monitor.drawn_channels) return false;
    reinit_voice_monitor(monitor);
    return true;
}

void draw_voice_pass(VoiceMonitor &monitor) {
    WINDOW *win = monitor.pw.win;
    if (!win) return;
    const Monitor kind = monitor.kind;
    const bool narrow = monitor.narrow;
    // Every pass reads the module afresh, but never goes past the voices of
    // the peak tables or the window's last column inside the border.
    const int voices = monitor_voice_count(kind, current_channels());
    const int last_col = getmaxx(win) - 2;
    for (int i = 0; i < voices; ++i) {
        const int col = monitor_column(i, narrow);
        if (col > last_col) break;
        const VoiceValue v = read_voice(kind, i);
        const int percent = monitor_percent(v.value, v.peak);
        level_meter(win, col, kMeterBottomRow, percent, false, meter_style);
        if (narrow && col + 1 <= last_col) level_meter(win, col + 1, kMeterBottomRow, percent, false, meter_style);

        if (kind == Monitor::all_voices) {
            const int w = static_cast<int>(voice_at(i).volume);
            note_peak(voice_volume_peak, i, w);
            set_attr(win, voice_activity_attr(w));
            mvwaddch(win, kActivityRow, col, ACS_BLOCK);
        }

        const unsigned long panning = voice_at(i).panning;
        set_attr(win, panning_letter_attr(panning));
        const char letter[2] = {panning_letter(panning), '\0'};
        put_text(win, kPanningRow, col, letter);
    }
    restore_bottom_border(win, kind);
    draw_volume_label(win, kind);
}

namespace {

KeyResult close_monitor(VoiceMonitor &, int) { return KeyResult::closed; }

KeyResult move_monitor(VoiceMonitor &monitor, int) {
    move_panel_interactively(monitor.pw.panel);
    return KeyResult::handled;
}

template <void (*Open)()>
KeyResult open_over(VoiceMonitor &, int) {
    Open();
    return KeyResult::handled;
}

// `*`: the meters' next style, here and on the main screen.
KeyResult switch_style(VoiceMonitor &, int) {
    request_frame();
    next_style();
    return KeyResult::handled;
}

KeyResult play_or_pause(VoiceMonitor &, int) {
    player_play_or_pause();
    return KeyResult::handled;
}

// The All channels and All voices monitors: every other key goes to the
// command keys (`u` switches this monitor's label along with the main
// screen's header).
constexpr StateKeyBinding<VoiceMonitor> kVolumeMonitorKeyTable[] = {
    {'q', close_monitor},       {kEscape, close_monitor},    {'m', move_monitor},
    {'e', open_over<effects_panel>}, {'o', open_over<options_panel>}, {'P', open_over<pattern_view>},
    {'*', switch_style},
};

// The Voices position and Voices frequency monitors: only `p` and `F` of
// the command keys.
constexpr StateKeyBinding<VoiceMonitor> kVoiceMonitorKeyTable[] = {
    {'q', close_monitor},       {kEscape, close_monitor},    {'m', move_monitor},
    {'e', open_over<effects_panel>}, {'o', open_over<options_panel>}, {'P', open_over<pattern_view>},
    {'p', play_or_pause},       {'F', open_over<spectrum_panel>},
};

constexpr auto kVolumeMonitorKeyList = keys_of(kVolumeMonitorKeyTable);
constexpr auto kVoiceMonitorKeyList = keys_of(kVoiceMonitorKeyTable);

}  // namespace

const KeyList kVolumeMonitorKeys = kVolumeMonitorKeyList;
const KeyList kVoiceMonitorKeys = kVoiceMonitorKeyList;

bool voice_monitor_key(VoiceMonitor &monitor, int key) {
    if (!is_volume_monitor(monitor.kind)) return dispatch_key(kVoiceMonitorKeyTable, monitor, key) != KeyResult::closed;
    const KeyResult result = dispatch_key(kVolumeMonitorKeyTable, monitor, key);
    if (result == KeyResult::passed) handle_command_key(key);
    return result != KeyResult::closed;
}

void run_voice_monitor(VoiceMonitor &monitor) {
    if (!monitor.pw.win) return;
    draw_voice_pass(monitor);
    note_pass(monitor);
    PanelDescription desc;
    desc.on_key = [&monitor](int key) {
        return voice_monitor_key(monitor, key) ? KeyResult::handled : KeyResult::closed;
    };
    desc.draw = [&monitor](WINDOW *) {
        draw_title_bar(monitor);
        reinit_voice_monitor(monitor);
        draw_voice_pass(monitor);
        note_pass(monitor);
    };
    desc.live_step = [&monitor](int key) {
        // Another module may have been loaded meanwhile (by the playlist,
        // or by a key passed on): the axis follows it.
        const bool changed = follow_module(monitor);
        if (key != ERR || changed || pass_due(monitor)) {
            draw_voice_pass(monitor);
            note_pass(monitor);
        }
    };
    desc.on_close = [&monitor] { release_voices(monitor); };
    desc.repaint_main_on_close = !is_volume_monitor(monitor.kind);
    run_panel(desc, monitor.pw);
}

void close_voice_monitor(VoiceMonitor &monitor) {
    release_voices(monitor);
    close_panel(monitor.pw, !is_volume_monitor(monitor.kind));
}

void voice_monitor(Monitor kind) {
    if (kind != Monitor::all_voices && !player_view().module) {
        beep();
        return;
    }
    VoiceMonitor monitor = open_voice_monitor(kind);
    run_voice_monitor(monitor);
}
