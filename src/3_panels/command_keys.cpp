#include "3_panels/command_keys.h"

#include <algorithm>
#include <curses.h>
#include <mikmod.h>
#include <unistd.h>

#include "1_player/clock.h"
#include "1_player/module_loader.h"
#include "1_player/player_limits.h"
#include "1_player/player_thread.h"
#include "1_player/reverse_stereo.h"
#include "1_player/settings.h"
#include "1_player/sound_output.h"
#include "1_player/version.h"
#include "2_screen/channel_table.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "2_screen/status_lines.h"
#include "3_panels/about_panel.h"
#include "3_panels/comment_panel.h"
#include "3_panels/help_panel.h"
#include "3_panels/idle.h"
#include "3_panels/panel_window.h"
#include "3_panels/screen_resize.h"

namespace {

// Each setting moves by one within its bounds; the fields are read with
// their own signedness, so a signed volume below zero still rises. The BPM
// stays within what the library plays, so the shown tempo and the clock
// are the played ones. They run as the player's commands, on the module as
// it is then, so a burst of keys adds up.
template <typename Field>
void step_field(Field &field, int step, SettingBounds bounds) {
    field = static_cast<Field>(step_within(field, step, bounds));
}

void bpm_up(MODULE &m) { step_field(m.bpm, +1, bpm_bounds(m)); }
void bpm_down(MODULE &m) { step_field(m.bpm, -1, bpm_bounds(m)); }
void tempo_up(MODULE &m) { step_field(m.inittempo, +1, setting_bounds(Setting::tempo)); }
void tempo_down(MODULE &m) { step_field(m.inittempo, -1, setting_bounds(Setting::tempo)); }
void speed_up(MODULE &m) { step_field(m.sngspd, +1, setting_bounds(Setting::speed)); }
void speed_down(MODULE &m) { step_field(m.sngspd, -1, setting_bounds(Setting::speed)); }
void volume_up(MODULE &m) { step_field(m.volume, +1, setting_bounds(Setting::song_volume)); }
void volume_down(MODULE &m) { step_field(m.volume, -1, setting_bounds(Setting::song_volume)); }
void reverb_up() { step_field(md_reverb, +1, setting_bounds(Setting::reverb)); }
void reverb_down() { step_field(md_reverb, -1, setting_bounds(Setting::reverb)); }

// Sends `change` to the player, to run on the module being played.
void post_to_module(void (*change)(MODULE &)) {
    player_post([change] {
        if (module) change(*module);
    });
}

// A song that has ended plays again from its start; there is nothing to
// pause.
void play_or_pause() {
    if (stopped) {
        if (module) {
            stopped = false;
            playing = true;
            player_post([] {
                Player_Start(module);
                if (song_has_ended(*module)) Player_SetPosition(0);
            });
        }
        return;
    }
    if (module && playing && player_view().ended) {
        player_post([] {
            Player_SetPosition(0);
            song_position = 0;
        });
        return;
    }
    pause_playback();
}

// The player is started before it is moved: a stopped player ignores
// position changes.
void restart_module() {
    if (!playing) playing = true;
    const bool start = stopped;
    stopped = false;
    player_post([start] {
        if (start) Player_Start(module);
        Player_SetPosition(0);
        song_position = 0;
    });
}

void restart_pattern(MODULE &m) { m.patpos = 0; }

// The position is set at once, so that several presses before the next
// tick each move on one.
void next_position(MODULE &m) {
    if (song_position < m.numpos - 1) {
        Player_SetPosition(static_cast<UWORD>(m.sngpos + 1));
        song_position = m.sngpos;
    }
}

void previous_position(MODULE &m) {
    if (m.sngpos > 0) {
        --m.sngpos;
        song_position = m.sngpos;
    }
}

void reverse_stereo_switch() {
    if (switch_reverse_stereo()) draw_driver_line();
}

void volume_display_switch() {
    show_real_volume = 1 - show_real_volume;
    draw_column_header();
}

// The player mutes every channel of the module; the table's marks exist
// for the first kMaxChannels only.
void mute_or_unmute_all() {
    const int channels = module->numchn;
    const bool mute = mute_all_next == 1;
    for (int j = 0; j < channels && j < kMaxChannels; ++j) channel_muted[j] = mute;
    player_post([mute, channels] {
        for (int j = 0; j < channels; ++j) {
            if (mute)
                Player_Mute(j);
            else
                Player_Unmute(j);
        }
    });
    mute_all_next = 1 - mute_all_next;
    draw_cursor_markers();
}

void spinner_switch() {
    const int old = spinner_off;
    spinner_off = 1 - old;
    if (old == 0 && main_win) {
        set_role(main_win, ColorRole::title_bar_name);
        put_format(main_win, 0, 0, " :: XQ v%s ::", kVersion);
    }
}

// The "Paused..." notice, opened at its own size on the screen as it is
// now; null when no window can be made.
WINDOW *open_pause_notice() {
    WINDOW *notice = open_notice(5, 13, LINES / 2 - 4, 34);
    if (!notice) return nullptr;
    wtimeout(notice, key_wait_ms());
    set_role(notice, ColorRole::notice_waiting);
    put_text(notice, 2, 2, "Paused...");
    return notice;
}

// Keys typed while paused are discarded; the timeout is there so that a
// quit signal and the remote control are acted on. The player stays unfed,
// as it is paused. A resize redraws the screen for its new size and opens
// the notice afresh on top: curses cuts a window to a smaller screen and
// never grows it back.
void wait_for_resume_key(WINDOW *&notice) {
    for (;;) {
        act_on_signal_step();
        if (act_on_remote_step_while_paused()) return;
        const int key = wgetch(notice);
        if (key == 'p') return;
        if (key == KEY_RESIZE) {
            note_resize_key();
            follow_terminal_size();
            if (WINDOW *fresh = open_pause_notice()) {
                delwin(notice);
                notice = fresh;
            }
            touchwin(notice);
            wnoutrefresh(notice);
            doupdate();
        }
    }
}

// The half second in short steps, so a quit signal is not held up by more
// than a key wait.
void hold_stop_notice() {
    const long long step = static_cast<long long>(key_wait_ms()) * 1000LL;
    const long long end = monotonic_ns() / 1000 + kStopNoticeMicroseconds;
    for (;;) {
        act_on_signal_step();
        const long long left = end - monotonic_ns() / 1000;
        if (left <= 0) return;
        usleep(static_cast<useconds_t>(std::min(step, left)));
    }
}

}  // namespace

void pause_playback() {
    if (!module) return;
    if (!playing) {
        player_post([] { Player_Start(module); });
        playing = true;
        return;
    }
    WINDOW *notice = open_pause_notice();
    if (!notice) return;
    // The screen stands still where the song was paused, so what it shows
    // is what the player holds.
    player_call([] { Player_TogglePause(); });
    draw_channel_table();
    draw_status_row();
    update_panels();
    touchwin(notice);
    wnoutrefresh(notice);
    doupdate();
    wait_for_resume_key(notice);
    player_post([] { Player_Start(module); });
    playing = true;
    close_notice(notice);
}

void stop_playback() {
    WINDOW *notice = open_notice(5, 15, LINES / 2 - 4, 34);
    if (notice) {
        set_role(notice, ColorRole::notice_stopping);
        put_text(notice, 2, 2, "Stopping...");
        wnoutrefresh(notice);
        doupdate();
    }
    player_post([] {
        Player_SetPosition(0);
        Player_Stop();
        if (module) module->patpos = 0;
    });
    stopped = true;
    playing = false;
    hold_stop_notice();
    close_notice(notice);
}

namespace {

// A step the player runs.
template <void (*Step)()>
KeyResult run_on_player(int) {
    player_post(Step);
    return KeyResult::handled;
}

PlaylistCommands playlist_commands{};

template <void (*PlaylistCommands::*Command)()>
KeyResult run_playlist_command(int) {
    if (playlist_commands.*Command) (playlist_commands.*Command)();
    return KeyResult::handled;
}

// The commands that work on the module being played, as the player has it
// when the command runs; without a module they do nothing.
template <void (*Step)()>
KeyResult run_with_module(int) {
    if (module) Step();
    return KeyResult::handled;
}

template <void (*Change)(MODULE &)>
KeyResult change_module(int) {
    if (module) post_to_module(Change);
    return KeyResult::handled;
}

constexpr KeyBinding kCommandKeyBindings[] = {
    {'p', run_step<play_or_pause>},
    {'t', run_step<stop_playback>},
    {'h', run_step<help_panel>},
    {'H', run_step<help_panel>},
    {'?', run_step<about_panel>},
    {'i', run_step<comment_panel>},
    {'R', run_on_player<reverb_up>},
    {'r', run_on_player<reverb_down>},
    {'!', run_step<reverse_stereo_switch>},
    {'u', run_step<volume_display_switch>},
    {KEY_F(12), run_step<spinner_switch>},
    {'l', run_playlist_command<&PlaylistCommands::open_panel>},
    {'N', run_playlist_command<&PlaylistCommands::next>},
    {'V', run_playlist_command<&PlaylistCommands::previous>},
    {'A', run_with_module<restart_module>},
    {'a', change_module<restart_pattern>},
    {'n', change_module<next_position>},
    {'v', change_module<previous_position>},
    {'B', change_module<bpm_up>},
    {'b', change_module<bpm_down>},
    {'K', change_module<tempo_up>},
    {'k', change_module<tempo_down>},
    {'S', change_module<speed_up>},
    {'s', change_module<speed_down>},
    {'+', change_module<volume_up>},
    {'-', change_module<volume_down>},
    {'M', run_with_module<mute_or_unmute_all>},
};

}  // namespace

const KeyTable kCommandKeys = kCommandKeyBindings;

void set_playlist_commands(const PlaylistCommands &commands) { playlist_commands = commands; }

KeyResult handle_command_key(int key) {
    if (key == ERR) return KeyResult::passed;
    request_frame();
    return dispatch_key(kCommandKeys, key);
}
