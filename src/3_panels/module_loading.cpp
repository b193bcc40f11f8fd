#include "3_panels/module_loading.h"

#include <cstdio>
#include <curses.h>
#include <panel.h>

#include "1_player/player.h"
#include "1_player/settings.h"
#include "2_screen/channel_table.h"
#include "2_screen/colors.h"
#include "2_screen/information_rows.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "2_screen/status_lines.h"
#include "3_panels/message_box.h"
#include "3_panels/panel_window.h"

namespace {

WINDOW *loading_notice = nullptr;  // loading_popup's own: the notice shown, if any

}  // namespace

int load_module(const char *file_path, bool (*close_box_early)(), int subsong) {
    char message[kPathCapacity];
    if (load_module_quietly(file_path, message, sizeof message, subsong) != 0) {
        // The "Loading..." notice is no panel, so the box would leave it
        // drawn around itself.
        loading_popup(0);
        dismissable_error_box(message, close_box_early);
        return -1;
    }
    return 0;
}

int load_module_quietly(const char *file_path, char *message, std::size_t size, int subsong) {
    player_set_loops(song_loops);
    player_set_all_songs(all_songs != 0);
    const LoadResult result = player_load(file_path, loop_module != 0, fade_module != 0, subsong);
    if (!result.loaded) {
        if (message && size > 0) std::snprintf(message, size, "%s", result.message);
        return -1;
    }
    reset_channel_state();
    draw_status_row();
    draw_channel_table();
    draw_cursor_markers();
    reset_voice_volume_peaks();
    draw_information_rows();
    update_panels();
    doupdate();
    return 0;
}

void loading_popup(int show) {
    if (show) {
        if (loading_notice) return;
        loading_notice = open_notice(5, 14, screen_rows() / 2 - 3, 33);
        if (!loading_notice) return;
        set_role(loading_notice, ColorRole::notice);
        put_text(loading_notice, 2, 2, "Loading...");
        wnoutrefresh(loading_notice);
        doupdate();
    } else if (loading_notice) {
        close_notice(loading_notice);
    }
}
