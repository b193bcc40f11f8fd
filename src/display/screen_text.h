// Writing text into curses windows safely.
//
// Texts from modules and from the library (song names, types, error texts,
// comments) may hold any bytes. They are always written as text, never used
// as a format, and a byte that would move the cursor or reach the terminal
// as a control sequence is shown as a placeholder in its own cell, so every
// byte takes exactly one cell.
#pragma once

#include <cstddef>
#include <curses.h>

// The character shown for a byte: printable ASCII as it is, '.' for control
// characters (line breaks, tabs, escape, delete) and '?' for bytes above 127.
char visible_byte(unsigned char byte);

// Writes at most `length` bytes of `text` (stopping early at a zero byte) at
// row, col in the window's current attribute, one cell per byte, and never
// at or beyond column `limit` (exclusive; -1 means the window's width).
// Returns the number of cells written. Cells outside the window are skipped.
int put_bytes(WINDOW *win, int row, int col, const char *text, std::size_t length, int limit = -1);

// put_bytes for a zero-terminated text.
int put_text(WINDOW *win, int row, int col, const char *text, int limit = -1);

// printf-style formatting of our own formats into a bounded buffer, then
// put_text. Only for formats written in this program.
int put_format(WINDOW *win, int row, int col, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

// Writes `count` copies of `cell` from row, col in the window's current
// attribute (added to the cell's own); cells outside the window are skipped.
void put_run(WINDOW *win, int row, int col, chtype cell, int count);

// Writes `count` blanks from row, col in the current attribute.
void put_blanks(WINDOW *win, int row, int col, int count);

// Writes pieces of a row one after another, each in its own attribute,
// never past `limit` (exclusive; -1 means the window's width).
struct RowWriter {
    WINDOW *win;
    int row;
    int col;
    int limit = -1;

    // Sets `attribute` on the window and writes `text` literally.
    RowWriter &put(attr_t attribute, const char *text);
    // Sets `attribute` and writes our own printf-style format.
    RowWriter &putf(attr_t attribute, const char *format, ...) __attribute__((format(printf, 3, 4)));
};
