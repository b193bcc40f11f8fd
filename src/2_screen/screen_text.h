// Writing text into curses windows safely.
//
// Texts from modules, the library and file names (song names, types, error
// texts, comments, directory entries) may hold any bytes. They are always
// written as text, never used as a format, and nothing in them can reach the
// terminal as a control sequence: control characters are shown as '.', and
// bytes that cannot be shown as '?'.
//
// Two kinds of writers:
//  - put_bytes: one cell per byte, for layouts counted in bytes (the line
//    editor's cursor, the comment's columns); bytes above 127 show as '?'.
//  - put_text and everything built on it: in a UTF-8 locale, valid UTF-8 is
//    shown as the characters it encodes, each taking its display width (one
//    or two cells, accents joined to their letter); '?' stands for each byte
//    of an invalid sequence and for a character the terminal cannot show,
//    '.' for a control character (C0, DEL, C1, and the invisible marks that
//    reorder or hide text). In other locales every byte above 127 is '?'.
#pragma once

#include <cstddef>
#include <curses.h>

// The character shown for a byte: printable ASCII as it is, '.' for control
// characters (line breaks, tabs, escape, delete) and '?' for bytes above 127.
char visible_byte(unsigned char byte);

// One character decoded from UTF-8: its code point and the bytes it took,
// or valid false (and length 1) for a byte that starts no valid sequence
// (stray continuation bytes, overlong forms, surrogates, values past
// U+10FFFF, a sequence cut short).
struct Utf8Char {
    char32_t code;
    int length;
    bool valid;
};
Utf8Char decode_utf8(const char *text, std::size_t length);

// True when the current locale's character set is UTF-8.
bool utf8_locale();

// The cells `text` takes when written with put_text (at most `length`
// bytes, stopping at a zero byte).
int text_cells(const char *text, std::size_t length);
int text_cells(const char *text);

// Writes at most `length` bytes of `text` (stopping early at a zero byte) at
// row, col in the window's current attribute, one cell per byte, and never
// at or beyond column `limit` (exclusive; -1 means the window's width).
// Returns the number of cells written. Cells outside the window are skipped.
int put_bytes(WINDOW *win, int row, int col, const char *text, std::size_t length, int limit = -1);

// Writes a zero-terminated text at row, col in the window's current
// attribute, characters with their display width, never at or beyond
// column `limit` (exclusive; -1 means the window's width): a character that
// would not fit whole is left out, and so is the rest. Returns the cells
// written.
int put_text(WINDOW *win, int row, int col, const char *text, int limit = -1);

// A name, song title or any other outside text in a field of `width` cells
// at row, col, in the window's current attribute: shown as put_text shows
// it, cut to the field and padded with blanks over the whole field, so the
// field never keeps text of an earlier name and never spills past its end.
// With `mark` set, a text that does not fit ends in a "~" in the field's
// last cell, so a shortened name is seen to be shortened. Returns the cells
// of text written, the mark included.
int put_text_field(WINDOW *win, int row, int col, const char *text, int width, bool mark = false);

// Where the longest end of `text` that fits in `cells` cells begins, on a
// character boundary: for showing the tail of a long path.
const char *text_tail(const char *text, int cells);

// printf-style formatting of our own formats into a bounded buffer, then
// put_text. Only for formats written in this program.
int put_format(WINDOW *win, int row, int col, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

// Writes `count` copies of `cell` from row, col in the window's current
// attribute (added to the cell's own); cells outside the window are skipped.
void put_run(WINDOW *win, int row, int col, chtype cell, int count);

// The line-drawing border around the whole window, in its current
// attribute. A window one column wide gets its left side only, drawn cell
// by cell: curses' own border would write past the ends of its rows.
void draw_border(WINDOW *win);

// True when the virtual screen holds something the terminal does not show
// yet (a changed line, a clear, a cursor to move), or curses is not in
// charge of the terminal: only then is an update worth its cost.
bool terminal_behind();

// Writes `count` blanks from row, col in the current attribute.
void put_blanks(WINDOW *win, int row, int col, int count);

// While a FrameClip lives, text that runs right or down stops at `win`'s
// border: the writers above write nothing on its bottom border row or in its
// right border column (the top row stays free for titles). For a panel
// drawn on a screen smaller than it, or a main window narrower than its
// rows. Clips nest.
class FrameClip {
public:
    explicit FrameClip(WINDOW *win);
    ~FrameClip();
    FrameClip(const FrameClip &) = delete;
    // True while a clip on `win` is alive.
    static bool holds(const WINDOW *win);
    FrameClip &operator=(const FrameClip &) = delete;

private:
    const WINDOW *win_;
    const FrameClip *outer_;
};

// True when row, col of `win` may be written: inside the window, and inside
// its border while a FrameClip holds it.
bool writable_cell(WINDOW *win, int row, int col);

// The columns of `row` that may be written, 0 to the value returned
// (exclusive): the window's width, less its border column while a FrameClip
// holds it; 0 for a row outside the window or on a clipped bottom border.
int writable_columns(WINDOW *win, int row);

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
