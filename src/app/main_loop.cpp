#include "app/main_loop.h"

#include <curses.h>
#include <panel.h>

#include "app/module_loader.h"
#include "app/shutdown.h"
#include "display/main_window.h"
#include "display/channel_table.h"
#include "display/level_meter.h"
#include "filesel/file_selector.h"
#include "panels/command_keys.h"
#include "panels/effects_panel.h"
#include "panels/idle.h"
#include "panels/instruments_panel.h"
#include "panels/mixer.h"
#include "panels/options_panel.h"
#include "panels/pattern_view.h"
#include "panels/samples_panel.h"
#include "panels/voice_monitors.h"
#include "playlist/playlist_playback.h"
#include "panels/module_loading.h"

namespace {

// The mixer keys of the main screen: bass and treble, one step at a time.
void change_mixer_level(int &level, int step, MixerControl control) {
    if ((step < 0 && level == 0) || (step > 0 && level > 255)) return;
    level += step;
    write_mixer_level(control);
}

// The `f` key: a file chosen in the file selector replaces the module being
// played. A failed load leaves the old module, and a playlist, as they were.
void choose_and_load_module() {
    const char *name = file_selector();
    wtouchln(main_win, 0, getmaxy(main_win), 1);
    wnoutrefresh(main_win);
    doupdate();
    if (!name || name[0] == '\0') return;
    loading_popup(1);
    if (load_module(selected_path) == 0) {
        playlist_active = false;
        footer_clear_pending = true;
    }
    loading_popup(0);
}

}  // namespace

void handle_main_key(int key) {
    switch (key) {
    case KEY_DOWN:
    case KEY_UP:
    case KEY_NPAGE:
    case KEY_PPAGE: move_channel_cursor(key); break;
    case '\n':
    case KEY_ENTER: toggle_cursor_channel_mute(); break;
    case '*': meter_style = next_meter_style(meter_style); break;
    case '<': change_mixer_level(mixer_bass, -1, MixerControl::bass); break;
    case '>': change_mixer_level(mixer_bass, +1, MixerControl::bass); break;
    case 'x': change_mixer_level(mixer_treble, -1, MixerControl::treble); break;
    case 'X': change_mixer_level(mixer_treble, +1, MixerControl::treble); break;
    case 'e': effects_panel(); break;
    case 'o': options_panel(); break;
    case 'f': choose_and_load_module(); break;
    case 'c':
    case 'C': voice_monitor(Monitor::all_channels); break;
    case 'T': voice_monitor(Monitor::all_voices); break;
    case 'Y': voice_monitor(Monitor::voices_position); break;
    case 'y': voice_monitor(Monitor::voices_frequency); break;
    case 'W': instruments_panel(); break;
    case 'w': samples_panel(); break;
    case 'P': pattern_view(); break;
    default: break;
    }
}

void run_main_loop() {
    for (;;) {
        int key = wgetch(main_win);
        if (key == 'q') break;
        if (key != ERR) request_frame();
        handle_command_key(key);
        handle_main_key(key);
        live_refresh();
    }
    leave_program(true);
}
