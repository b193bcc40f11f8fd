#include "2_screen/main_window.h"

#include "1_player/version.h"
#include "2_screen/channel_table.h"
#include "2_screen/colors.h"
#include "2_screen/screen_text.h"

WINDOW *main_win = nullptr;
PANEL *main_panel = nullptr;

void create_main_window() {
    main_win = newwin(screen_rows(), screen_cols(), 0, 0);
    // Keys are read without waiting: the loops wait in one poll.
    wtimeout(main_win, 0);
    keypad(main_win, TRUE);
    leaveok(main_win, TRUE);
    main_panel = new_panel(main_win);
    draw_main_window_frame();
}

void draw_main_window_frame() {
    werase(main_win);
    draw_border(main_win);
    draw_column_header();
    set_role(main_win, ColorRole::title_bar);
    put_format(main_win, 0, 0, "%80s", "Press 'h' for help  ");
    set_role(main_win, ColorRole::title_bar_name);
    put_format(main_win, 0, 0, " :: XQ v%s ::", kVersion);
    set_attr(main_win, kNormal);
}
