#include "2_screen/level_meter.h"

#include <algorithm>

#include "2_screen/cell_row.h"
#include "2_screen/colors.h"
#include "2_screen/screen_text.h"

int meter_style = 1;

int next_meter_style(int style) { return style > 4 ? 1 : style + 1; }

namespace {

void put_cell(WINDOW *win, int row, int col, chtype ch) {
    if (wmove(win, row, col) != ERR) waddch(win, ch);
}

chtype horizontal_char(int style) {
    switch (style) {
    case 2: return ACS_BULLET;
    case 3: return ACS_RARROW;
    case 4: return '*';
    case 5: return '#';
    default: return ' ';
    }
}

chtype vertical_char(int style) { return style == 3 ? ACS_UARROW : horizontal_char(style); }

void horizontal_meter(CellRow &row, int col, int percent, int style) {
    const int p = std::min(percent, 100);
    const chtype fill = horizontal_char(style);
    if (style == 1) row.attr(role_attr(percent > 29 ? ColorRole::meter_block_high : ColorRole::meter_block_low));
    const int n = percent >= 5 ? p / 5 : 0;
    row.at(col).run(fill, n);
    if (style == 1) row.attr(role_attr(ColorRole::meter_rest));
    row.at(col + n).run(' ', 20 - n);
    if (percent >= 100) {
        if (style == 1) {
            row.attr(role_attr(ColorRole::meter_clip_block)).at(col + 19).run(' ', 1);
        } else {
            row.attr(role_attr(ColorRole::meter_clip)).at(col + 19).run(fill, 1);
        }
        row.attr(role_attr(ColorRole::meter_clip));
    } else {
        row.attr(kNormal);
    }
    row.at(col + 20).text(" ").number(percent, 3).text("%");
}

void vertical_meter(WINDOW *win, int col, int row, int percent, int style) {
    const int n = std::max(std::min(percent, 100) / 10, 0);
    const chtype fill = vertical_char(style);
    set_role(win, style == 1 ? ColorRole::vertical_meter_block : ColorRole::vertical_meter);
    for (int i = 0; i < n; ++i) put_cell(win, row - i, col, fill);
    set_role(win, ColorRole::vertical_meter_rest);
    for (int i = n; i < 10; ++i) put_cell(win, row - i, col, ACS_HLINE);
    if (percent >= 100) {
        set_role(win, style == 1 ? ColorRole::vertical_meter_clip_block : ColorRole::vertical_meter_clip);
        put_cell(win, row - 9, col, fill);
    }
}

}  // namespace

void level_meter(WINDOW *win, int col, int row, int percent, bool horizontal, int style) {
    if (!win) return;
    if (horizontal) {
        CellRow cells(win, row);
        cells.attr(static_cast<attr_t>(getattrs(win)));
        horizontal_meter(cells, col, percent, style);
        cells.flush();
    } else {
        vertical_meter(win, col, row, percent, style);
    }
}

void level_meter(CellRow &row, int col, int percent, int style) { horizontal_meter(row, col, percent, style); }
