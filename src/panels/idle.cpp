#include "panels/idle.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <curses.h>
#include <mikmod.h>
#include <panel.h>

#include "app/clock.h"
#include "app/module_loader.h"
#include "app/settings.h"
#include "app/shutdown.h"
#include "app/sound_output.h"
#include "app/startup.h"
#include "display/channel_table.h"
#include "display/screen_text.h"
#include "display/status_lines.h"
#include "panels/colors.h"
#include "panels/panel_window.h"
#include "panels/screen_resize.h"
#include "playlist/playlist_playback.h"

namespace {

long long last_frame_ms = 0;
bool frame_requested = false;

// True when a redraw of the live screen is due (and counts it as done).
bool frame_due() {
    const long long now = monotonic_ms();
    const long long interval = frame_requested ? kFrameIntervalMs : frame_interval_ms(refresh_delay);
    if (now - last_frame_ms < interval) return false;
    last_frame_ms = now;
    frame_requested = false;
    return true;
}

void compose() {
    update_panels();
    doupdate();
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
        set_attr(main_win, bold_pair(kYellowOnBlue));
        put_text(main_win, 0, kSongEndedColumn, kSongEndedText);
    } else {
        // The title row's blanks, as start-up drew them.
        set_attr(main_win, bold_pair(kGreenOnBlue));
        put_blanks(main_win, 0, kSongEndedColumn, std::min(length, screen_cols - kSongEndedColumn));
    }
    set_attr(main_win, kNormal);
}

void follow_song_end() {
    const bool ended = song_has_ended(*module);
    if (ended && !end_marked) {
        for (int voice = 0; voice < song_voice_count(*module); ++voice) Voice_Stop(static_cast<SBYTE>(voice));
        draw_end_mark(true);
    } else if (!ended && end_marked) {
        draw_end_mark(false);
    }
    end_marked = ended;
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
    if (!sound_output_lost()) {
        close_lost_box();
        return;
    }
    char first[kPathCapacity];
    char second[64];
    std::snprintf(first, sizeof first, "Sound output lost: %s.", sound_output_reason());
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
    set_attr(lost_box.win, bold_pair(kRedOnBlack));
    put_text(lost_box.win, 1, 2, first, width - 2);
    put_text(lost_box.win, 2, 2, second, width - 2);
    set_attr(lost_box.win, kNormal);
}

// What every idle step does while a module plays.
void play_step() {
    draw_live();
    feed_player();
    follow_song_end();
    follow_sound_output();
}

}  // namespace

long long frame_interval_ms(int delay) { return std::max(static_cast<long long>(delay), kFrameIntervalMs); }

void request_frame() { frame_requested = true; }

void live_refresh() {
    act_on_signals();
    follow_screen_size();
    act_on_playlist_alarm();
    if (module && playing) {
        play_step();
        compose();
    }
}

void refresh_then_compose() {
    act_on_signals();
    follow_screen_size();
    act_on_playlist_alarm();
    if (module && playing) play_step();
    compose();
}
