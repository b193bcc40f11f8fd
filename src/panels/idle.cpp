#include "panels/idle.h"

#include <curses.h>
#include <panel.h>

#include "app/module_loader.h"
#include "app/shutdown.h"
#include "app/sound_output.h"
#include "display/channel_table.h"
#include "display/status_lines.h"

void live_refresh() {
    act_on_signals();
    if (module && playing) {
        draw_channel_table();
        draw_status_row();
        update_panels();
        doupdate();
        feed_player();
    }
}

void refresh_then_compose() {
    act_on_signals();
    if (module && playing) {
        draw_channel_table();
        draw_status_row();
        feed_player();
    }
    update_panels();
    doupdate();
}
