#include "filesel/line_editor.h"

#include <algorithm>
#include <cstring>
#include <panel.h>

#include "app/startup.h"
#include "display/screen_text.h"
#include "panels/idle.h"
#include "panels/message_box.h"

bool edit_ended_with_tab = false;

namespace {

constexpr int kFieldEnd = 57;
constexpr int kLongestText = static_cast<int>(kPathCapacity) - 1;
// A field narrower than this could not hold the "~" and the three
// characters that a forward scroll keeps.
constexpr int kNarrowestField = 5;
constexpr int kTab = '\t';
constexpr int kEscape = 27;

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

    void insert(int key) {
        if (length >= kLongestText) {
            beep();
            return;
        }
        const char c = static_cast<char>(key & 0xff);
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

void edit_line(WINDOW *win, int row, const char *prompt, char *text) {
    Editing e{};
    e.win = win;
    e.row = row;
    e.prompt = prompt;
    e.text = text;
    e.prompt_length = static_cast<int>(std::strlen(prompt));
    e.width = field_width(e.prompt_length);
    e.length = static_cast<int>(strnlen(text, static_cast<std::size_t>(kLongestText)));
    e.draw(start_view(e.length, e.width));
    curs_set(1);
    wmove(win, row, e.cursor_column());
    wnoutrefresh(win);
    doupdate();
    edit_ended_with_tab = false;

    for (;;) {
        const int key = wgetch(win);
        if (key == kTab) {
            edit_ended_with_tab = true;
            break;
        }
        if (is_enter_key(key) || key == kEscape) break;
        if (key == KEY_BACKSPACE || key == KEY_DC)
            e.remove();
        else if (inserts_character(key))
            e.insert(key);
        wmove(win, row, e.cursor_column());
        live_refresh();
        // Without playback the idle step draws nothing; the typed text must
        // still reach the screen, with the cursor at its end.
        wmove(win, row, e.cursor_column());
        update_panels();
        doupdate();
    }

    text[e.length] = '\0';
    curs_set(0);
    if (main_win) wtouchln(main_win, 0, getmaxy(main_win), 1);
    update_panels();
    doupdate();
}
