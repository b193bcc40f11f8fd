// The Comment panel: the module's message, line by line, scrolled with the
// arrow, page, Home and End keys.
#pragma once

#include <cstddef>
#include <curses.h>
#include <string>
#include <vector>

#include "3_panels/panel_positions.h"
#include "3_panels/panel_window.h"

inline constexpr int kCommentWindowRows = panel_layout(PanelKind::comment).rows;
inline constexpr int kCommentWindowCols = panel_layout(PanelKind::comment).cols;
// A module message is far shorter (the formats that carry one keep it
// within 64 KiB); a longer one is cut here so that the copy stays bounded.
inline constexpr std::size_t kCommentMaxBytes = 65536;

// One screen line of a laid-out comment: `length` bytes from byte `start`.
struct CommentLine {
    std::size_t start;
    std::size_t length;
};

// Cuts `comment` into screen lines at most `width` cells wide (one cell a
// byte). CR, LF and CR LF each end a line; a longer line wraps after its
// last blank that fits (the blank itself is dropped), or, with no blank,
// at `width` (never inside a UTF-8 sequence). A line break at the very end
// adds no empty line. An empty comment gives no lines.
std::vector<CommentLine> layout_comment(const std::string &comment, int width);

// The first line shown after `key` on a text area of `rows` rows over
// `line_count` lines, with `top` the first line shown before: Up and Down
// scroll one line, Page Up and Page Down one page, Home and End go to the
// beginning and the end. The result always lies in 0 .. the last page's
// top. Returns -1 for a key that does not scroll.
int scroll_comment(int top, int key, int line_count, int rows);

// The panel's state while it is open. The comment is copied: the module it
// came from may be replaced (playlist keys work in the panel) while it shows.
struct CommentPanel {
    PanelWindow frame;
    WINDOW *text = nullptr;  // the frame's interior, a sub-window
    std::string comment;
    std::vector<CommentLine> lines;
    int layout_width = 0;  // the width `lines` was laid out for
    int top = 0;           // the first line shown
};

// Draws lines `top` onwards in the text area, in pair 5, blanking the rest;
// when the comment is longer than the area, the range shown goes on the
// frame's bottom border as "[ lines 20-38 of 84 ]". Lays the comment out
// again first if the text area's width changed.
void draw_comment_panel_text(CommentPanel &panel);

// Opens the Comment panel for the current module and runs it until q. The
// scrolling keys move the text; every other key goes to handle_command_key,
// so the playback commands work and `h` or `i` open Help or another Comment
// panel over it. A module without a comment gets the notice "No comment in
// this module." instead. On a terminal smaller than the panel the panel is
// cut to fit the screen.
void comment_panel();

// The steps of comment_panel, for a module that has a comment:
// open_comment_panel draws the panel and updates the screen;
// run_comment_panel runs its key loop and closes it.
CommentPanel open_comment_panel(const char *comment);
void run_comment_panel(CommentPanel &panel);

// The keys the panel reads itself: `q`, and the scrolling keys of
// scroll_comment; every other key, Escape too, goes to the command keys.
inline constexpr int kCommentPanelKeys[] = {
    'q', KEY_UP, KEY_DOWN, KEY_PPAGE, KEY_NPAGE, KEY_HOME, KEY_FIND, KEY_A1, KEY_END, KEY_SELECT, KEY_C1,
};
