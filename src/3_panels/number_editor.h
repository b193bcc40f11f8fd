// The options panel's number editor: changes a copy of a number with the
// arrow and page keys until Enter stores it.
#pragma once

#include <curses.h>

// The two numbers the editor changes, each with its own bounds and steps.
enum class NumberField {
    mixing_frequency,  // 4000 to 60000 Hz
    refresh_delay,     // 0 to 10000 ms
};

struct NumberBounds {
    int low;
    int high;
    int page_step;  // page keys
};

NumberBounds number_bounds(NumberField field);

// Pure: `value` after `key`. Down and up step by one, page down and up by
// the page step, left halves and right doubles; every change stays within
// the field's bounds (left and right go to the bound, the single and page
// steps do nothing where they would pass it). Other keys leave it.
int step_number(NumberField field, int value, int key);

// Runs the editor on `value`, drawn as " %s   [ %5d ] " with `label` at
// column 3 of `row`, the number in reverse video at `value_col`, with the
// idle step after every key or timeout. Only Enter ends it (q, Escape and m
// are ignored); returns the edited value.
int edit_number(WINDOW *win, int row, const char *label, int value_col, NumberField field, int value);
