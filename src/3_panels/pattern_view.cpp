#include "3_panels/pattern_view.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "1_player/player_thread.h"
#include "1_player/track_decoder.h"
#include "2_screen/channel_table.h"
#include "2_screen/colors.h"
#include "2_screen/keys.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "2_screen/status_lines.h"
#include "3_panels/command_keys.h"
#include "3_panels/panel_mover.h"
#include "3_panels/panel_runner.h"

namespace {

bool channel_muted_in(std::uint64_t muted, int channel) {
    return channel >= 0 && channel < kPlayerChannels && (muted >> channel & 1u) != 0;
}

PatternRole role_of(EffectKind kind) {
    switch (kind) {
    case EffectKind::pitch: return PatternRole::pitch;
    case EffectKind::volume: return PatternRole::volume;
    case EffectKind::panning: return PatternRole::panning;
    case EffectKind::timing: return PatternRole::timing;
    case EffectKind::other: return PatternRole::other;
    case EffectKind::none: break;
    }
    return PatternRole::empty;
}

// The top border with the pattern and position in its frame.
void draw_title(const PatternView &view, const ModuleInfo &m) {
    WINDOW *win = view.pw.win;
    const int cols = getmaxx(win);
    set_attr(win, kNormal);
    if (cols > 2) mvwhline(win, 0, 1, ACS_HLINE, cols - 2);
    char title[64];
    std::snprintf(title, sizeof title, "Pattern %d  Pos %d/%d%s", view.pattern + 1, view.position + 1, m.positions,
                  view.frozen ? "  Frozen" : "");
    const FrameClip clip(win);
    draw_panel_title(win, title);
}

// The channel numbers over their cells, with marks where more channels lie
// to the left or right.
void draw_channel_header(const PatternView &view, const ModuleInfo &m) {
    WINDOW *win = view.pw.win;
    const int cols = getmaxx(win);
    const FrameClip clip(win);
    set_attr(win, pattern_attr(PatternRole::empty, false));
    put_blanks(win, kChannelHeaderRow, 1, cols - 2);
    for (int slot = 0; slot < view.shown_channels; ++slot) {
        const int channel = view.drawn_first + slot;
        char label[24];
        std::snprintf(label, sizeof label, "Channel %d", channel + 1);
        const int width = static_cast<int>(std::strlen(label));
        const bool muted = channel_muted_in(view.muted, channel);
        set_attr(win, pattern_attr(muted ? PatternRole::muted : PatternRole::row_number, false));
        put_text(win, kChannelHeaderRow, channel_column(slot) + (kCellTextWidth - width) / 2, label);
    }
    set_role(win, ColorRole::scroll_mark);
    if (view.drawn_first > 0) put_text(win, kChannelHeaderRow, 1, "<");
    if (view.drawn_first + view.shown_channels < m.channels) put_text(win, kChannelHeaderRow, cols - 2, ">");
    set_attr(win, kNormal);
}

// One line of the body: pattern row `row` (blank outside the pattern), on
// the highlight when `current`.
void draw_body_line(const PatternView &view, const ModuleInfo &m, int line, int row, bool current) {
    WINDOW *win = view.pw.win;
    const int y = kFirstBodyRow + line;
    const int cols = getmaxx(win);
    const int limit = cols - 1;
    const FrameClip clip(win);
    // A line scrolled in comes without its share of the border.
    set_attr(win, kNormal);
    mvwaddch(win, y, 0, ACS_VLINE);
    mvwaddch(win, y, cols - 1, ACS_VLINE);
    const attr_t blank = pattern_attr(PatternRole::empty, current);
    if (row < 0 || row >= rows_of_pattern(m, view.pattern)) {
        set_attr(win, pattern_attr(PatternRole::outside, current));
        put_blanks(win, y, 1, cols - 2);
        set_attr(win, kNormal);
        return;
    }
    set_attr(win, pattern_attr(PatternRole::row_number, current));
    put_format(win, y, 1, "%3d", row);
    int x = kFirstCellColumn - 1;
    for (int slot = 0; slot < view.shown_channels; ++slot) {
        const int channel = view.drawn_first + slot;
        set_attr(win, blank);
        if (x < limit) mvwaddch(win, y, x, ACS_VLINE);
        x = channel_column(slot);
        TrackRow decoded;
        decode_module_row(m, view.pattern, row, channel, decoded);
        CellText cell;
        describe_cell(decoded, view.notation, cell);
        const bool muted = channel_muted_in(view.muted, channel);
        auto role = [&](bool present, PatternRole wanted) {
            return pattern_attr(muted ? PatternRole::muted : present ? wanted : PatternRole::empty, current);
        };
        // The blank after each field keeps the field's attribute: a blank
        // looks the same in any colour of the row, and costs no change.
        const attr_t note = role(cell.has_note, PatternRole::note);
        const attr_t instrument = role(cell.has_instrument, PatternRole::instrument);
        const attr_t volume = role(true, role_of(cell.volume_kind));
        RowWriter writer{win, y, x, limit};
        writer.put(note, cell.note)
            .put(note, " ")
            .put(instrument, cell.instrument)
            .put(instrument, " ")
            .put(volume, cell.volume)
            .put(volume, " ")
            .put(role(true, role_of(cell.effect_kind)), cell.effect);
        x += kCellTextWidth;
    }
    set_attr(win, blank);
    if (x < limit) put_blanks(win, y, x, limit - x);
    set_attr(win, kNormal);
}

int row_on_line(const PatternView &view, int line, int lines) { return view.row - middle_line(lines) + line; }

void draw_body(const PatternView &view, const ModuleInfo &m) {
    const int lines = body_lines(getmaxy(view.pw.win));
    for (int line = 0; line < lines; ++line)
        draw_body_line(view, m, line, row_on_line(view, line, lines), line == middle_line(lines));
}

// Moves the body `by` lines up (down when negative) with curses' scrolling,
// so the terminal scrolls too, and draws the lines that came in and the two
// whose highlight changed.
void scroll_body(const PatternView &view, const ModuleInfo &m, int by) {
    WINDOW *win = view.pw.win;
    const int lines = body_lines(getmaxy(win));
    const int middle = middle_line(lines);
    wsetscrreg(win, kFirstBodyRow, kFirstBodyRow + lines - 1);
    scrollok(win, TRUE);
    wscrl(win, by);
    scrollok(win, FALSE);
    wsetscrreg(win, 0, getmaxy(win) - 1);
    const int first_new = by > 0 ? lines - by : 0;
    const int last_new = by > 0 ? lines - 1 : -by - 1;
    for (int line = first_new; line <= last_new; ++line)
        draw_body_line(view, m, line, row_on_line(view, line, lines), line == middle);
    const int old_middle = middle - by;
    if (old_middle >= 0 && old_middle < lines && (old_middle < first_new || old_middle > last_new))
        draw_body_line(view, m, old_middle, row_on_line(view, old_middle, lines), false);
    if (middle < first_new || middle > last_new) draw_body_line(view, m, middle, view.row, true);
}

// After a resize the view is drawn whole at its new size.
void redraw_whole(PatternView &view) {
    view.drawn = false;
    update_pattern_view(view, read_playhead());
}

}  // namespace

PatternViewPlayhead read_playhead() {
    PatternViewPlayhead head;
    const PlayerView &view = player_view();
    head.module = view.module;
    if (!head.module) return head;
    const ModuleInfo &m = *head.module;
    head.in_song = view.sngpos >= 0 && view.sngpos < m.positions && pattern_at(m, view.sngpos) >= 0;
    if (head.in_song) {
        head.position = view.sngpos;
        head.pattern = pattern_at(m, view.sngpos);
        head.row = view.patpos;
    }
    // The channels muted with Enter and M, as the channel table shows them.
    const int channels = std::min(m.channels, kPlayerChannels);
    head.muted = channels >= 64 ? view.muted : view.muted & ((std::uint64_t{1} << channels) - 1);
    return head;
}

int visible_channels(int cols, int channels) {
    if (channels <= 0) return 0;
    return std::clamp((cols - kFirstCellColumn) / kChannelColumns, 1, channels);
}

int body_lines(int rows) { return std::max(rows - 3, 0); }

int middle_line(int lines) { return lines > 0 ? (lines - 1) / 2 : 0; }

int channel_column(int slot) { return kFirstCellColumn + slot * kChannelColumns; }

int clamp_first_channel(int first, int channels, int shown) { return std::clamp(first, 0, std::max(channels - shown, 0)); }

bool is_browse_key(int key) {
    switch (key) {
    case KEY_UP:
    case KEY_DOWN:
    case KEY_PPAGE:
    case KEY_NPAGE:
    case KEY_HOME:
    case KEY_END:
    case '[':
    case ']': return true;
    default: return false;
    }
}

BrowsePoint browse_step(const ModuleInfo &m, BrowsePoint at, int key, int page) {
    if (m.positions <= 0) return {0, 0};
    int position = std::clamp(at.position, 0, m.positions - 1);
    if (key == '[' && position > 0) --position;
    if (key == ']' && position < m.positions - 1) ++position;
    const int last = std::max(rows_of_pattern(m, pattern_at(m, position)) - 1, 0);
    int row = at.row;
    page = std::max(page, 1);
    switch (key) {
    case KEY_UP: --row; break;
    case KEY_DOWN: ++row; break;
    case KEY_PPAGE: row -= page; break;
    case KEY_NPAGE: row += page; break;
    case KEY_HOME: row = 0; break;
    case KEY_END: row = last; break;
    default: break;
    }
    return {position, std::clamp(row, 0, last)};
}

void open_pattern_view(PatternView &view) {
    view = PatternView{};
    view.pw = open_panel_window(screen_rows() - kPatternViewTop, screen_cols(), kPatternViewTop, 0, nullptr);
    WINDOW *win = view.pw.win;
    if (!win) return;
    set_panel_height_rule(win, kPatternViewTop);
    set_panel_full_width(win);
    // The open window's registry keeps this for as long as the window is
    // open, which the view outlives.
    set_panel_redraw(win, [&view](WINDOW *) { redraw_whole(view); });
    // The terminal may scroll lines: a body moving by a row costs a
    // scroll and three lines, not the whole body.
    idlok(win, TRUE);
    accept_vt220_home_and_end();
}

bool update_pattern_view(PatternView &view, const PatternViewPlayhead &head) {
    WINDOW *win = view.pw.win;
    if (!win || !head.module) return false;
    const ModuleInfo &m = *head.module;
    if (!view.shown_module || head.module->load_number != view.shown_module->load_number) {
        view.shown_module = head.module;
        view.notation = notation_of(m.type.c_str());
        view.frozen = false;
        view.first_channel = 0;
        view.drawn = false;
    }
    int position = view.position;
    int row = view.row;
    if (view.frozen) {
        view.browse = browse_step(m, view.browse, ERR, 1);
        position = view.browse.position;
        row = view.browse.row;
    } else if (head.in_song) {
        position = head.position;
        row = head.row;
    } else if (view.drawn) {
        return false;  // past the end: the last row played stays
    }
    position = std::clamp(position, 0, std::max(m.positions - 1, 0));
    row = std::max(row, 0);  // a view opened after the song's end starts at its first row
    const int pattern = pattern_at(m, position);
    const int rows = getmaxy(win);
    const int cols = getmaxx(win);
    const int shown = visible_channels(cols, m.channels);
    const int first = clamp_first_channel(view.first_channel, m.channels, shown);
    const int lines = body_lines(rows);

    const bool whole = !view.drawn || rows != view.drawn_rows || cols != view.drawn_cols ||
                       position != view.position || pattern != view.pattern || first != view.drawn_first ||
                       shown != view.shown_channels || head.muted != view.muted;
    const int moved = row - view.row;
    const bool title_changed = !view.drawn || position != view.position || pattern != view.pattern;
    view.position = position;
    view.pattern = pattern;
    view.row = row;
    view.first_channel = first;
    view.drawn_first = first;
    view.shown_channels = shown;
    view.muted = head.muted;
    view.drawn_rows = rows;
    view.drawn_cols = cols;
    if (whole) {
        if (title_changed || !view.drawn) draw_title(view, m);
        draw_channel_header(view, m);
        draw_body(view, m);
        view.drawn = true;
        return true;
    }
    if (moved == 0) return false;
    if (std::abs(moved) < lines)
        scroll_body(view, m, moved);
    else
        draw_body(view, m);
    return true;
}

namespace {

KeyResult close_view(PatternView &, int) { return KeyResult::closed; }

KeyResult move_view(PatternView &view, int) {
    move_panel_interactively(view.pw.panel);
    return KeyResult::handled;
}

// Space: a view that follows the music stops where it is, and a stopped
// one follows again.
KeyResult freeze_or_follow(PatternView &view, int) {
    view.frozen = !view.frozen;
    view.browse = {std::max(view.position, 0), std::max(view.row, 0)};
    if (view.pw.win && view.shown_module) draw_title(view, *view.shown_module);
    return KeyResult::handled;
}

template <int kStep>
KeyResult scroll_channels(PatternView &view, int) {
    view.first_channel += kStep;
    return KeyResult::handled;
}

KeyResult browse(PatternView &view, int key) {
    // Browsing freezes a view that follows the music.
    if (!view.frozen) {
        view.frozen = true;
        view.browse = {std::max(view.position, 0), std::max(view.row, 0)};
        if (view.pw.win && view.shown_module) draw_title(view, *view.shown_module);
    }
    if (view.shown_module) {
        const int page = std::max(body_lines(getmaxy(view.pw.win)) - 1, 1);
        view.browse = browse_step(*view.shown_module, view.browse, key, page);
    }
    return KeyResult::handled;
}

// The keys the view reads itself; every other key goes to the command
// keys.
constexpr StateKeyBinding<PatternView> kPatternViewKeyTable[] = {
    {'q', close_view},     {kEscape, close_view}, {'m', move_view},   {' ', freeze_or_follow},
    {KEY_LEFT, scroll_channels<-1>}, {KEY_RIGHT, scroll_channels<+1>},
    {KEY_UP, browse},      {KEY_DOWN, browse},    {KEY_PPAGE, browse}, {KEY_NPAGE, browse},
    {KEY_HOME, browse},    {KEY_END, browse},     {'[', browse},       {']', browse},
};

constexpr auto kPatternViewKeyList = keys_of(kPatternViewKeyTable);

}  // namespace

const KeyList kPatternViewKeys = kPatternViewKeyList;

bool pattern_view_key(PatternView &view, int key) {
    const KeyResult result = dispatch_key(kPatternViewKeyTable, view, key);
    if (result == KeyResult::passed) handle_command_key(key);
    return result != KeyResult::closed;
}

void run_pattern_view(PatternView &view) {
    if (!view.pw.win) return;
    update_pattern_view(view, read_playhead());
    PanelDescription desc;
    desc.on_key = [&view](int key) { return pattern_view_key(view, key) ? KeyResult::handled : KeyResult::closed; };
    desc.draw = [&view](WINDOW *) { redraw_whole(view); };
    // The status row is drawn with the view, from the same snapshot, so
    // both show the same row.
    desc.live_step = [&view](int) {
        if (update_pattern_view(view, read_playhead()) && !view.frozen) draw_status_row();
    };
    desc.repaint_main_on_close = false;
    run_panel(desc, view.pw);
}

void close_pattern_view(PatternView &view) {
    if (view.pw.win) close_panel_window(view.pw);
}

void pattern_view() {
    if (!player_view().module) {
        beep();
        return;
    }
    PatternView view;
    open_pattern_view(view);
    run_pattern_view(view);
}
