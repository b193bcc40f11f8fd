// Level meters: a percentage drawn as a bar of cells, horizontally (20
// cells and the number) or vertically (10 cells), in one of five styles.
#pragma once

#include <curses.h>

class CellRow;

extern int meter_style;  // 1 to 5, the style of every meter; 1 at start; the `*` keys change it

// The style after the `*` key: 5 wraps to 1, any other value goes up by one.
int next_meter_style(int style);

// Draws `percent` (any value; drawn as at most 100, and below 5 horizontal
// or 10 vertical as empty) at col, row: the leftmost cell of a horizontal
// bar, whose number follows at col + 20, or the bottom cell of a vertical
// one. Cells outside the window are skipped. Styles 2 to 5 draw a
// horizontal bar in the attribute the caller left set. Afterwards the
// window's attribute is what the last piece used (normal, or bold pair 1
// after a horizontal clipping mark; bold pair 3, bold pair 13 or pair 1
// after a vertical bar).
void level_meter(WINDOW *win, int col, int row, int percent, bool horizontal, int style);

// The horizontal meter as one piece of a row being composed: drawn from
// the row's current attribute, which is left as the window's would be.
void level_meter(CellRow &row, int col, int percent, int style);
