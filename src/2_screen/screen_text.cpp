#include "2_screen/screen_text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <langinfo.h>
#include <wchar.h>

namespace {

constexpr int kMaxCells = 512;

// The live clips, innermost first through outer_.
const FrameClip *innermost_clip = nullptr;  // the FrameClips' own: the one that holds now

}  // namespace

FrameClip::FrameClip(WINDOW *win) : win_(win), outer_(innermost_clip) { innermost_clip = this; }

FrameClip::~FrameClip() { innermost_clip = outer_; }

bool FrameClip::holds(const WINDOW *win) {
    for (const FrameClip *clip = innermost_clip; clip; clip = clip->outer_)
        if (clip->win_ == win) return true;
    return false;
}

namespace {

// The column limit (exclusive) for writing on `row` of `win` with the
// caller's `limit`, or -1 when nothing may be written on that row.
int row_limit(WINDOW *win, int row, int limit) {
    if (!win || row < 0 || row >= getmaxy(win)) return -1;
    const int width = getmaxx(win);
    if (limit < 0 || limit > width) limit = width;
    if (FrameClip::holds(win)) {
        if (row >= getmaxy(win) - 1) return -1;
        limit = std::min(limit, width - 1);
    }
    return limit;
}

// Characters that are valid but would reorder, hide or join the text around
// them on a terminal that interprets them: shown as control characters.
bool invisible_mark(char32_t c) {
    return c == 0x061C || c == 0x180E || (c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) ||
           (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB) ||
           (c >= 0xE0000 && c <= 0xE007F);
}

bool control_code(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0) || invisible_mark(c); }

// One screen cell or two: a character with the marks joined to it.
struct Glyph {
    wchar_t chars[CCHARW_MAX + 1];
    int marks;
    int width;
};

void set_single(Glyph &g, wchar_t c) {
    g.chars[0] = c;
    g.chars[1] = L'\0';
    g.marks = 0;
    g.width = 1;
}

// Reads the glyph starting at text[pos], with its joined marks; returns the
// bytes it took.
std::size_t next_glyph(const char *text, std::size_t length, std::size_t pos, bool utf8, Glyph &g) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (!utf8) {
        set_single(g, static_cast<wchar_t>(visible_byte(byte)));
        return 1;
    }
    const Utf8Char first = decode_utf8(text + pos, length - pos);
    std::size_t used = static_cast<std::size_t>(first.length);
    const int width = first.valid ? wcwidth(static_cast<wchar_t>(first.code)) : -1;
    if (!first.valid) {
        set_single(g, L'?');
    } else if (control_code(first.code)) {
        set_single(g, L'.');
    } else if (width < 1 || width > 2) {
        // Unprintable here, or a mark with nothing to join to.
        set_single(g, L'?');
    } else {
        set_single(g, static_cast<wchar_t>(first.code));
        g.width = width;
    }
    // Accents and other marks that follow join the cell; ncurses keeps a few.
    while (pos + used < length && text[pos + used] != '\0') {
        const Utf8Char next = decode_utf8(text + pos + used, length - pos - used);
        if (!next.valid || control_code(next.code) || wcwidth(static_cast<wchar_t>(next.code)) != 0) break;
        if (g.marks + 1 < CCHARW_MAX) {
            g.chars[1 + g.marks++] = static_cast<wchar_t>(next.code);
            g.chars[1 + g.marks] = L'\0';
        }
        used += static_cast<std::size_t>(next.length);
    }
    return used;
}

bool has_high_byte(const char *text, std::size_t length) {
    for (std::size_t i = 0; i < length && text[i] != '\0'; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80) return true;
    return false;
}

// put_text for a text with bytes above 127 in a UTF-8 locale.
int put_wide_text(WINDOW *win, int row, int col, const char *text, std::size_t length, int limit) {
    attr_t attrs = 0;
    short pair = 0;
    wattr_get(win, &attrs, &pair, nullptr);
    attrs &= ~static_cast<attr_t>(A_COLOR);
    int x = col;
    std::size_t pos = 0;
    while (pos < length && text[pos] != '\0') {
        Glyph g;
        pos += next_glyph(text, length, pos, true, g);
        if (x + g.width > limit) break;
        cchar_t cell;
        setcchar(&cell, g.chars, attrs, pair, nullptr);
        mvwadd_wch(win, row, x, &cell);
        x += g.width;
    }
    return x - col;
}

}  // namespace

char visible_byte(unsigned char byte) {
    if (byte >= 0x20 && byte < 0x7f) return static_cast<char>(byte);
    if (byte >= 0x80) return '?';
    return '.';
}

Utf8Char decode_utf8(const char *text, std::size_t length) {
    const Utf8Char invalid{0, 1, false};
    if (!text || length == 0) return invalid;
    const auto b0 = static_cast<unsigned char>(text[0]);
    if (b0 < 0x80) return {b0, 1, true};
    int need;
    char32_t code;
    char32_t lowest;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1, code = b0 & 0x1F, lowest = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2, code = b0 & 0x0F, lowest = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3, code = b0 & 0x07, lowest = 0x10000;
    } else {
        return invalid;
    }
    if (length < static_cast<std::size_t>(need) + 1) return invalid;
    for (int i = 1; i <= need; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b & 0xC0) != 0x80) return invalid;
        code = (code << 6) | (b & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return invalid;
    return {code, need + 1, true};
}

bool utf8_locale() {
    const char *codeset = nl_langinfo(CODESET);
    return MB_CUR_MAX > 1 && codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

int text_cells(const char *text, std::size_t length) {
    if (!text) return 0;
    const bool utf8 = has_high_byte(text, length) && utf8_locale();
    if (!utf8) return static_cast<int>(strnlen(text, length));
    int cells = 0;
    std::size_t pos = 0;
    while (pos < length && text[pos] != '\0') {
        Glyph g;
        pos += next_glyph(text, length, pos, utf8, g);
        cells += g.width;
    }
    return cells;
}

int text_cells(const char *text) { return text ? text_cells(text, std::strlen(text)) : 0; }

int put_bytes(WINDOW *win, int row, int col, const char *text, std::size_t length, int limit) {
    if (!text || col < 0) return 0;
    limit = row_limit(win, row, limit);
    if (col >= limit) return 0;
    // The cells are stored in one go with the window's attribute, rather
    // than character by character: this runs for every cell of the live
    // screen several times a second.
    chtype cells[kMaxCells];
    const chtype attribute = static_cast<chtype>(getattrs(win));
    int count = 0;
    const int room = std::min(limit - col, kMaxCells);
    for (std::size_t i = 0; i < length && text[i] != '\0' && count < room; ++i)
        cells[count++] = static_cast<unsigned char>(visible_byte(static_cast<unsigned char>(text[i]))) | attribute;
    if (count > 0) mvwaddchnstr(win, row, col, cells, count);
    return count;
}

int put_text(WINDOW *win, int row, int col, const char *text, int limit) {
    if (!text) return 0;
    const std::size_t length = std::strlen(text);
    if (!has_high_byte(text, length) || !utf8_locale()) return put_bytes(win, row, col, text, length, limit);
    if (col < 0) return 0;
    limit = row_limit(win, row, limit);
    if (col >= limit) return 0;
    return put_wide_text(win, row, col, text, length, limit);
}

int put_text_field(WINDOW *win, int row, int col, const char *text, int width, bool mark) {
    if (width <= 0) return 0;
    if (!text) text = "";
    int written;
    if (mark && text_cells(text) > width) {
        written = put_text(win, row, col, text, col + width - 1);
        put_blanks(win, row, col + written, width - 1 - written);
        put_text(win, row, col + width - 1, "~");
        return width;
    }
    written = put_text(win, row, col, text, col + width);
    put_blanks(win, row, col + written, width - written);
    return written;
}

const char *text_tail(const char *text, int cells) {
    if (!text) return "";
    const std::size_t length = std::strlen(text);
    const bool utf8 = has_high_byte(text, length) && utf8_locale();
    int total = text_cells(text, length);
    std::size_t pos = 0;
    while (pos < length && total > cells) {
        Glyph g;
        pos += next_glyph(text, length, pos, utf8, g);
        total -= g.width;
    }
    return text + pos;
}

int put_format(WINDOW *win, int row, int col, const char *format, ...) {
    char buffer[kMaxCells];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return put_text(win, row, col, buffer);
}

void put_run(WINDOW *win, int row, int col, chtype cell, int count) {
    if (col < 0) {
        count += col;
        col = 0;
    }
    const int limit = row_limit(win, row, -1);
    count = std::min({count, limit - col, kMaxCells});
    if (count <= 0) return;
    chtype cells[kMaxCells];
    std::fill(cells, cells + count, cell | static_cast<chtype>(getattrs(win)));
    mvwaddchnstr(win, row, col, cells, count);
}

void draw_border(WINDOW *win) {
    if (!win) return;
    if (getmaxx(win) >= 2) {
        wborder(win, 0, 0, 0, 0, 0, 0, 0, 0);
        return;
    }
    // One column: its corners and its left side, cell by cell.
    const int last = getmaxy(win) - 1;
    for (int row = 0; row <= last; ++row) {
        const chtype cell = row == 0 ? ACS_ULCORNER : row == last ? ACS_LLCORNER : ACS_VLINE;
        mvwaddch(win, row, 0, cell | getattrs(win));
    }
}

bool terminal_behind() {
    if (isendwin() || !newscr || !curscr) return true;
    if (is_wintouched(newscr) || is_cleared(newscr) || is_cleared(curscr)) return true;
    // A window that leaves the cursor where the output left it has no
    // cursor to move.
    return !is_leaveok(newscr) && (getcury(newscr) != getcury(curscr) || getcurx(newscr) != getcurx(curscr));
}

void put_blanks(WINDOW *win, int row, int col, int count) { put_run(win, row, col, ' ', count); }

bool writable_cell(WINDOW *win, int row, int col) { return col >= 0 && col < row_limit(win, row, -1); }

int writable_columns(WINDOW *win, int row) { return std::max(row_limit(win, row, -1), 0); }

RowWriter &RowWriter::put(attr_t attribute, const char *text) {
    if (win) wattrset(win, static_cast<int>(attribute));
    const int cells = text_cells(text);
    put_text(win, row, col, text, limit);
    col += cells;
    return *this;
}

RowWriter &RowWriter::putf(attr_t attribute, const char *format, ...) {
    char buffer[kMaxCells];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return put(attribute, buffer);
}
