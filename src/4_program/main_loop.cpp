#include "4_program/main_loop.h"

#include <curses.h>
#include <panel.h>

#include "1_player/mixer.h"
#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "1_player/setting_bounds.h"
#include "2_screen/channel_table.h"
#include "2_screen/commands.h"
#include "2_screen/level_meter.h"
#include "2_screen/main_window.h"
#include "3_filesel/file_selector.h"
#include "3_panels/command_keys.h"
#include "3_panels/effects_panel.h"
#include "3_panels/idle.h"
#include "3_panels/instruments_panel.h"
#include "3_panels/module_loading.h"
#include "3_panels/options_panel.h"
#include "3_panels/panel_runner.h"
#include "3_panels/pattern_view.h"
#include "3_panels/samples_panel.h"
#include "3_panels/screen_resize.h"
#include "3_panels/voice_monitors.h"
#include "3_playlist/playlist_playback.h"
#include "4_program/shutdown.h"

namespace {

// The mixer keys of the main screen: bass and treble, one step at a time.
// At a bound nothing is sent.
void change_mixer_level(int &level, int step, Setting setting, MixerControl control) {
    const int stepped = step_within(level, step, setting_bounds(setting));
    if (stepped == level) return;
    level = stepped;
    write_mixer_level(control);
}

// The `f` key: a file chosen in the file selector replaces the module being
// played. A failed load leaves the old module, and a playlist, as they were.
void choose_and_load_module() {
    const FileChoice choice = file_selector();
    wtouchln(main_win, 0, getmaxy(main_win), 1);
    wnoutrefresh(main_win);
    doupdate();
    if (choice.button != SelectorButton::ok || choice.name[0] == '\0') return;
    loading_popup(1);
    if (load_module(choice.path) == 0) leave_playlist();
    loading_popup(0);
}

template <Monitor kind>
KeyResult open_monitor(int) {
    voice_monitor(kind);
    return KeyResult::handled;
}

template <int &level, int step, Setting setting, MixerControl control>
KeyResult step_mixer_level(int) {
    change_mixer_level(level, step, setting, control);
    return KeyResult::handled;
}

KeyResult move_cursor(int key) {
    move_channel_cursor(key);
    return KeyResult::handled;
}

KeyResult switch_meter_style(int) {
    meter_style = next_meter_style(meter_style);
    return KeyResult::handled;
}

KeyResult close_main_screen(int) { return KeyResult::closed; }

// Left and Right seek by a few seconds, as in cmus; the panels that move
// with them keep them.
KeyResult seek_short(int key) {
    if (player_view().module) player_seek_time(key == KEY_LEFT ? -kShortSeekMs : kShortSeekMs, true);
    return KeyResult::handled;
}

constexpr CommandBinding kMainScreenHandlers[] = {
    {"channel_down", move_cursor},
    {"channel_up", move_cursor},
    {"channel_page_down", move_cursor},
    {"channel_page_up", move_cursor},
    {"seek_back", seek_short},
    {"seek_forward", seek_short},
    {"mute_channel", run_step<toggle_cursor_channel_mute>},
    {"meter_style", switch_meter_style},
    {"bass_down", step_mixer_level<mixer_bass, -1, Setting::mixer_bass, MixerControl::bass>},
    {"bass_up", step_mixer_level<mixer_bass, +1, Setting::mixer_bass, MixerControl::bass>},
    {"treble_down", step_mixer_level<mixer_treble, -1, Setting::mixer_treble, MixerControl::treble>},
    {"treble_up", step_mixer_level<mixer_treble, +1, Setting::mixer_treble, MixerControl::treble>},
    {"effects", run_step<effects_panel>},
    {"options", run_step<options_panel>},
    {"file_selector", run_step<choose_and_load_module>},
    {"all_channels", open_monitor<Monitor::all_channels>},
    {"all_voices", open_monitor<Monitor::all_voices>},
    {"voices_position", open_monitor<Monitor::voices_position>},
    {"voices_frequency", open_monitor<Monitor::voices_frequency>},
    {"instruments", run_step<instruments_panel>},
    {"samples", run_step<samples_panel>},
    {"pattern_view", run_step<pattern_view>},
    {"quit", close_main_screen},
};

constexpr auto kMainScreenKeyBindings = bind_commands<binding_count(kMainScreenHandlers)>(kMainScreenHandlers);

}  // namespace

const KeyTable kMainScreenKeys = kMainScreenKeyBindings;

KeyResult handle_main_key(int key) { return dispatch_key(kMainScreenKeys, key); }

void run_main_loop() {
    // The main screen runs as a panel that never opens or closes a window:
    // its own keys, then the command keys; `q` ends the program.
    PanelDescription desc;
    desc.keys = kMainScreenKeys;
    desc.passes_to_command_keys = true;
    desc.live_step = [](int key) {
        if (key != ERR) request_frame();
    };
    run_panel_keys(desc, main_win);
    leave_program(true);
}
