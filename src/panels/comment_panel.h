// The Comment panel: the module's comment in two columns of 33-byte pieces.
#pragma once

#include <curses.h>

#include "panels/panel_window.h"

inline constexpr int kCommentWindowRows = 21;
inline constexpr int kCommentWindowCols = 73;
inline constexpr int kCommentTextRows = 19;     // rows of each column
inline constexpr int kCommentPieceBytes = 33;   // bytes of each row
inline constexpr int kCommentRightColumn = 36;  // where the right column starts
inline constexpr int kCommentSeparatorColumn = 34;
// Bytes that fit in the two columns; the rest of a longer comment is not shown.
inline constexpr int kCommentShownBytes = 2 * kCommentTextRows * kCommentPieceBytes;

// Lays `comment` out in a window of 19 x 71 cells: consecutive 33-byte
// pieces go down the left column from column 0, then down the right column
// from column 36, in pair 5; a "|" in the normal attribute marks column 34
// of every row, whatever the comment's length. Control bytes show as a
// placeholder in their own cell, so line breaks never move the text.
void draw_comment_text(WINDOW *text_win, const char *comment);

// Opens the Comment panel for the current module and runs it until q. Every
// other key goes to handle_command_key, so the playback commands work and
// `h` or `i` open Help or another Comment panel over it. A module without a
// comment gets the notice "No comment in this module." instead. On a
// terminal smaller than the panel the panel is cut to fit the screen.
void comment_panel();

// The steps of comment_panel, for a module that has a comment:
// open_comment_panel draws the panel and updates the screen;
// run_comment_panel runs its key loop and closes it.
struct CommentPanel {
    PanelWindow frame;
    WINDOW *text = nullptr;  // the frame's interior, a sub-window
};
CommentPanel open_comment_panel(const char *comment);
void run_comment_panel(CommentPanel &panel);
