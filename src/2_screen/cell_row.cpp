#include "2_screen/cell_row.h"

#include <algorithm>

#include "2_screen/screen_text.h"

void CellRow::put(chtype cell) {
    const int col = col_++;
    if (col < 0 || col >= kMaxCols) return;
    cells_[col] = cell;
    written_[col] = true;
    first_ = std::min(first_, col);
    last_ = std::max(last_, col);
}

CellRow &CellRow::text(const char *text) {
    if (!text) return *this;
    for (; *text != '\0'; ++text) put(static_cast<unsigned char>(visible_byte(static_cast<unsigned char>(*text))) | attr_);
    return *this;
}

CellRow &CellRow::number(long value, int width, bool zero_pad) {
    char digits[24];
    int count = 0;
    unsigned long magnitude = value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    const bool negative = value < 0;
    int padding = width - count - (negative ? 1 : 0);
    if (!zero_pad)
        for (; padding > 0; --padding) put(' ' | attr_);
    if (negative) put('-' | attr_);
    for (; padding > 0; --padding) put('0' | attr_);
    while (count > 0) put(static_cast<unsigned char>(digits[--count]) | attr_);
    return *this;
}

CellRow &CellRow::run(chtype cell, int count) {
    for (int i = 0; i < count; ++i) put(cell | attr_);
    return *this;
}

void CellRow::write_changed(int last) {
    chtype shown[kMaxCols + 1];
    const int count = last - first_ + 1;
    if (mvwinchnstr(win_, row_, first_, shown, count) != count) {
        // What the window holds is unknown: every piece is written.
        for (int col = first_; col <= last; ++col)
            if (written_[col]) mvwaddchnstr(win_, row_, col, cells_ + col, 1);
        return;
    }
    int changed_first = -1;
    int changed_last = -1;
    for (int col = first_; col <= last; ++col) {
        if (!written_[col]) {
            cells_[col] = shown[col - first_];
        } else if (cells_[col] != shown[col - first_]) {
            if (changed_first < 0) changed_first = col;
            changed_last = col;
        }
    }
    if (changed_first >= 0)
        mvwaddchnstr(win_, row_, changed_first, cells_ + changed_first, changed_last - changed_first + 1);
}

void CellRow::flush() {
    if (!win_) return;
    const int last = std::min(last_, writable_columns(win_, row_) - 1);
    if (first_ <= last) write_changed(last);
    // A row where no piece landed (a screen too narrow for any) has no
    // written range to clear.
    if (first_ <= last_) std::fill(written_ + first_, written_ + last_ + 1, false);
    first_ = kMaxCols;
    last_ = -1;
    wattrset(win_, static_cast<int>(attr_));
}
