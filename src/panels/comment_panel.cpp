#include "panels/comment_panel.h"

#include <algorithm>
#include <cstring>

#include "app/module_loader.h"
#include "display/screen_text.h"
#include "panels/colors.h"
#include "panels/command_keys.h"
#include "panels/idle.h"
#include "panels/message_box.h"

void draw_comment_text(WINDOW *text_win, const char *comment) {
    if (!text_win || !comment) return;
    const std::size_t length = strnlen(comment, kCommentShownBytes);
    set_attr(text_win, pair(kCyanOnBlack));
    for (int column = 0; column < 2; ++column) {
        const int first_col = column == 0 ? 0 : kCommentRightColumn;
        for (int row = 0; row < kCommentTextRows; ++row) {
            const std::size_t start =
                static_cast<std::size_t>((column * kCommentTextRows + row) * kCommentPieceBytes);
            if (start >= length) break;
            const std::size_t piece = std::min<std::size_t>(kCommentPieceBytes, length - start);
            put_bytes(text_win, row, first_col, comment + start, piece);
        }
        if (column == 0) {
            set_attr(text_win, kNormal);
            for (int row = 0; row < kCommentTextRows; ++row) put_text(text_win, row, kCommentSeparatorColumn, "|");
            set_attr(text_win, pair(kCyanOnBlack));
        }
    }
}

CommentPanel open_comment_panel(const char *comment) {
    CommentPanel panel;
    panel.frame = open_panel_window(kCommentWindowRows, kCommentWindowCols, LINES / 2 - 10, COLS / 2 - 36, "Comment");
    if (!panel.frame.win) return panel;
    // On a small screen the frame was cut to fit; the text area follows it.
    WINDOW *frame = panel.frame.win;
    if (getmaxy(frame) > 2 && getmaxx(frame) > 2)
        panel.text = subwin(frame, getmaxy(frame) - 2, getmaxx(frame) - 2, getbegy(frame) + 1, getbegx(frame) + 1);
    if (!panel.text) {
        close_panel_window(panel.frame);
        return panel;
    }
    draw_comment_text(panel.text, comment);
    // Shown at once: while the player is stopped no idle step composes the
    // screen.
    update_panels();
    doupdate();
    return panel;
}

void run_comment_panel(CommentPanel &panel) {
    if (!panel.frame.win) return;
    for (;;) {
        const int key = wgetch(panel.frame.win);
        if (key == 'q') break;
        handle_command_key(key);
        live_refresh();
    }
    delwin(panel.text);
    panel.text = nullptr;
    close_panel_window(panel.frame);
}

void comment_panel() {
    if (!module) return;
    if (!module->comment) {
        message_box("No comment in this module.", kMessageNotice);
        return;
    }
    CommentPanel panel = open_comment_panel(module->comment);
    run_comment_panel(panel);
}
