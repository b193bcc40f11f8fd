#include "3_playlist/playlist_panel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <panel.h>
#include <vector>

#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "2_screen/channel_table.h"
#include "2_screen/colors.h"
#include "2_screen/keys.h"
#include "2_screen/list_paging.h"
#include "2_screen/main_window.h"
#include "2_screen/playlist_footer.h"
#include "2_screen/screen_text.h"
#include "2_screen/status_lines.h"
#include "3_filesel/directory_listing.h"
#include "3_filesel/file_selector.h"
#include "3_panels/message_box.h"
#include "3_panels/panel_mover.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_runner.h"
#include "3_panels/panel_window.h"
#include "3_playlist/playlist_file.h"
#include "3_playlist/playlist_lengths.h"
#include "3_playlist/playlist_playback.h"
#include "3_playlist/playlist_store.h"

PlaylistView playlist_view = {};
const char *const playlist_buttons[10] = {
    "[ Add file  ]", "[  Add dir  ]", "[  Remove   ]", "[   Clear   ]", "[  Move up  ]",
    "[ Move down ]", "[   Info    ]", "[   Load    ]", "[   Save    ]", "[   Done    ]",
};

namespace {

constexpr int kWholeSeparatorCol = 55;  // in a whole panel the list area is columns 1 to 54
constexpr int kButtonsWidth = 17;       // from the separator to the right border
enum Button { kAddFile, kAddDir, kRemoveButton, kClear, kMoveUpButton, kMoveDownButton, kInfoButton, kLoad, kSave, kDone };

int list_rows() { return screen_rows() - 4; }

// The column of the line between the list and the buttons: in a panel cut
// to a narrow screen the list narrows, so the buttons and the entry count
// stay on screen.
int separator_col(WINDOW *win) { return std::clamp(getmaxx(win) - kButtonsWidth, 2, kWholeSeparatorCol); }

int count_col(WINDOW *win) { return std::min(38, std::max(separator_col(win) - 17, 1)); }
int page_of(int index) { return list_rows() > 0 ? index / list_rows() : 0; }

void refresh_screen() {
    update_panels();
    doupdate();
}

// The number in front of an entry's path: "%3d: ".
int number_width(int k) {
    char number[16];
    return std::snprintf(number, sizeof number, "%3d: ", k + 1);
}

void draw_selection(WINDOW *w, const PlaylistView &view, bool highlighted) {
    const int rows = list_rows();
    if (rows < 1 || view.selected >= playlist_count) return;
    set_role(w, highlighted ? ColorRole::list_entry_selected : ColorRole::list_entry);
    put_text(w, view.selected % rows + 1, 1 + number_width(view.selected), playlist[view.selected].path,
             separator_col(w));
    set_attr(w, kNormal);
    refresh_screen();
}

void tell(const char *message) {
    error_box(message);
}

constexpr int kInfoCloseKeys[] = {kEscape, 'q'};

// The module information popup for `entry`.
void show_info(const PlaylistEntry &entry) {
    PanelWindow info = open_panel_window(12, 60, screen_rows() / 2 - 6, screen_cols() / 2 - 30, nullptr);
    if (!info.win) return;
    WINDOW *w = info.win;
    set_attr(w, kNormal);
    put_text(w, 0, 2, "[             ]");
    set_role(w, ColorRole::info_title);
    put_text(w, 0, 4, "Module info");
    set_role(w, ColorRole::notice_waiting);
    put_text(w, 5, 16, "Please wait...");
    set_attr(w, kNormal);
    refresh_screen();

    // The player loads it aside, between two stretches of the song that
    // plays.
    char message[kPathCapacity];
    const ModuleInfoPtr loaded = read_module_info(entry.path, message, sizeof message);
    if (!loaded) {
        close_panel_window(info);
        message_box(message, kMessageError);
        return;
    }
    const long long bytes = loaded->bytes;
    set_attr(w, kNormal);
    put_text(w, 5, 16, "              ");
    const int limit = 59;
    RowWriter{w, 1, 1, limit}.put(kNormal, "   File: ").put(kNormal, entry.name).putf(kNormal, " - Size: %lld", bytes);
    RowWriter{w, 2, 1, limit}.put(kNormal, "   Name: ").put(kNormal, loaded->title.c_str());
    RowWriter{w, 3, 1, limit}.put(kNormal, "   Type: ").put(kNormal, loaded->type.c_str());
    const struct {
        const char *format;
        int value;
    } rows[] = {
        {"    Chn: %d", loaded->channels},     {"Samples: %d", loaded->sample_count},
        {" Instr.: %d", loaded->instrument_count}, {"    BMP: %d", loaded->initial_bpm},
        {"  Speed: %d", loaded->initial_speed}, {"  Tempo: %d", loaded->initial_tempo},
        {"    Vol: %d", loaded->initial_volume},
    };
    int row = 4;
    for (const auto &r : rows) RowWriter{w, row++, 1, limit}.putf(kNormal, r.format, r.value);
    long long length = 0;
    int songs = 0;
    if (cached_song_length(entry.path, length, songs)) {
        char time[16];
        format_playlist_time(time, sizeof time, static_cast<std::uint64_t>(length));
        RowWriter{w, 4, 30, limit}.put(kNormal, " Length: ").put(kNormal, time);
        RowWriter{w, 5, 30, limit}.putf(kNormal, "  Songs: %d", songs);
    }
    refresh_screen();
    PanelDescription desc;
    desc.close_keys = kInfoCloseKeys;
    desc.repaint_main_on_close = false;
    run_panel(desc, info);
}

// Carries out the action on Enter. Returns true when the selection ends.
bool act_on_selection(PlaylistView &view, int action) {
    switch (action) {
    case kRemove:
        playlist_remove(view.selected);
        if (view.selected >= playlist_count) view.selected = 0;
        keep_selection_in_list(view);
        return true;
    case kMoveUp: playlist_move_up(view.selected); return true;
    case kMoveDown: playlist_move_down(view.selected); return true;
    case kInfo:
        if (is_playing(player_view()))
            message_box("Player is running.", kMessageError);
        else
            show_info(playlist[view.selected]);
        return false;
    default: return false;
    }
}

constexpr int kButtonCount = 10;
constexpr int kButtonCells = 13;

// One opening of the editor: its window and the buttons. Lives while the
// panel is open; the list it shows stands where `view` says.
class PlaylistEditor {
public:
    explicit PlaylistEditor(PlaylistView &view) : view_(view) {}

    PlaylistExit run();

private:
    int button_col() const { return separator_col(window_.win) + 2; }

    // The rows inside the border.
    int inner_rows() const { return std::max(getmaxy(window_.win) - 2, 1); }

    // In a whole panel the buttons stand two rows apart from row 2; in a
    // shorter one they close up, one a row from row 1, and when even that
    // does not fit, the column scrolls to keep the chosen button in view.
    bool buttons_spaced() const { return 2 + 2 * (kButtonCount - 1) <= inner_rows(); }

    int button_row(int index) const { return buttons_spaced() ? 2 + 2 * index : 1 + index - button_top_; }

    bool button_shown(int index) const {
        const int row = button_row(index);
        return row >= 1 && row <= inner_rows();
    }

    // Scrolls the buttons the least that brings the chosen one into view;
    // true when they moved.
    bool keep_button_in_view() {
        const int was = button_top_;
        const int rows = inner_rows();
        if (buttons_spaced() || rows >= kButtonCount) {
            button_top_ = 0;
        } else {
            button_top_ = std::min(button_top_, button_);
            button_top_ = std::max(button_top_, button_ - rows + 1);
            button_top_ = std::clamp(button_top_, 0, kButtonCount - rows);
        }
        return button_top_ != was;
    }

    void draw_button(int index, bool current) {
        if (!button_shown(index)) return;
        WINDOW *w = window_.win;
        set_attr(w, current ? role_attr(ColorRole::button_chosen) : kNormal);
        put_text(w, button_row(index), button_col(), playlist_buttons[index], getmaxx(w) - 1);
        set_attr(w, kNormal);
    }

    // Every button in view; in a scrolled column, the rows cleared first
    // and a mark beside the first and the last row shown while buttons hide
    // beyond.
    void draw_buttons() {
        WINDOW *w = window_.win;
        const bool scrolled = !buttons_spaced() && inner_rows() < kButtonCount;
        if (scrolled) {
            set_attr(w, kNormal);
            for (int row = 1; row <= inner_rows(); ++row) put_blanks(w, row, button_col(), kButtonCells + 1);
        }
        for (int i = 0; i < kButtonCount; ++i) draw_button(i, i == button_);
        if (!scrolled) return;
        const int mark_col = button_col() + kButtonCells;
        if (button_top_ > 0) mvwaddch(w, 1, mark_col, ACS_UARROW);
        if (button_top_ + inner_rows() < kButtonCount) mvwaddch(w, inner_rows(), mark_col, ACS_DARROW);
    }

    void draw_frame() {
        WINDOW *w = window_.win;
        set_attr(w, kNormal);
        // In a panel cut to a narrow screen the title's brackets close
        // before the top right corner, the title cut between them.
        const int close = std::min(51, getmaxx(w) - 3);
        if (close >= 5) {
            put_text(w, 0, 2, "[");
            put_blanks(w, 0, 3, close - 3);
            put_text(w, 0, close, "]");
            set_role(w, ColorRole::panel_title);
            put_text(w, 0, 4, " Playlist (press 'q' to quit without starting)", close);
            set_attr(w, kNormal);
        }
        if (screen_rows() >= 5)
            for (int row = 1; row <= screen_rows() - 4; ++row) mvwaddch(w, row, separator_col(w), ACS_VLINE);
        mvwaddch(w, screen_rows() - 3, separator_col(w), ACS_BTEE);
    }

    void draw_list() {
        measure_playlist_lengths();
        draw_playlist(window_.win, view_);
    }

    void touch_panel() { wtouchln(window_.win, 0, getmaxy(window_.win), 1); }

    void add_file() {
        const FileChoice choice = file_selector();
        touch_panel();
        draw_list();
        if (choice.button != SelectorButton::ok || choice.name[0] == '\0') return;
        const AddResult result = choice.path[0] != '\0' ? playlist_add_path(choice.path) : AddResult::too_long;
        if (result != AddResult::added) tell(add_result_message(result));
        draw_list();
    }

    void add_dir() {
        const FileChoice choice = file_selector();
        if (choice.button != SelectorButton::ok) return;
        const DirectoryListing &listing = choice.listing;
        // Inside a pack its member list says which entries are files.
        std::unique_ptr<bool[]> files;
        if (!listing.packed.empty()) {
            files = std::make_unique<bool[]>(listing.packed.size());
            for (std::size_t i = 0; i < listing.packed.size(); ++i)
                files[i] = listing.packed[i].kind == ArchiveEntryKind::file;
        }
        const AddDirResult result =
            playlist_add_dir(choice.dir, listing.names.get(), listing.count, listing.left_out, files.get());
        touch_panel();
        draw_list();
        char message[kPathCapacity];
        if (result.left_out > 0 && result.refused > 0)
            std::snprintf(message, sizeof message, "The playlist is full: %d files left out; %d more refused.",
                          result.left_out, result.refused);
        else if (result.left_out > 0)
            std::snprintf(message, sizeof message, "The playlist is full: %d file%s left out.", result.left_out,
                          result.left_out == 1 ? " was" : "s were");
        else if (result.refused > 0)
            std::snprintf(message, sizeof message, "%d file%s refused: path too long or a line feed in the name.",
                          result.refused, result.refused == 1 ? " was" : "s were");
        else
            return;
        tell(message);
    }

    // The playlist file chosen in the file selector, into `path`; false
    // when the selector was cancelled or the path does not fit.
    bool choose_playlist_file(char (&path)[kPathCapacity]) {
        const FileChoice choice = file_selector();
        touch_panel();
        if (choice.button != SelectorButton::ok) return false;
        if (choice.path[0] == '\0') {
            tell(add_result_message(AddResult::too_long));
            return false;
        }
        std::memcpy(path, choice.path, sizeof path);
        return true;
    }

    // The list as loaded, drawn before a box about the load opens over it.
    void show_loaded_list() {
        keep_selection_in_list(view_);
        draw_list();
        refresh_screen();
    }

    void load_or_save(bool load) {
        char path[kPathCapacity];
        if (!choose_playlist_file(path)) return;
        if (load)
            playlist_load(path, [this] { show_loaded_list(); });
        else
            playlist_save(path);
        keep_selection_in_list(view_);
        draw_list();
        touch_panel();
    }

    // The list takes the focus, in the same window, for `action`.
    void select_in_list(int action) {
        draw_button(button_, false);
        refresh_screen();
        playlist_select(window_.win, view_, action);
        draw_button(button_, true);
        refresh_screen();
    }

    void run_list_button(int action) {
        if (playlist_count == 0) {
            if (action != kRemove) draw_list();
            return;
        }
        select_in_list(action);
        if (action != kRemove) draw_list();
    }

    // Carries out the current button. Returns true when the panel closes.
    bool run_button() {
        switch (button_) {
        case kAddFile: add_file(); break;
        case kAddDir: add_dir(); break;
        case kRemoveButton: run_list_button(kRemove); break;
        case kClear:
            playlist_clear();
            keep_selection_in_list(view_);
            draw_list();
            break;
        case kMoveUpButton: run_list_button(kMoveUp); break;
        case kMoveDownButton: run_list_button(kMoveDown); break;
        case kInfoButton: run_list_button(kInfo); break;
        case kLoad: load_or_save(true); break;
        case kSave: load_or_save(false); break;
        case kDone: return true;
        default: break;
        }
        return false;
    }

    void change_button(int to) {
        draw_button(button_, false);
        button_ = to;
        if (keep_button_in_view())
            draw_buttons();
        else
            draw_button(button_, true);
    }

    // The whole panel, at its opening and after a change of the screen's
    // size (its height follows the screen's, as its list does).
    void draw() {
        draw_frame();
        keep_selection_in_list(view_);
        draw_list();
        keep_button_in_view();
        draw_buttons();
    }

    KeyResult on_key(int key, bool &start) {
        switch (key) {
        case KEY_DOWN: change_button(std::min(button_ + 1, 9)); break;
        case KEY_UP: change_button(std::max(button_ - 1, 0)); break;
        case KEY_NPAGE: change_button(kDone); break;
        case KEY_PPAGE: change_button(kAddFile); break;
        case kTab:
            if (playlist_count > 0) select_in_list(kBrowse);
            break;
        case 'm': move_panel_interactively(window_.panel); break;
        default:
            if (is_enter_key(key) && run_button()) {
                start = true;
                return KeyResult::closed;
            }
            break;
        }
        return KeyResult::handled;
    }

    PlaylistView &view_;
    PanelWindow window_;
    int button_ = 0;      // the current button, 0 to 9
    int button_top_ = 0;  // the first button shown when the buttons scroll
};

constexpr int kPlaylistCloseKeys[] = {'q'};

PlaylistExit PlaylistEditor::run() {
    bool start = false;
    PanelDescription desc = panel_description(PanelKind::playlist);
    desc.close_keys = kPlaylistCloseKeys;
    desc.on_key = [this, &start](int key) { return on_key(key, start); };
    desc.draw = [this](WINDOW *) { draw(); };
    // Opened by hand: draw() draws through window_, set only once the
    // window exists.
    window_ = open_panel_window(desc.rows, desc.cols, desc.y, desc.x, nullptr);
    if (!window_.win) return PlaylistExit::quit;
    set_panel_height_rule(window_.win, panel_layout(PanelKind::playlist).rows_less);
    draw();
    refresh_screen();
    run_panel(desc, window_);
    draw_channel_table();
    draw_status_row();
    refresh_screen();
    if (start && playlist_count > 0) start_playlist();
    return start ? PlaylistExit::done : PlaylistExit::quit;
}

constexpr int kSelectionCloseKeys[] = {kTab, kEscape};

}  // namespace

void keep_selection_in_list(PlaylistView &view) {
    view.selected = std::clamp(view.selected, 0, std::max(playlist_count - 1, 0));
    view.page = page_of(view.selected);
}

bool move_list_selection(ListSelection &s, int key, int count, int rows) {
    const int last = count - 1;
    const auto move = [&] {
        const ListPosition moved = page_list({s.selected, s.page}, key, count, rows);
        s.selected = moved.selected;
        s.page = moved.page;
    };
    switch (key) {
    case KEY_DOWN:
    case KEY_UP: {
        if (key == KEY_DOWN ? s.selected >= last : s.selected <= 0) return false;
        const int shown = s.page;
        move();
        return s.page != shown;
    }
    case KEY_NPAGE:
        if (s.selected >= last) return false;
        move();
        return true;
    case KEY_PPAGE:
        if (s.selected <= 0) return false;
        move();
        return true;
    default: return false;
    }
}

// The list shows the entries' lengths where this many columns stand before
// them.
constexpr int kLengthsFromCol = 40;

void format_list_row(char *out, std::size_t size, int k) {
    if (k < playlist_count)
        std::snprintf(out, size, "%3d: %s/%s", k + 1, playlist[k].dir, playlist[k].name);
    else
        std::snprintf(out, size, "%3d: %-48s", k + 1, "EMPTY");
}

void draw_playlist(WINDOW *win, const PlaylistView &view) {
    if (!win) return;
    const int rows = list_rows();
    if (rows >= 1) {
        set_role(win, ColorRole::list_entry);
        char text[2 * kPathCapacity + 16];
        for (int i = 0; i < rows; ++i) {
            const int k = view.page * rows + i;
            format_list_row(text, sizeof text, k);
            put_blanks(win, i + 1, 1, separator_col(win) - 1);
            put_text(win, i + 1, 1, text, separator_col(win));
            long long length = 0;
            int songs = 0;
            // Where the list is narrow the path has the room.
            const int length_col = separator_col(win) - 7;
            if (k < playlist_count && length_col >= kLengthsFromCol &&
                cached_song_length(playlist[k].path, length, songs)) {
                char time[16];
                format_playlist_time(time, sizeof time, static_cast<std::uint64_t>(length));
                put_format(win, i + 1, length_col, " %5s ", time);
            }
        }
    }
    set_attr(win, kNormal);
    put_format(win, screen_rows() - 3, count_col(win), "[ %5d entries ]", playlist_count);
}

void playlist_select(WINDOW *win, PlaylistView &view, int action) {
    keep_selection_in_list(view);
    draw_playlist(win, view);
    draw_selection(win, view, true);
    // The list has the focus in the same window: the runner reads its keys
    // until Tab or Escape gives the focus back, or Enter ends the action.
    PanelDescription desc;
    desc.close_keys = kSelectionCloseKeys;
    desc.on_key = [win, &view, action](int key) {
        if (key == KEY_DOWN || key == KEY_UP || key == KEY_NPAGE || key == KEY_PPAGE) {
            draw_selection(win, view, false);
            ListSelection selection{view.selected, view.page};
            const bool redraw = move_list_selection(selection, key, playlist_count, list_rows());
            view.selected = selection.selected;
            view.page = selection.page;
            if (redraw) draw_playlist(win, view);
            draw_selection(win, view, true);
        } else if (is_enter_key(key) && action != kBrowse && playlist_count > 0) {
            if (act_on_selection(view, action)) return KeyResult::closed;
            draw_selection(win, view, true);
        }
        return KeyResult::handled;
    };
    run_panel_keys(desc, win);
    draw_selection(win, view, false);
    draw_playlist(win, view);
    refresh_screen();
}

PlaylistExit playlist_panel() {
    PlaylistEditor editor(playlist_view);
    return editor.run();
}
