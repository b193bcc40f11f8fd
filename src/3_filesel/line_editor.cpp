#include "3_filesel/line_editor.h"

#include <algorithm>
#include <cstring>
#include <panel.h>

#include "2_screen/keys.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "3_panels/panel_runner.h"

namespace {

constexpr int kFieldEnd = 57;
constexpr int kLongestText = static_cast<int>(kPathCapacity) - 1;
// A field narrower than this could not hold the "~" and the three
// characters that a forward scroll keeps.
constexpr int kNarrowestField = 5;

struct Editing {
    WINDOW *win;
    int row;
    const char *prompt;
    char *text;
    int prompt_length;
    int width;
    int length;
    int shown;

    int cursor_column() const { return prompt_length + 1 + shown; }

    // Blanks the row from the prompt's last column to the field's end, then
    // draws the prompt and the text from `view`.
    void redraw(FieldView view) {
        put_blanks(win, row, prompt_length, kFieldEnd - prompt_length + 1);
        draw(view);
    }

    void draw(FieldView view) {
        put_text(win, row, 1, prompt);
        const int column = prompt_length + 1;
        put_bytes(win, row, column, text + view.first, static_cast<std::size_t>(length - view.first));
        if (view.marker) put_text(win, row, column, "~");
        shown = length - view.first;
    }

    // Text with characters beyond ASCII, in a UTF-8 locale: the bytes no
    // longer match the cells, so the field is drawn anew after each key,
    // showing the end of the text (behind a "~" when the rest is cut).
    bool shows_characters() const {
        if (!utf8_locale()) return false;
        for (int i = 0; i < length; ++i)
            if (static_cast<unsigned char>(text[i]) >= 0x80) return true;
        return false;
    }

    void draw_characters() {
        text[length] = '\0';
        put_blanks(win, row, prompt_length, kFieldEnd - prompt_length + 1);
        put_text(win, row, 1, prompt);
        const int column = prompt_length + 1;
        const int limit = column + width;
        if (text_cells(text) <= width) {
            shown = put_text(win, row, column, text, limit);
            return;
        }
        put_text(win, row, column, "~");
        shown = 1 + put_text(win, row, column + 1, text_tail(text, width - 1), limit);
    }

    // Draws the field for the text as it now is, in whichever way fits it.
    void draw_whole() {
        if (shows_characters())
            draw_characters();
        else
            redraw(start_view(length, width));
    }

    void insert(int key) {
        if (length >= kLongestText) {
            beep();
            return;
        }
        const char c = static_cast<char>(key & 0xff);
        if (static_cast<unsigned char>(c) >= 0x80 || shows_characters()) {
            text[length] = c;
            ++length;
            draw_whole();
            return;
        }
        if (length == 0 || shown % width != 0) {
            text[length] = c;
            put_bytes(win, row, cursor_column(), &c, 1);
            ++length;
            ++shown;
            return;
        }
        text[length] = c;
        ++length;
        redraw(FieldView{length - 5, true});
    }

    void remove() {
        if (length == 0 || shown == 0) {
            beep();
            return;
        }
        if (shows_characters()) {
            // A whole character goes: its continuation bytes, then its lead.
            int cut = length - 1;
            while (cut > 0 && length - cut < 4 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
            if (!decode_utf8(text + cut, static_cast<std::size_t>(length - cut)).valid) cut = length - 1;
            length = cut;
            text[length] = '\0';
            draw_whole();
            return;
        }
        if (length == 1 || shown % width != 1) {
            --length;
            text[length] = '\0';
            put_blanks(win, row, cursor_column() - 1, 1);
            --shown;
            return;
        }
        redraw(back_scroll_view(length, width));
    }
};

}  // namespace

int field_width(int prompt_length) { return std::max(kFieldEnd - prompt_length, kNarrowestField); }

FieldView start_view(int length, int width) {
    if (length <= width) return {0, false};
    return {length - width, true};
}

FieldView back_scroll_view(int length, int width) {
    const int page = (length - 1) / width;
    int first = page * width;
    if (page > 0 && length - first == 1) first = length - width;
    return {first, first > 0};
}

bool inserts_character(int key) { return key > 0 && key <= 0xff; }

namespace {

constexpr int kEditEndKeys[] = {'\n', KEY_ENTER, kEscape};

}  // namespace

bool edit_line(WINDOW *win, int row, const char *prompt, char *text) {
    Editing e{};
    e.win = win;
    e.row = row;
    e.prompt = prompt;
    e.text = text;
    e.prompt_length = static_cast<int>(std::strlen(prompt));
    e.width = field_width(e.prompt_length);
    e.length = static_cast<int>(strnlen(text, static_cast<std::size_t>(kLongestText)));
    if (e.shows_characters())
        e.draw_characters();
    else
        e.draw(start_view(e.length, e.width));
    curs_set(1);
    wmove(win, row, e.cursor_column());
    wnoutrefresh(win);
    doupdate();
    bool ended_with_tab = false;

    PanelDescription desc;
    desc.close_keys = kEditEndKeys;
    desc.on_key = [&e, &ended_with_tab, win, row](int key) {
        if (key == kTab) {
            ended_with_tab = true;
            return KeyResult::closed;
        }
        if (key == KEY_BACKSPACE || key == KEY_DC)
            e.remove();
        else if (inserts_character(key))
            e.insert(key);
        wmove(win, row, e.cursor_column());
        return KeyResult::handled;
    };
    // The cursor stays at the end of the typed text, where the idle step
    // shows it.
    desc.live_step = [&e, win, row](int) { wmove(win, row, e.cursor_column()); };
    run_panel_keys(desc, win);

    text[e.length] = '\0';
    curs_set(0);
    if (main_win) wtouchln(main_win, 0, getmaxy(main_win), 1);
    update_panels();
    doupdate();
    return ended_with_tab;
}
