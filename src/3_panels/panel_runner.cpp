#include "3_panels/panel_runner.h"

#include <algorithm>
#include <panel.h>

#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "2_screen/main_window.h"
#include "3_panels/command_keys.h"
#include "3_panels/event_loop.h"
#include "3_panels/idle.h"
#include "3_panels/screen_resize.h"

namespace {

bool is_close_key(const PanelDescription &desc, int key) {
    return std::find(desc.close_keys.begin(), desc.close_keys.end(), key) != desc.close_keys.end();
}

KeyResult hand_on(const PanelDescription &desc, int key) {
    // While paused only `p` acts, whatever panel is open: it ends the pause.
    if (keys_held_by_pause() && key != KEY_RESIZE) {
        if (key == 'p') {
            request_frame();
            player_play_or_pause();
        }
        return KeyResult::handled;
    }
    if (is_close_key(desc, key)) return KeyResult::closed;
    KeyResult result = dispatch_key(desc.keys, key);
    if (result == KeyResult::passed && desc.on_key) result = desc.on_key(key);
    if (result == KeyResult::passed && desc.passes_to_command_keys) {
        handle_command_key(key);
        result = KeyResult::handled;
    }
    return result;
}

}  // namespace

void close_panel(PanelWindow &pw, bool repaint_main) {
    if (!pw.win) return;
    forget_panel_window(pw.win);
    if (repaint_main && main_win) wtouchln(main_win, 0, getmaxy(main_win), 1);
    close_panel_window(pw);
}

void draw_panel_whole(WINDOW *win, const char *title, const std::function<void(WINDOW *)> &draw) {
    if (!win) return;
    werase(win);
    draw_default_border(win);
    if (title) draw_panel_title(win, title);
    if (draw) draw(win);
}

PanelDescription panel_description(PanelKind kind) {
    const PanelLayout &layout = panel_layout(kind);
    const PanelCorner corner = panel_corner(kind);
    PanelDescription desc;
    desc.rows = layout_rows(layout, screen_rows());
    desc.cols = layout.cols;
    desc.y = corner.y;
    desc.x = corner.x;
    desc.movable = layout.movable;
    return desc;
}

PanelWindow open_panel(const PanelDescription &desc) {
    PanelWindow pw = open_panel_window(desc.rows, desc.cols, desc.y, desc.x, desc.title);
    if (!pw.win) return pw;
    if (desc.on_top) top_panel(pw.panel);
    remember_panel_window(desc.movable, pw.win);
    if (desc.draw) {
        desc.draw(pw.win);
        set_panel_redraw(pw.win, desc.draw);
    }
    update_panels();
    doupdate();
    return pw;
}

void run_panel_keys(const PanelDescription &desc, WINDOW *win) {
    if (!win) return;
    // The desc given here outlives the loop; the one given to open_panel
    // may not have.
    if (desc.draw) set_panel_redraw(win, desc.draw);
    std::uint64_t shown_module = loaded_module_number(player_view());
    for (;;) {
        // Asked before every wait, the first included: it may ask to be
        // woken at a time.
        if (desc.close_when && desc.close_when()) break;
        const int key = next_key(win);
        if (key == KEY_RESIZE) note_resize_key();
        if (key != ERR && hand_on(desc, key) == KeyResult::closed) break;
        idle_step([&] {
            if (loaded_module_number(player_view()) != shown_module) {
                shown_module = loaded_module_number(player_view());
                if (desc.module_changed) {
                    desc.module_changed();
                    draw_panel_whole(win, desc.title, desc.draw);
                }
            }
            if (desc.live_step) desc.live_step(key);
        });
        if (key == KEY_RESIZE) {
            // After a storm of resizes that ended at the size the idle step
            // last saw, curses has left the windows cut or stretched.
            fit_open_panels();
            redraw_open_panels();
            update_panels();
            doupdate();
        }
    }
}

void run_panel(const PanelDescription &desc, PanelWindow &pw) {
    if (!pw.win) return;
    run_panel_keys(desc, pw.win);
    if (desc.on_close) desc.on_close();
    close_panel(pw, desc.repaint_main_on_close);
}

void run_panel(const PanelDescription &desc) {
    PanelWindow pw = open_panel(desc);
    run_panel(desc, pw);
}
