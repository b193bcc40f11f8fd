#include "display/screen_text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

char visible_byte(unsigned char byte) {
    if (byte >= 0x20 && byte < 0x7f) return static_cast<char>(byte);
    if (byte >= 0x80) return '?';
    return '.';
}

int put_bytes(WINDOW *win, int row, int col, const char *text, std::size_t length, int limit) {
    if (!win || !text || row < 0 || col < 0) return 0;
    const int width = getmaxx(win);
    if (limit < 0 || limit > width) limit = width;
    if (row >= getmaxy(win) || col >= limit) return 0;
    // The cells are stored in one go with the window's attribute, rather
    // than character by character: this runs for every cell of the live
    // screen several times a second.
    chtype cells[512];
    const chtype attribute = static_cast<chtype>(getattrs(win));
    int count = 0;
    const int room = std::min(limit - col, static_cast<int>(sizeof cells / sizeof cells[0]));
    for (std::size_t i = 0; i < length && text[i] != '\0' && count < room; ++i)
        cells[count++] = static_cast<unsigned char>(visible_byte(static_cast<unsigned char>(text[i]))) | attribute;
    if (count > 0) mvwaddchnstr(win, row, col, cells, count);
    return count;
}

int put_text(WINDOW *win, int row, int col, const char *text, int limit) {
    if (!text) return 0;
    return put_bytes(win, row, col, text, std::strlen(text), limit);
}

int put_format(WINDOW *win, int row, int col, const char *format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return put_text(win, row, col, buffer);
}

void put_run(WINDOW *win, int row, int col, chtype cell, int count) {
    if (!win || row < 0 || row >= getmaxy(win)) return;
    if (col < 0) {
        count += col;
        col = 0;
    }
    count = std::min({count, getmaxx(win) - col, 512});
    if (count <= 0) return;
    chtype cells[512];
    std::fill(cells, cells + count, cell | static_cast<chtype>(getattrs(win)));
    mvwaddchnstr(win, row, col, cells, count);
}

void put_blanks(WINDOW *win, int row, int col, int count) { put_run(win, row, col, ' ', count); }

RowWriter &RowWriter::put(attr_t attribute, const char *text) {
    if (win) wattrset(win, static_cast<int>(attribute));
    std::size_t length = text ? std::strlen(text) : 0;
    put_bytes(win, row, col, text, length, limit);
    col += static_cast<int>(length);
    return *this;
}

RowWriter &RowWriter::putf(attr_t attribute, const char *format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return put(attribute, buffer);
}
