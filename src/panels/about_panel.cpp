#include "panels/about_panel.h"

#include <curses.h>

#include "app/version.h"
#include "display/screen_text.h"
#include "panels/colors.h"
#include "panels/idle.h"

namespace {

void draw_about_contents(WINDOW *w) {
    const FrameClip clip(w);
    RowWriter{w, 2, 12}
        .put(bold_pair(kCyanOnBlack), ":: ")
        .put(bold_pair(kGreenOnBlack), "About ")
        .put(bold_pair(kBlueOnBlack), "XQ ")
        .put(bold_pair(kCyanOnBlack), "::");
    set_attr(w, bold_pair(kCyanOnBlack));
    put_text(w, 4, 8, kAboutCopyright);
    set_attr(w, pair(kCyanOnBlack));
    put_text(w, 5, 4, kAboutAuthors);
    set_attr(w, kNormal);
    put_format(w, 8, 5, "xq v%s (280104): 5984 lines", kVersion);
    set_attr(w, bold_pair(kBlueOnBlack));
    put_text(w, 11, 11, kAboutScheme);
    set_attr(w, bold_pair(kCyanOnBlack));
    put_text(w, 11, 16, "//         /");
    set_attr(w, bold_pair(kYellowOnBlack));
    put_text(w, 11, 18, kAboutHost);
    set_attr(w, kNormal);
}

}  // namespace

PanelWindow open_about_panel() {
    PanelWindow about = open_panel_window(14, 40, LINES / 2 - 6, COLS / 2 - 20, nullptr);
    if (!about.win) return about;
    draw_about_contents(about.win);
    set_panel_redraw(about.win, draw_about_contents);
    // Shown at once: while the player is stopped no idle step composes the
    // screen.
    update_panels();
    doupdate();
    return about;
}

void run_about_panel(PanelWindow &about) {
    if (!about.win) return;
    while (wgetch(about.win) != 'q') live_refresh();
    close_panel_window(about);
}

void about_panel() {
    PanelWindow about = open_about_panel();
    run_about_panel(about);
}
