#include "3_panels/idle.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <curses.h>
#include <mikmod.h>
#include <panel.h>

#include "1_player/clock.h"
#include "1_player/module_loader.h"
#include "1_player/player_thread.h"
#include "1_player/settings.h"
#include "1_player/sound_output.h"
#include "2_screen/channel_table.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "2_screen/status_lines.h"
#include "3_panels/panel_window.h"
#include "3_panels/screen_resize.h"

namespace {

long long last_frame_ms = 0;
bool frame_requested = false;

// True when a redraw of the live screen is due (and counts it as done). A
// redraw asked for by a key waits, for at most a frame interval, until the
// player shows what the key did.
long long frame_requested_ms = 0;

bool frame_due() {
    const long long now = monotonic_ms();
    if (frame_requested && !player_view_caught_up() && now - frame_requested_ms < kFrameIntervalMs) return false;
    const long long interval = frame_requested ? kFrameIntervalMs : frame_interval_ms(refresh_delay);
    if (now - last_frame_ms < interval) return false;
    last_frame_ms = now;
    frame_requested = false;
    return true;
}

// A pass that drew nothing leaves the terminal alone: an update would
// still look for typed keys and block and restore the stop signal.
void compose() {
    update_panels();
    if (terminal_behind()) doupdate();
}

// The channel table and the status row, at most once per frame interval.
void draw_live() {
    if (!frame_due()) return;
    draw_channel_table();
    draw_status_row();
}

// The end of a song that does not wrap round: the player stops moving, but
// the voices it left would go on sounding, so they are stopped, and the
// title row says so until the song plays again.
bool end_marked = false;

void draw_end_mark(bool shown) {
    if (!main_win) return;
    const int length = static_cast<int>(std::strlen(kSongEndedText));
    if (shown) {
        set_role(main_win, ColorRole::title_bar_note);
        put_text(main_win, 0, kSongEndedColumn, kSongEndedText);
    } else {
        // The title row's blanks, as start-up drew them.
        set_role(main_win, ColorRole::title_bar);
        put_blanks(main_win, 0, kSongEndedColumn, std::min(length, screen_cols - kSongEndedColumn));
    }
    set_attr(main_win, kNormal);
}

void follow_song_end() {
    const bool ended = player_view().ended;
    if (ended && !end_marked) {
        draw_end_mark(true);
    } else if (!ended && end_marked) {
        draw_end_mark(false);
    }
    end_marked = ended;
}

// The driver line changes when the output restarts (options, a lost
// output and its return) or reverse stereo is switched.
unsigned drawn_mode = 0;
unsigned drawn_mixfreq = 0;
char drawn_driver[64] = "";

void follow_driver_line() {
    const PlayerView &view = player_view();
    if (view.mode == drawn_mode && view.mixfreq == drawn_mixfreq && std::strcmp(view.driver_name, drawn_driver) == 0)
        return;
    drawn_mode = view.mode;
    drawn_mixfreq = view.mixfreq;
    std::snprintf(drawn_driver, sizeof drawn_driver, "%s", view.driver_name);
    draw_driver_line();
}

// A resize draws the title row anew, without the mark.
void follow_screen_size() {
    if (follow_terminal_size() && end_marked) draw_end_mark(true);
}

// The red box shown while the sound output is lost. It is a panel of its
// own that no key loop reads: it stays on top of the stack until the
// output is back.
PanelWindow lost_box;
char lost_box_text[kPathCapacity] = "";

void close_lost_box() {
    if (!lost_box.win) return;
    close_panel_window(lost_box);
    if (main_win) touchwin(main_win);
    lost_box_text[0] = '\0';
}

void follow_sound_output() {
    const PlayerView &view = player_view();
    if (!view.output_lost) {
        close_lost_box();
        return;
    }
    char first[kPathCapacity];
    char second[64];
    std::snprintf(first, sizeof first, "Sound output lost: %s.", view.lost_reason);
    std::snprintf(second, sizeof second, "Retrying every %lld s; the song waits.", kRestartEveryNs / 1'000'000'000LL);
    if (lost_box.win && std::strcmp(first, lost_box_text) == 0) {
        top_panel(lost_box.panel);
        return;
    }
    close_lost_box();
    const int longest = static_cast<int>(std::max(std::strlen(first), std::strlen(second)));
    const int width = std::min(longest + 4, std::max(COLS, 1));
    lost_box = open_panel_window(4, width, LINES / 2 - 2, (COLS - width) / 2, nullptr);
    if (!lost_box.win) return;
    std::snprintf(lost_box_text, sizeof lost_box_text, "%s", first);
    set_role(lost_box.win, ColorRole::error);
    put_text(lost_box.win, 1, 2, first, width - 2);
    put_text(lost_box.win, 2, 2, second, width - 2);
    set_attr(lost_box.win, kNormal);
}

// What every idle step does while a module plays: the sound thread plays
// it; the screen follows.
void play_step() {
    draw_live();
    follow_song_end();
    follow_sound_output();
}

// The screens' copy of the player's snapshot, taken afresh at every step; a
// command carried out since asks for a redraw.
void follow_player() {
    if (refresh_player_view()) request_frame();
    follow_driver_line();
}

}  // namespace

namespace {

void (*signal_step)() = nullptr;
void (*playlist_step)() = nullptr;
void (*remote_step)() = nullptr;
bool (*remote_step_while_paused)() = nullptr;

void act_on_remote_step() {
    if (remote_step) remote_step();
}

}  // namespace

void set_signal_step(void (*step)()) { signal_step = step; }

void set_playlist_step(void (*step)()) { playlist_step = step; }

void set_remote_steps(void (*step)(), bool (*while_paused)()) {
    remote_step = step;
    remote_step_while_paused = while_paused;
}

void act_on_signal_step() {
    if (signal_step) signal_step();
}

bool act_on_remote_step_while_paused() { return remote_step_while_paused && remote_step_while_paused(); }

long long frame_interval_ms(int delay) { return std::max(static_cast<long long>(delay), kFrameIntervalMs); }

void request_frame() {
    if (!frame_requested) frame_requested_ms = monotonic_ms();
    frame_requested = true;
}

void live_refresh() {
    act_on_signal_step();
    follow_player();
    follow_screen_size();
    if (playlist_step) playlist_step();
    act_on_remote_step();
    if (module && playing) {
        play_step();
        compose();
    }
}

void refresh_then_compose(const std::function<void()> &live_step) {
    act_on_signal_step();
    follow_player();
    if (live_step) live_step();
    follow_screen_size();
    if (playlist_step) playlist_step();
    act_on_remote_step();
    if (module && playing) play_step();
    compose();
}
