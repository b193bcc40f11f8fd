#include "3_panels/idle.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <curses.h>
#include <panel.h>

#include "1_player/clock.h"
#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "1_player/settings.h"
#include "1_player/sound_output.h"
#include "2_screen/channel_table.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "2_screen/status_lines.h"
#include "2_screen/terminal_budget.h"
#include "3_panels/event_loop.h"
#include "3_panels/panel_window.h"
#include "3_panels/screen_resize.h"

namespace {

// What the idle step keeps between two steps: the live screen's frames, and
// what it shows of the player's state. Owned by this file; the main path's
// only.
struct LiveScreen {
    long long last_frame_ms = 0;
    // What the recent frames cost of the terminal's budget, in
    // milliseconds: the frames are kept at least this far apart.
    long long paced_ms = 0;
    long long bytes_since_frame = 0;  // sent since the last frame began
    bool frame_requested = false;
    long long frame_requested_ms = 0;
    bool end_marked = false;
    unsigned drawn_mode = 0;
    unsigned drawn_mixfreq = 0;
    char drawn_driver[64] = "";
    // The red box shown while the sound output is lost: a panel of its own
    // that no key loop reads; it stays on top of the stack until the output
    // is back.
    PanelWindow lost_box;
    char lost_box_text[kPathCapacity] = "";
    // The "Paused..." notice: a plain window over everything while the
    // player is paused.
    WINDOW *pause_notice = nullptr;
};

LiveScreen live;

constexpr long long kMinRedrawGapMs = kFrameIntervalMs / 2;

// True when a redraw of the live screen is due (and counts it as done).
// The player paces the frames of a song that moves; what keys ask for
// comes on top, so redraws are kept kMinRedrawGapMs apart. A redraw asked
// for by a key waits, for at most a frame interval, until the player shows
// what the key did: its snapshot wakes the loop.
bool frame_due() {
    if (!live.frame_requested) return false;
    const long long now = monotonic_ms();
    if (!player_view_caught_up() && now - live.frame_requested_ms < kFrameIntervalMs) {
        wake_at_ms(live.frame_requested_ms + kFrameIntervalMs);
        return false;
    }
    const long long gap = std::max(kMinRedrawGapMs, live.paced_ms);
    if (now - live.last_frame_ms < gap) {
        wake_at_ms(live.last_frame_ms + gap);
        return false;
    }
    live.last_frame_ms = now;
    live.frame_requested = false;
    return true;
}

// The player publishes its frames at the refresh pace, or further apart
// while the frames cost more of the terminal's budget.
void pace_player_frames() {
    set_player_frame_interval_ms(std::max(frame_interval_ms(refresh_delay), live.paced_ms));
}

// A pass that drew nothing leaves the terminal alone: an update would
// still look for typed keys and block and restore the stop signal. What a
// frame sends is counted against the terminal's budget.
void compose(bool frame) {
    update_panels();
    if (live.pause_notice) {
        touchwin(live.pause_notice);
        wnoutrefresh(live.pause_notice);
    }
    if (terminal_behind()) {
        const long long before = thread_bytes_written();
        doupdate();
        const long long after = thread_bytes_written();
        if (before >= 0 && after >= before) live.bytes_since_frame += after - before;
    }
    if (!frame) return;
    // Everything sent since the last frame is this frame's cost: the
    // panels that follow the music draw between two frames too.
    const long long paced = paced_cost_ms(live.paced_ms, frame_cost_ms(live.bytes_since_frame));
    live.bytes_since_frame = 0;
    if (paced == live.paced_ms) return;
    live.paced_ms = paced;
    pace_player_frames();
}

// The channel table and the status row, when a frame is due; returns
// whether it drew them.
bool draw_live() {
    if (!frame_due()) return false;
    draw_channel_table();
    draw_status_row();
    return true;
}

// The end of a song that does not wrap round: the player stops moving and
// silences the voices it left, and the title row says so until the song
// plays again.
void draw_end_mark(bool shown) {
    if (!main_win) return;
    const int length = static_cast<int>(std::strlen(kSongEndedText));
    if (shown) {
        set_role(main_win, ColorRole::title_bar_note);
        put_text(main_win, 0, kSongEndedColumn, kSongEndedText);
    } else {
        // The title row's blanks, as start-up drew them.
        set_role(main_win, ColorRole::title_bar);
        put_blanks(main_win, 0, kSongEndedColumn, std::min(length, screen_cols() - kSongEndedColumn));
    }
    set_attr(main_win, kNormal);
}

void follow_song_end() {
    const bool ended = player_view().ended;
    if (ended != live.end_marked) draw_end_mark(ended);
    live.end_marked = ended;
}

// The driver line changes when the output restarts (options, a lost
// output and its return) or reverse stereo is switched.
void follow_driver_line() {
    const PlayerView &view = player_view();
    if (view.mode == live.drawn_mode && view.mixfreq == live.drawn_mixfreq &&
        std::strcmp(view.driver_name, live.drawn_driver) == 0)
        return;
    live.drawn_mode = view.mode;
    live.drawn_mixfreq = view.mixfreq;
    std::snprintf(live.drawn_driver, sizeof live.drawn_driver, "%s", view.driver_name);
    draw_driver_line();
}

// The "Paused..." notice, opened at its own size on the screen as it is
// now; null when no window can be made.
WINDOW *open_pause_notice() {
    WINDOW *notice = open_notice(5, 13, screen_rows() / 2 - 4, 34);
    if (!notice) return nullptr;
    set_role(notice, ColorRole::notice_waiting);
    put_text(notice, 2, 2, "Paused...");
    return notice;
}

// While the player is paused the notice stands over the screen, which
// stands still where the song was paused. A resize opens it afresh on top:
// curses cuts a window to a smaller screen and never grows it back.
void follow_pause(bool resized) {
    const bool paused = player_view().paused && is_playing(player_view());
    if (paused && (!live.pause_notice || resized)) {
        if (!live.pause_notice) {
            // What the player holds, drawn before the notice covers it.
            draw_channel_table();
            draw_status_row();
        }
        if (WINDOW *fresh = open_pause_notice()) {
            if (live.pause_notice) delwin(live.pause_notice);
            live.pause_notice = fresh;
        }
    } else if (!paused && live.pause_notice) {
        close_notice(live.pause_notice);
    }
}

// A resize draws the title row anew, without the mark.
bool follow_screen_size() {
    const bool resized = follow_terminal_size();
    if (resized && live.end_marked) draw_end_mark(true);
    return resized;
}

void close_lost_box() {
    if (!live.lost_box.win) return;
    close_panel_window(live.lost_box);
    if (main_win) touchwin(main_win);
    live.lost_box_text[0] = '\0';
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
    if (live.lost_box.win && std::strcmp(first, live.lost_box_text) == 0) {
        top_panel(live.lost_box.panel);
        return;
    }
    close_lost_box();
    const int longest = static_cast<int>(std::max(std::strlen(first), std::strlen(second)));
    const int width = std::min(longest + 4, std::max(screen_cols(), 1));
    live.lost_box = open_panel_window(4, width, screen_rows() / 2 - 2, (screen_cols() - width) / 2, nullptr);
    if (!live.lost_box.win) return;
    std::snprintf(live.lost_box_text, sizeof live.lost_box_text, "%s", first);
    set_role(live.lost_box.win, ColorRole::error);
    put_text(live.lost_box.win, 1, 2, first, width - 2);
    put_text(live.lost_box.win, 2, 2, second, width - 2);
    set_attr(live.lost_box.win, kNormal);
}

// The screens' copy of the player's snapshot, taken afresh at every step;
// a new one asks for a frame.
void follow_player() {
    if (refresh_player_view()) request_frame();
    follow_driver_line();
}

}  // namespace

long long frame_interval_ms(int delay) { return std::max(static_cast<long long>(delay), kFrameIntervalMs); }

void follow_refresh_delay() { pace_player_frames(); }

void request_frame() {
    if (!live.frame_requested) live.frame_requested_ms = monotonic_ms();
    live.frame_requested = true;
}

void idle_step(const std::function<void()> &live_step) {
    const LoopContext &ctx = loop_context();
    if (ctx.act_on_signals) ctx.act_on_signals();
    follow_player();
    if (live_step) live_step();
    const bool resized = follow_screen_size();
    if (ctx.playlist_step) ctx.playlist_step();
    if (ctx.serve_remote) ctx.serve_remote();
    bool frame = false;
    if (is_playing(player_view())) {
        frame = draw_live();
        follow_song_end();
        follow_sound_output();
    }
    follow_pause(resized);
    compose(frame);
}

bool keys_held_by_pause() { return live.pause_notice != nullptr || (player_view().paused && is_playing(player_view())); }
