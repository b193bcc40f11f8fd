// A curses screen of a fixed size that draws into /dev/null, for tests of
// drawing code: the cells are read back with their characters and
// attributes, and keys are queued as if typed.
#pragma once

#include <cstdio>
#include <curses.h>
#include <initializer_list>
#include <string>

class HeadlessScreen {
public:
    HeadlessScreen(int rows = 24, int cols = 80);
    ~HeadlessScreen();
    HeadlessScreen(const HeadlessScreen &) = delete;
    HeadlessScreen &operator=(const HeadlessScreen &) = delete;

private:
    SCREEN *screen_ = nullptr;
    std::FILE *output_ = nullptr;
    std::FILE *input_ = nullptr;
    int input_pipe_[2] = {-1, -1};
};

// Queues keys so that the next reads return them in this order.
void press_keys(std::initializer_list<int> keys);

// The text of a row; line-drawing cells read as '-', '|' and '+'.
std::string row_text(WINDOW *win, int row);

// A part of a row: `length` cells from `col`.
std::string cells_text(WINDOW *win, int row, int col, int length);

// What a reader sees in `count` cells from `col`, as UTF-8: each character
// once, however many cells it takes; `cells`, when given, receives the
// cells walked (a wide character at the end may take one more).
std::string shown_text(WINDOW *win, int row, int col, int count, int *cells = nullptr);

// The attribute of a cell: A_BOLD, A_REVERSE and the colour pair, without
// the character.
attr_t cell_attr(WINDOW *win, int row, int col);

// The composed screen as the terminal shows it after the last doupdate.
WINDOW *shown();

// The whole main window, the column header, the title row and its panel, as
// start-up creates them, on the current headless screen; and their removal.
void create_test_main_window();
void destroy_test_main_window();
