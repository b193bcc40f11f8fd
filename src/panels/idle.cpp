#include "panels/idle.h"

#include <ctime>
#include <curses.h>
#include <panel.h>

#include "app/module_loader.h"
#include "app/shutdown.h"
#include "app/sound_output.h"
#include "display/channel_table.h"
#include "display/status_lines.h"

namespace {

long long now_ms() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

long long last_frame_ms = 0;

}  // namespace

bool frame_due() {
    const long long now = now_ms();
    if (now - last_frame_ms < kFrameIntervalMs) return false;
    last_frame_ms = now;
    return true;
}

namespace {

void compose() {
    update_panels();
    doupdate();
}

// The channel table and the status row, at most once per frame interval.
void draw_live(bool status_first = false) {
    if (!frame_due()) return;
    if (status_first) draw_status_row();
    draw_channel_table();
    if (!status_first) draw_status_row();
}

}  // namespace

void live_refresh() {
    act_on_signals();
    if (module && playing) {
        draw_live();
        compose();
        feed_player();
    }
}

void idle_step(IdleStep step) {
    act_on_signals();
    const bool module_playing = module && playing;
    switch (step) {
    case IdleStep::comment:
        if (playing && module) {
            draw_live();
            compose();
            feed_player();
        }
        break;
    case IdleStep::selector_buttons:
        if (module_playing) {
            draw_live();
            doupdate();
            update_panels();
            feed_player();
        }
        break;
    case IdleStep::compose_always:
    case IdleStep::monitor:
        if (step == IdleStep::compose_always ? module_playing : (playing && module)) {
            draw_live();
            feed_player();
        }
        compose();
        break;
    case IdleStep::help:
        if (module_playing) {
            draw_live();
            feed_player();
            compose();
        }
        break;
    case IdleStep::browser:
        if (module_playing) {
            draw_live(true);
            compose();
            feed_player();
        }
        break;
    }
}

void refresh_then_compose() { idle_step(IdleStep::compose_always); }
