#include "3_panels/comment_panel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "1_player/player_thread.h"
#include "2_screen/colors.h"
#include "2_screen/keys.h"
#include "2_screen/screen_text.h"
#include "3_panels/command_keys.h"
#include "3_panels/message_box.h"
#include "3_panels/panel_runner.h"

namespace {

bool is_continuation_byte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// Adds the screen lines of one line of the comment (no line break inside).
void wrap_line(const std::string &text, std::size_t start, std::size_t length, std::size_t width,
               std::vector<CommentLine> &lines) {
    bool wrapped = false;
    while (length > width) {
        std::size_t cut = width;
        while (cut > 0 && text[start + cut] != ' ') --cut;
        std::size_t skip = 1;  // the blank the line wraps at
        if (cut == 0) {
            cut = width;
            while (cut > 1 && is_continuation_byte(text[start + cut])) --cut;
            skip = 0;
        }
        lines.push_back({start, cut});
        start += cut + skip;
        length -= cut + skip;
        wrapped = true;
    }
    if (length > 0 || !wrapped) lines.push_back({start, length});
}

}  // namespace

std::vector<CommentLine> layout_comment(const std::string &comment, int width) {
    std::vector<CommentLine> lines;
    if (width < 1) width = 1;
    const std::size_t size = comment.size();
    std::size_t start = 0;
    while (start < size) {
        std::size_t end = start;
        while (end < size && comment[end] != '\r' && comment[end] != '\n') ++end;
        wrap_line(comment, start, end - start, static_cast<std::size_t>(width), lines);
        if (end < size && comment[end] == '\r' && end + 1 < size && comment[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return lines;
}

int scroll_comment(int top, int key, int line_count, int rows) {
    if (rows < 1) rows = 1;
    const int last_top = std::max(0, line_count - rows);
    switch (key) {
    case KEY_UP: top -= 1; break;
    case KEY_DOWN: top += 1; break;
    case KEY_PPAGE: top -= rows; break;
    case KEY_NPAGE: top += rows; break;
    // Terminals send Home and End in several forms: xterm's own, the
    // keypad's corners, and the "Find" and "Select" codes of the VT220
    // editing keys (tmux and screen send those).
    case KEY_HOME:
    case KEY_FIND:
    case KEY_A1: top = 0; break;
    case KEY_END:
    case KEY_SELECT:
    case KEY_C1: top = last_top; break;
    default: return -1;
    }
    return std::clamp(top, 0, last_top);
}

void draw_comment_panel_text(CommentPanel &panel) {
    WINDOW *text = panel.text;
    if (!text) return;
    const int rows = getmaxy(text);
    const int width = getmaxx(text);
    if (width != panel.layout_width) {
        panel.lines = layout_comment(panel.comment, width);
        panel.layout_width = width;
    }
    const int count = static_cast<int>(panel.lines.size());
    panel.top = std::clamp(panel.top, 0, std::max(0, count - rows));

    set_role(text, ColorRole::module_text);
    for (int row = 0; row < rows; ++row) {
        put_blanks(text, row, 0, width);
        const int index = panel.top + row;
        if (index < count) {
            const CommentLine &line = panel.lines[static_cast<std::size_t>(index)];
            put_bytes(text, row, 0, panel.comment.data() + line.start, line.length);
        }
    }

    // The range shown, on the bottom border, when there is more to see.
    WINDOW *frame = panel.frame.win;
    if (count > rows && frame && getmaxy(frame) > 1) {
        char range[64];
        std::snprintf(range, sizeof range, "[ lines %d-%d of %d ]", panel.top + 1,
                      std::min(panel.top + rows, count), count);
        const int frame_cols = getmaxx(frame);
        const int length = static_cast<int>(std::strlen(range));
        // Redraw the border under the old range, which may have been longer.
        const int col = std::max(1, frame_cols - 2 - length);
        set_attr(frame, kNormal);
        put_run(frame, getmaxy(frame) - 1, 1, ACS_HLINE, frame_cols - 2);
        put_text(frame, getmaxy(frame) - 1, col, range, frame_cols - 1);
    }
    // The panel library refreshes the frame, which does not see what was
    // written through its sub-window.
    if (frame) touchwin(frame);
}

namespace {

// The text area is the frame's interior; a frame cut or grown by a resize
// gets a text area of its new size.
void fit_comment_text(CommentPanel &panel) {
    WINDOW *frame = panel.frame.win;
    if (!frame) return;
    const int rows = getmaxy(frame) - 2;
    const int cols = getmaxx(frame) - 2;
    if (panel.text && getmaxy(panel.text) == rows && getmaxx(panel.text) == cols) return;
    if (panel.text) delwin(panel.text);
    panel.text = nullptr;
    if (rows > 0 && cols > 0) panel.text = subwin(frame, rows, cols, getbegy(frame) + 1, getbegx(frame) + 1);
}

constexpr int kCommentCloseKeys[] = {'q'};

// Only q closes it; the scroll keys are its own, and every other key
// (Escape too, which does nothing there) goes on to the command keys.
PanelDescription comment_description(CommentPanel &panel) {
    PanelDescription desc;
    desc.title = "Comment";
    desc.close_keys = kCommentCloseKeys;
    desc.on_key = [&panel](int key) {
        if (!panel.text) return KeyResult::passed;
        const int top = scroll_comment(panel.top, key, static_cast<int>(panel.lines.size()), getmaxy(panel.text));
        if (top < 0) return KeyResult::passed;
        if (top != panel.top) {
            panel.top = top;
            draw_comment_panel_text(panel);
        }
        return KeyResult::handled;
    };
    desc.passes_to_command_keys = true;
    desc.draw = [&panel](WINDOW *) {
        fit_comment_text(panel);
        draw_comment_panel_text(panel);
    };
    desc.on_close = [&panel] {
        if (panel.text) delwin(panel.text);
        panel.text = nullptr;
    };
    desc.repaint_main_on_close = false;
    return desc;
}

}  // namespace

CommentPanel open_comment_panel(const char *comment) {
    CommentPanel panel;
    panel.comment.assign(comment ? comment : "", comment ? strnlen(comment, kCommentMaxBytes) : 0);
    accept_vt220_home_and_end();
    const PanelCorner corner = panel_corner(PanelKind::comment);
    panel.frame = open_panel_window(kCommentWindowRows, kCommentWindowCols, corner.y, corner.x, "Comment");
    if (!panel.frame.win) return panel;
    // On a small screen the frame was cut to fit; the text area follows it.
    WINDOW *frame = panel.frame.win;
    if (getmaxy(frame) > 2 && getmaxx(frame) > 2) fit_comment_text(panel);
    if (!panel.text) {
        close_panel_window(panel.frame);
        return panel;
    }
    draw_comment_panel_text(panel);
    // Shown at once, before the first key.
    update_panels();
    doupdate();
    return panel;
}

void run_comment_panel(CommentPanel &panel) { run_panel(comment_description(panel), panel.frame); }

void comment_panel() {
    // The description stays whole while the panel shows it, whatever the
    // player loads meanwhile.
    const ModuleInfoPtr module = player_view().module;
    if (!module) return;
    if (!module->has_comment) {
        message_box("No comment in this module.", kMessageNotice);
        return;
    }
    CommentPanel panel = open_comment_panel(module->comment.c_str());
    run_comment_panel(panel);
}
