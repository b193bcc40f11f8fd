#include "panels/idle.h"

#include <curses.h>
#include <panel.h>

#include "app/module_loader.h"
#include "app/shutdown.h"
#include "app/sound_output.h"
#include "display/channel_table.h"
#include "display/status_lines.h"

namespace {

void compose() {
    update_panels();
    doupdate();
}

}  // namespace

void live_refresh() {
    act_on_signals();
    if (module && playing) {
        draw_channel_table();
        draw_status_row();
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
            draw_channel_table();
            draw_status_row();
            compose();
            feed_player();
        }
        break;
    case IdleStep::selector_buttons:
        if (module_playing) {
            draw_channel_table();
            draw_status_row();
            doupdate();
            update_panels();
            feed_player();
        }
        break;
    case IdleStep::compose_always:
    case IdleStep::monitor:
        if (step == IdleStep::compose_always ? module_playing : (playing && module)) {
            draw_channel_table();
            draw_status_row();
            feed_player();
        }
        compose();
        break;
    case IdleStep::help:
        if (module_playing) {
            draw_channel_table();
            draw_status_row();
            feed_player();
            compose();
        }
        break;
    case IdleStep::browser:
        if (module_playing) {
            draw_status_row();
            draw_channel_table();
            compose();
            feed_player();
        }
        break;
    }
}

void refresh_then_compose() { idle_step(IdleStep::compose_always); }
