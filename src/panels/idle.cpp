#include "panels/idle.h"

#include <ctime>
#include <curses.h>
#include <panel.h>

#include "app/module_loader.h"
#include "app/shutdown.h"
#include "app/sound_output.h"
#include "display/channel_table.h"
#include "display/status_lines.h"
#include "playlist/playlist_playback.h"

namespace {

long long now_ms() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

long long last_frame_ms = 0;

// True when a redraw of the live screen is due (and counts it as done).
bool frame_due() {
    const long long now = now_ms();
    if (now - last_frame_ms < kFrameIntervalMs) return false;
    last_frame_ms = now;
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

}  // namespace

void live_refresh() {
    act_on_signals();
    act_on_playlist_alarm();
    if (module && playing) {
        draw_live();
        compose();
        feed_player();
    }
}

void refresh_then_compose() {
    act_on_signals();
    act_on_playlist_alarm();
    if (module && playing) {
        draw_live();
        feed_player();
    }
    compose();
}
