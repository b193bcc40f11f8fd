#include "3_panels/about_panel.h"

#include <curses.h>

#include "1_player/version.h"
#include "2_screen/colors.h"
#include "2_screen/screen_text.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_runner.h"

namespace {

void draw_about_contents(WINDOW *w) {
    const FrameClip clip(w);
    RowWriter{w, 2, 12}
        .put(role_attr(ColorRole::about_accent), ":: ")
        .put(role_attr(ColorRole::about_heading), "About ")
        .put(role_attr(ColorRole::about_name), "XQ ")
        .put(role_attr(ColorRole::about_accent), "::");
    set_role(w, ColorRole::about_accent);
    put_text(w, 4, 8, kAboutCopyright);
    set_role(w, ColorRole::about_text);
    put_text(w, 5, 4, kAboutAuthors);
    set_attr(w, kNormal);
    put_format(w, 8, 5, "xq v%s (280104): 5984 lines", kVersion);
    set_role(w, ColorRole::about_name);
    put_text(w, 11, 11, kAboutScheme);
    set_role(w, ColorRole::about_accent);
    put_text(w, 11, 16, "//         /");
    set_role(w, ColorRole::about_host);
    put_text(w, 11, 18, kAboutHost);
    set_attr(w, kNormal);
}

constexpr int kAboutCloseKeys[] = {'q'};

// Only q closes it; every other key is read and dropped.
PanelDescription about_description() {
    PanelDescription desc = panel_description(PanelKind::about);
    desc.close_keys = kAboutCloseKeys;
    desc.draw = draw_about_contents;
    desc.repaint_main_on_close = false;
    return desc;
}

}  // namespace

PanelWindow open_about_panel() { return open_panel(about_description()); }

void run_about_panel(PanelWindow &about) { run_panel(about_description(), about); }

void about_panel() { run_panel(about_description()); }
