// A one-line text editor for the file selector's directory and File lines:
// characters are appended or deleted at the end only, and a text longer
// than the field scrolls sideways with a "~" standing for the part that has
// scrolled out of view. In a UTF-8 locale a text with characters beyond
// ASCII shows those characters (its end, behind a "~", when it is longer
// than the field), and Backspace deletes a whole character.
#pragma once

#include <curses.h>

#include "1_player/settings.h"

// Edits `text` (a buffer of kPathCapacity characters, at most 255 of them
// text) in place on `row` of `win`, behind `prompt` drawn at column 1; the
// field ends at column 57. Draws in the window's current attribute and
// reads keys from it (with its timeout), running the idle step after every
// key and timeout. Ends on Tab, Enter or Escape, with the text terminated.
// Returns true when Tab ended it, false for Enter or Escape.
bool edit_line(WINDOW *win, int row, const char *prompt, char *text);

// The scrolling, as pure arithmetic on the text's length and the field's
// width W: the field shows the text from index `first`, with a "~" in place
// of that character when `marker` is set.
struct FieldView {
    int first;
    bool marker;
};

// The field width for a prompt of `prompt_length` characters.
int field_width(int prompt_length);

// A starting text: whole when it fits, otherwise its last W - 1 characters
// behind a "~".
FieldView start_view(int length, int width);

// The backward scroll when only the "~" column is left: the page of W
// characters that holds the last character, marked when it is not the
// first page. A page that would again hold only the "~" is replaced by the
// last W characters, so every scroll leaves characters to delete.
FieldView back_scroll_view(int length, int width);

// Whether a key code is typed into the text: any byte but NUL. Keypad and
// function keys insert nothing.
bool inserts_character(int key);
