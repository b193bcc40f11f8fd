// One row of a window composed in memory, then written to the window only
// where it differs from what the window holds.
//
// The live rows (the channel table, the meters) are drawn ten times a
// second, and most of their cells are the same as the time before. Cells
// the window already shows are not written again, so curses has only the
// changed cells to compare and send; the cells that end up in the window
// are exactly those the pieces below describe, as if each had been written
// with the screen-text writers in the order given.
#pragma once

#include <curses.h>

class CellRow {
public:
    static constexpr int kMaxCols = 512;

    CellRow(WINDOW *win, int row) : win_(win), row_(row) {}
    CellRow(const CellRow &) = delete;
    CellRow &operator=(const CellRow &) = delete;

    // The attribute the following pieces are written in, replacing the
    // last one (as set_attr does for a window).
    CellRow &attr(attr_t attribute) {
        attr_ = attribute;
        return *this;
    }
    attr_t current_attr() const { return attr_; }

    // Where the next piece goes; each piece moves it past itself.
    CellRow &at(int col) {
        col_ = col;
        return *this;
    }

    // Plain text of our own (no outside bytes): each byte one cell, as
    // put_bytes shows it.
    CellRow &text(const char *text);
    // `value` right-aligned in at least `width` cells, as printf's "%*ld"
    // writes it, or "%0*ld" with `zero_pad`.
    CellRow &number(long value, int width, bool zero_pad = false);
    // `count` copies of `cell` (its attributes added to the current one).
    CellRow &run(chtype cell, int count);

    // Writes the cells that differ from the window's into it, within the
    // window and inside its border while a FrameClip holds it, and leaves
    // the window's attribute at the current one. Cells no piece touched are
    // left as they are.
    void flush();

private:
    void put(chtype cell);
    void write_changed(int last);

    WINDOW *win_;
    int row_;
    attr_t attr_ = A_NORMAL;
    int col_ = 0;
    int first_ = kMaxCols;  // the written columns, first_ to last_
    int last_ = -1;
    chtype cells_[kMaxCols];
    bool written_[kMaxCols] = {};
};
