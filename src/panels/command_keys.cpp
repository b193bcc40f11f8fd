#include "panels/command_keys.h"

#include <algorithm>
#include <curses.h>
#include <mikmod.h>
#include <unistd.h>

#include "app/clock.h"
#include "app/version.h"
#include "app/module_loader.h"
#include "app/player_thread.h"
#include "app/player_limits.h"
#include "app/settings.h"
#include "app/sound_output.h"
#include "display/main_window.h"
#include "display/channel_table.h"
#include "display/screen_text.h"
#include "display/status_lines.h"
#include "panels/about_panel.h"
#include "panels/colors.h"
#include "panels/comment_panel.h"
#include "panels/help_panel.h"
#include "panels/idle.h"
#include "panels/screen_resize.h"
#include "panels/panel_window.h"
#include "playlist/playlist_panel.h"
#include "playlist/playlist_playback.h"

namespace {

// Each setting moves by one within its bound; the comparisons are made on
// the field's own type, so a signed volume below zero still rises. The BPM
// stays within what the library plays, so the shown tempo and the clock
// are the played ones. They run as the player's commands, on the module as
// it is then, so a burst of keys adds up.
void bpm_up(MODULE &m) {
    if (m.bpm < highest_bpm(m)) ++m.bpm;
}
void bpm_down(MODULE &m) {
    if (m.bpm > kLowestBpm) --m.bpm;
}
void tempo_up(MODULE &m) {
    if (m.inittempo <= 255) ++m.inittempo;
}
void tempo_down(MODULE &m) {
    if (m.inittempo != 0) --m.inittempo;
}
void speed_up(MODULE &m) {
    if (m.sngspd <= 255) ++m.sngspd;
}
void speed_down(MODULE &m) {
    if (m.sngspd != 0) --m.sngspd;
}
void volume_up(MODULE &m) {
    if (m.volume <= 255) ++m.volume;
}
void volume_down(MODULE &m) {
    if (m.volume > 0) --m.volume;
}
void reverb_up() {
    if (md_reverb <= 14) ++md_reverb;
}
void reverb_down() {
    if (md_reverb != 0) --md_reverb;
}

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
    if (!(player_view().mode & DMODE_STEREO)) return;
    reverse_stereo = 1 - reverse_stereo;
    const bool on = reverse_stereo != 0;
    player_post([on] { md_mode = static_cast<UWORD>(on ? (md_mode | DMODE_REVERSE) : (md_mode & ~DMODE_REVERSE)); });
    draw_driver_line();
}

void volume_display_switch() {
    show_real_volume = 1 - show_real_volume;
    draw_column_header();
}

// The player mutes every channel of the module; the table's marks exist
// for the first kMaxChannels only.
void mute_or_unmute_all(const MODULE &m) {
    const int channels = m.numchn;
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
        set_attr(main_win, bold_pair(kCyanOnBlue));
        put_format(main_win, 0, 0, " :: XQ v%s ::", kVersion);
    }
}

// Keys typed while paused are discarded; the timeout is there so that a
// quit signal and the remote control are acted on. The player stays unfed,
// as it is paused. A resize redraws the screen for its new size, the
// notice on top.
void wait_for_resume_key(WINDOW *notice) {
    wtimeout(notice, key_wait_ms());
    for (;;) {
        act_on_signal_step();
        if (act_on_remote_step_while_paused()) return;
        const int key = wgetch(notice);
        if (key == 'p') return;
        if (key == KEY_RESIZE) {
            follow_terminal_size();
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
    WINDOW *notice = open_notice(5, 13, LINES / 2 - 4, 34);
    if (!notice) return;
    set_attr(notice, bold_pair(kYellowOnBlack));
    put_text(notice, 2, 2, "Paused...");
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
        set_attr(notice, bold_pair(kRedOnBlack));
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

void handle_command_key(int key) {
    if (key != ERR) request_frame();
    switch (key) {
    case ERR: return;
    case 'p': play_or_pause(); return;
    case 't': stop_playback(); return;
    case 'h':
    case 'H': help_panel(); return;
    case '?': about_panel(); return;
    case 'i': comment_panel(); return;
    case 'R': player_post(reverb_up); return;
    case 'r': player_post(reverb_down); return;
    case '!': reverse_stereo_switch(); return;
    case 'u': volume_display_switch(); return;
    case KEY_F(12): spinner_switch(); return;
    case 'l': playlist_panel(); return;
    case 'N': playlist_next(); return;
    case 'V': playlist_previous(); return;
    default: break;
    }
    // Every other command works on the module being played, as the player
    // has it when the command runs.
    if (!module) return;
    switch (key) {
    case 'A': restart_module(); break;
    case 'a': post_to_module(restart_pattern); break;
    case 'n': post_to_module(next_position); break;
    case 'v': post_to_module(previous_position); break;
    case 'B': post_to_module(bpm_up); break;
    case 'b': post_to_module(bpm_down); break;
    case 'K': post_to_module(tempo_up); break;
    case 'k': post_to_module(tempo_down); break;
    case 'S': post_to_module(speed_up); break;
    case 's': post_to_module(speed_down); break;
    case '+': post_to_module(volume_up); break;
    case '-': post_to_module(volume_down); break;
    case 'M': mute_or_unmute_all(*module); break;
    default: break;  // every unknown key
    }
}
