#include "headless_screen.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <panel.h>
#include <string>
#include <unistd.h>
#include <vector>
#include <wchar.h>

#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "3_panels/panel_positions.h"
#include "3_panels/screen_resize.h"

HeadlessScreen::HeadlessScreen(int rows, int cols) {
    setenv("LINES", std::to_string(rows).c_str(), 1);
    setenv("COLUMNS", std::to_string(cols).c_str(), 1);
    use_env(TRUE);
    output_ = std::fopen("/dev/null", "w");
    // An empty pipe as the keyboard: reads wait for their timeout, as on a
    // real terminal where nobody types.
    if (pipe(input_pipe_) == 0) input_ = fdopen(input_pipe_[0], "r");
    screen_ = newterm("xterm-256color", output_, input_);
    set_term(screen_);
    cbreak();
    noecho();
    start_color();
    init_color_pairs();
}

HeadlessScreen::~HeadlessScreen() {
    endwin();
    delscreen(screen_);
    std::fclose(output_);
    if (input_) std::fclose(input_);
    if (input_pipe_[1] >= 0) close(input_pipe_[1]);
}

void press_keys(std::initializer_list<int> keys) {
    std::vector<int> queued(keys);
    for (auto it = queued.rbegin(); it != queued.rend(); ++it) ungetch(*it);
}

namespace {

char readable(chtype cell) {
    char c = static_cast<char>(cell & A_CHARTEXT);
    if (!(cell & A_ALTCHARSET)) return c;
    switch (c) {
    case 'q': return '-';
    case 'x': return '|';
    case 'l': case 'k': case 'm': case 'j': case 'n': case 't': case 'u': case 'v': case 'w': return '+';
    default: return c;
    }
}

}  // namespace

std::string cells_text(WINDOW *win, int row, int col, int length) {
    std::string text;
    for (int x = col; x < col + length && x < getmaxx(win); ++x) text += readable(mvwinch(win, row, x));
    return text;
}

std::string row_text(WINDOW *win, int row) { return cells_text(win, row, 0, getmaxx(win)); }

attr_t cell_attr(WINDOW *win, int row, int col) {
    return static_cast<attr_t>(mvwinch(win, row, col) & (A_BOLD | A_REVERSE | A_COLOR));
}

WINDOW *shown() { return curscr; }

void create_test_main_window() {
    compute_default_panel_positions();
    create_main_window();
    main_window_drawn_for_screen();
    update_panels();
    doupdate();
}

void destroy_test_main_window() {
    if (main_panel) del_panel(main_panel);
    if (main_win) delwin(main_win);
    main_panel = nullptr;
    main_win = nullptr;
    update_panels();
}

std::string shown_text(WINDOW *win, int row, int col, int count, int *cells) {
    std::string out;
    int x = col;
    while (x < col + count && x < getmaxx(win)) {
        cchar_t cell;
        wchar_t chars[CCHARW_MAX + 1] = {};
        attr_t attrs;
        short pair;
        mvwin_wch(win, row, x, &cell);
        getcchar(&cell, chars, &attrs, &pair, nullptr);
        for (const wchar_t *c = chars; *c; ++c) {
            char bytes[MB_LEN_MAX];
            mbstate_t state{};
            const std::size_t n = wcrtomb(bytes, *c, &state);
            if (n != static_cast<std::size_t>(-1)) out.append(bytes, n);
        }
        x += chars[0] ? std::max(wcwidth(chars[0]), 1) : 1;
    }
    if (cells) *cells = x - col;
    return out;
}

