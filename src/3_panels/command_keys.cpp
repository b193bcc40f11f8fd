#include "3_panels/command_keys.h"

#include <curses.h>

#include "1_player/clock.h"
#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "1_player/reverse_stereo.h"
#include "1_player/setting_bounds.h"
#include "1_player/version.h"
#include "2_screen/channel_table.h"
#include "2_screen/colors.h"
#include "2_screen/commands.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "2_screen/status_lines.h"
#include "3_panels/about_panel.h"
#include "3_panels/comment_panel.h"
#include "3_panels/event_loop.h"
#include "3_panels/help_panel.h"
#include "3_panels/idle.h"
#include "3_panels/panel_window.h"
#include "3_panels/spectrum_panel.h"

namespace {

// Each setting moves by one within its bounds. The BPM stays within what
// the library plays, so the shown tempo and the clock are the played ones.
// The player changes them on the module as it has it then, so a burst of
// keys adds up.
template <PlayerSetting kSetting, Setting kBounds, int kStep>
void step_setting() {
    player_change_setting(kSetting, [](int value, int top_bpm) {
        SettingBounds bounds = setting_bounds(kBounds);
        if (kBounds == Setting::bpm) bounds.high = top_bpm;
        return step_within(value, kStep, bounds);
    });
}

void reverse_stereo_switch() {
    if (switch_reverse_stereo()) draw_driver_line();
}

void volume_display_switch() {
    show_real_volume = 1 - show_real_volume;
    draw_column_header();
}

void spinner_switch() {
    const int old = spinner_off;
    spinner_off = 1 - old;
    if (old == 0 && main_win) {
        set_role(main_win, ColorRole::title_bar_name);
        put_format(main_win, 0, 0, " :: XQ v%s ::", kVersion);
    }
}

bool module_loaded() { return player_view().module != nullptr; }

// Seeks by a minute, and moves between the songs of a module.
void seek_back_minute() { player_seek_time(-kLongSeekMs, true); }
void seek_forward_minute() { player_seek_time(kLongSeekMs, true); }
void previous_song() { player_change_song(-1); }
void next_song() { player_change_song(+1); }

}  // namespace

void stop_playback() {
    WINDOW *notice = open_notice(5, 15, screen_rows() / 2 - 4, 34);
    if (notice) {
        set_role(notice, ColorRole::notice_stopping);
        put_text(notice, 2, 2, "Stopping...");
        wnoutrefresh(notice);
        doupdate();
    }
    player_stop();
    hold_for_ms(kStopNoticeMs);
    close_notice(notice);
}

namespace {

// The commands that work on the module being played; without a module
// they do nothing.
template <void (*Step)()>
KeyResult with_module(int) {
    if (module_loaded()) Step();
    return KeyResult::handled;
}

constexpr CommandBinding kCommandHandlers[] = {
    {"toggle", run_step<player_play_or_pause>},
    {"stop", run_step<stop_playback>},
    {"help", run_step<help_panel>},
    {"about", run_step<about_panel>},
    {"comment", run_step<comment_panel>},
    {"reverb_up", run_step<step_setting<PlayerSetting::reverb, Setting::reverb, +1>>},
    {"reverb_down", run_step<step_setting<PlayerSetting::reverb, Setting::reverb, -1>>},
    {"reverse_stereo", run_step<reverse_stereo_switch>},
    {"volume_display", run_step<volume_display_switch>},
    {"spinner", run_step<spinner_switch>},
    {"restart", with_module<player_restart>},
    {"restart_pattern", with_module<player_restart_pattern>},
    {"forward", with_module<player_next_position>},
    {"back", with_module<player_previous_position>},
    {"bpm_up", with_module<step_setting<PlayerSetting::bpm, Setting::bpm, +1>>},
    {"bpm_down", with_module<step_setting<PlayerSetting::bpm, Setting::bpm, -1>>},
    {"tempo_up", with_module<step_setting<PlayerSetting::tempo, Setting::tempo, +1>>},
    {"tempo_down", with_module<step_setting<PlayerSetting::tempo, Setting::tempo, -1>>},
    {"speed_up", with_module<step_setting<PlayerSetting::speed, Setting::speed, +1>>},
    {"speed_down", with_module<step_setting<PlayerSetting::speed, Setting::speed, -1>>},
    {"volume_up", with_module<step_setting<PlayerSetting::song_volume, Setting::song_volume, +1>>},
    {"volume_down", with_module<step_setting<PlayerSetting::song_volume, Setting::song_volume, -1>>},
    {"mute_all", with_module<player_mute_all>},
    {"spectrum", run_step<spectrum_panel>},
    {"seek_back_minute", with_module<seek_back_minute>},
    {"seek_forward_minute", with_module<seek_forward_minute>},
    {"previous_song", with_module<previous_song>},
    {"next_song", with_module<next_song>},
};

constexpr auto kCommandKeyBindings = bind_commands<binding_count(kCommandHandlers)>(kCommandHandlers);

}  // namespace

const KeyTable kCommandKeys = kCommandKeyBindings;

KeyResult handle_command_key(int key) {
    if (key == ERR) return KeyResult::passed;
    request_frame();
    return dispatch_key({kCommandKeys, loop_context().more_command_keys}, key);
}
