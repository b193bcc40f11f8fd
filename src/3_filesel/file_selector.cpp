#include "3_filesel/file_selector.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curses.h>
#include <panel.h>
#include <sys/stat.h>
#include <unistd.h>

#include "2_screen/colors.h"
#include "2_screen/keys.h"
#include "2_screen/list_paging.h"
#include "2_screen/screen_text.h"
#include "3_filesel/directory_listing.h"
#include "3_filesel/directory_path.h"
#include "3_filesel/line_editor.h"
#include "3_panels/message_box.h"
#include "3_panels/panel_mover.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_runner.h"
#include "3_panels/panel_window.h"

char selector_file_name[kPathCapacity] = {};
char chosen_dir[kPathCapacity] = {};
int selector_button = 2;
int listing_page_drawn = 0;

namespace {

constexpr int kWidth = panel_layout(PanelKind::file_selector).cols;
constexpr int kRowEnd = 58;
constexpr int kChosenNameWidth = 42;  // the File line after Enter on a file
constexpr int kEditedNameWidth = 52;  // the File line after editing
constexpr int kOkButton = 0;
constexpr int kCancelButton = 1;
constexpr int kListingFocus = 2;
constexpr const char *kPathTooLong = "Path too long: paths stay within 255 characters.";

PanelWindow selector;

int file_row() { return selector_rows(LINES).file; }
int button_row() { return selector_rows(LINES).buttons; }
int page_rows() { return listing_page_rows(LINES); }

// Where a button stands: its own place in a whole window; in one cut to a
// narrow screen, each in the middle of its half of the width that is left,
// so both stay inside the frame.
int button_col(int button) {
    constexpr int kWholeCols[] = {16, 34};
    constexpr int kCells[] = {6, 10};
    const int cols = getmaxx(selector.win);
    if (cols >= kWidth) return kWholeCols[button];
    const int half = std::max((cols - 2) / 2, 1);
    return 1 + button * half + std::max((half - kCells[button]) / 2, 0);
}

void draw_file_line(int width) {
    WINDOW *w = selector.win;
    set_attr(w, kNormal);
    put_text(w, file_row(), 1, "File: ");
    put_field(w, file_row(), 7, selector_file_name, width);
    put_blanks(w, file_row(), 7 + width, kRowEnd - 6 - width);
    set_role(w, ColorRole::key_letter);
    put_text(w, file_row(), 1, "F");
    set_attr(w, kNormal);
}

void draw_buttons() {
    WINDOW *w = selector.win;
    set_attr(w, selector_button == kOkButton ? role_attr(ColorRole::button_chosen) : kNormal);
    put_text(w, button_row(), button_col(kOkButton), "[ OK ]");
    set_attr(w, selector_button == kCancelButton ? role_attr(ColorRole::button_chosen) : kNormal);
    put_text(w, button_row(), button_col(kCancelButton), "[ Cancel ]");
    set_attr(w, kNormal);
}

void draw_frame() {
    WINDOW *w = selector.win;
    set_attr(w, kNormal);
    put_text(w, file_row(), 1, "File: ");
    set_role(w, ColorRole::key_letter);
    put_text(w, file_row(), 1, "F");
    set_attr(w, kNormal);
    // The window may be narrower than kWidth on a small screen.
    const int width = getmaxx(w);
    for (int row : selector_rows(LINES).separators) {
        if (row < 1 || row >= getmaxy(w) - 1) continue;
        mvwaddch(w, row, 0, ACS_LTEE);
        mvwhline(w, row, 1, ACS_HLINE, width - 2);
        mvwaddch(w, row, width - 1, ACS_RTEE);
    }
    draw_buttons();
}

void highlight() { draw_entry_name(selector.win, listing_highlight, role_attr(ColorRole::list_cursor)); }

// Restores the highlighted entry's own look: bold for a directory only, so
// that a device or a page key never makes an entry look like another kind.
void unhighlight() {
    if (listing_highlight < listing_count)
        draw_entry_name(selector.win, listing_highlight, entry_name_attr(listing_highlight));
}

void tell(const char *message) {
    error_box(message);
}

// "Can't read '<what>': <reason>.", with a long path shortened to its tail
// so that the reason still fits on the screen.
void format_cannot_read(char (&message)[kPathCapacity], const char *what, int error) {
    constexpr std::size_t kShownPath = 40;
    const std::size_t length = std::strlen(what);
    const char *marker = length > kShownPath ? "~" : "";
    const char *tail = length > kShownPath ? what + length - (kShownPath - 1) : what;
    std::snprintf(message, sizeof message, "Can't read '%s%.*s': %.100s.", marker, static_cast<int>(kShownPath), tail,
                  std::strerror(error));
}

void tell_cannot_read(const char *what, int error) {
    char message[kPathCapacity];
    format_cannot_read(message, what, error);
    tell(message);
}

// A chosen name is accepted only while its full path fits.
bool chosen_path_fits(const char *name) {
    char path[kPathCapacity];
    if (name[0] == '\0' || file_path_in(path, dirname, name) == 0) return true;
    tell(kPathTooLong);
    return false;
}

bool names_working_directory(const char *path) {
    struct stat a;
    struct stat b;
    return stat(path, &a) == 0 && stat(".", &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// resolve_link on dirname, kept only when the rewritten path still names
// the directory shown (a link beneath another link can make the text
// rewrite point elsewhere).
void resolve_shown_directory() {
    char before[kPathCapacity];
    std::memcpy(before, dirname, sizeof before);
    resolve_link(dirname);
    if (std::strcmp(before, dirname) == 0) return;
    if (normalise_in_place(dirname) != 0 || !names_working_directory(dirname)) {
        std::memcpy(dirname, before, sizeof dirname);
        return;
    }
    draw_listing_header(selector.win);
}

void move_highlight(int key) {
    unhighlight();
    ListingCursor cursor{listing_highlight, listing_page, listing_page_drawn};
    const bool redraw = move_listing_cursor(cursor, key, listing_count, page_rows());
    listing_highlight = cursor.highlight;
    listing_page = cursor.page;
    listing_page_drawn = cursor.page_drawn;
    if (redraw) draw_listing_page(selector.win);
    highlight();
}

void choose_file(const char *name) {
    if (!chosen_path_fits(name)) return;
    std::snprintf(selector_file_name, sizeof selector_file_name, "%s", name);
    draw_file_line(kChosenNameWidth);
}

void enter_directory(const char *name) {
    char target[kPathCapacity];
    if (std::strcmp(name, "..") == 0) {
        std::memcpy(target, dirname, sizeof target);
        parent_path(target);
    } else if (join_path(target, dirname, name) != 0) {
        tell(kPathTooLong);
        return;
    }
    char link[kPathCapacity];
    switch (read_link_target(name, link)) {
    case LinkTarget::absolute:
        if (normalise_path(target, link, "/") != 0) {
            tell(kPathTooLong);
            return;
        }
        break;
    case LinkTarget::relative: report_relative_link(link); break;
    case LinkTarget::none: break;
    }
    if (show_directory(selector.win, target) != 0) {
        tell_cannot_read(name, errno);
        return;
    }
    listing_page_drawn = 0;
    // The File line keeps its name, and shows it: OK would return it.
    draw_file_line(kEditedNameWidth);
}

void take_highlighted_entry() {
    if (listing_count == 0) return;
    resolve_shown_directory();
    const char *name = listing_names[listing_highlight];
    struct stat info;
    if (stat(name, &info) != 0) {
        tell_cannot_read(name, errno);
        return;
    }
    if (S_ISREG(info.st_mode))
        choose_file(name);
    else if (S_ISDIR(info.st_mode))
        enter_directory(name);
}

// The typed directory line made into the directory to show; -1 when it
// cannot be.
int typed_directory() {
    char target[kPathCapacity];
    if (normalise_path(target, dirname, chosen_dir) != 0) return -1;
    std::memcpy(dirname, target, sizeof dirname);
    resolve_link(dirname);
    if (normalise_in_place(dirname) != 0) return -1;
    return show_directory(selector.win, dirname);
}

void edit_directory_line() {
    WINDOW *w = selector.win;
    unhighlight();
    std::memcpy(chosen_dir, dirname, sizeof chosen_dir);
    set_role(w, ColorRole::edit_field);
    edit_line(w, selector_rows(LINES).dir, "Dir: ", dirname);
    set_attr(w, kNormal);
    if (typed_directory() == 0) {
        listing_page_drawn = 0;
        highlight();
        return;
    }
    std::memcpy(dirname, chosen_dir, sizeof dirname);
    draw_listing_header(w);
    draw_entry_name(w, listing_highlight, role_attr(ColorRole::selection));
    beep();
}

// Returns true when the edit accepted the File line (closing as OK).
bool edit_file_line() {
    WINDOW *w = selector.win;
    unhighlight();
    set_role(w, ColorRole::edit_field);
    const bool ended_with_tab = edit_line(w, file_row(), "File: ", selector_file_name);
    set_attr(w, kNormal);
    if (selector_file_name[0] != '\0' && !ended_with_tab && chosen_path_fits(selector_file_name)) {
        selector_button = kOkButton;
        return true;
    }
    draw_file_line(kEditedNameWidth);
    highlight();
    return false;
}

// The buttons' own key loop. Returns true when Enter chose a button, false
// when Tab gave the focus back to the listing.
bool run_buttons() {
    WINDOW *w = selector.win;
    unhighlight();
    selector_button = kOkButton;
    draw_buttons();
    wnoutrefresh(w);
    doupdate();
    bool chosen = false;
    PanelDescription desc;
    desc.on_key = [&chosen](int key) {
        if (key == KEY_LEFT || key == KEY_RIGHT) {
            selector_button = key == KEY_LEFT ? kOkButton : kCancelButton;
            draw_buttons();
            update_panels();
            doupdate();
        } else if (key == kTab) {
            selector_button = kListingFocus;
            draw_buttons();
            highlight();
            return KeyResult::closed;
        } else if (is_enter_key(key)) {
            if (selector_button != kOkButton || chosen_path_fits(selector_file_name)) {
                chosen = true;
                return KeyResult::closed;
            }
        }
        return KeyResult::handled;
    };
    run_panel_keys(desc, w);
    return chosen;
}

void open_start_directory() {
    WINDOW *w = selector.win;
    char problem[kPathCapacity] = {};
    const char *wanted = chosen_dir[0] != '\0' ? chosen_dir : std::getenv("PWD");
    if (wanted && wanted[0] == '/') {
        if (normalise_path(dirname, wanted, "/") != 0) {
            std::snprintf(problem, sizeof problem, "%s", kPathTooLong);
        } else {
            resolve_link(dirname);
            if (normalise_in_place(dirname) != 0)
                std::snprintf(problem, sizeof problem, "%s", kPathTooLong);
            else if (show_directory(w, dirname) == 0)
                return;
            else
                format_cannot_read(problem, dirname, errno);
        }
    }
    char here[kPathCapacity];
    if (!(getcwd(here, sizeof here) && show_directory(w, here) == 0) && show_directory(w, "/") != 0) {
        std::snprintf(dirname, sizeof dirname, "/");
        clear_listing(w);
    }
    if (problem[0] != '\0') {
        update_panels();
        doupdate();
        tell(problem);
    }
}

// The selector drawn anew in its resized window: its rows follow the
// screen's height, and the page holding the highlight is shown.
void redraw_selector(WINDOW *) {
    draw_frame();
    draw_listing_header(selector.win);
    listing_page = listing_page_of(listing_highlight, page_rows());
    listing_page_drawn = listing_page;
    draw_listing_page(selector.win);
    draw_file_line(kEditedNameWidth);
    if (selector_button == kListingFocus) highlight();
}

// What the selector keeps for its next opening.
void remember_choice() {
    listing_highlight = 0;
    std::memcpy(chosen_dir, dirname, sizeof chosen_dir);
}

FileChoice choice_made() {
    FileChoice choice;
    choice.button = selector_button == kOkButton ? SelectorButton::ok : SelectorButton::cancel;
    std::memcpy(choice.name, selector_file_name, sizeof choice.name);
    if (file_path_in(choice.path, dirname, selector_file_name) != 0) choice.path[0] = '\0';
    std::memcpy(choice.dir, dirname, sizeof choice.dir);
    return choice;
}

}  // namespace

bool move_listing_cursor(ListingCursor &cursor, int key, int count, int page_rows) {
    if (key != KEY_DOWN && key != KEY_UP && key != KEY_NPAGE && key != KEY_PPAGE) return false;
    const ListPosition moved = page_list({cursor.highlight, cursor.page}, key, count, page_rows);
    cursor.highlight = moved.selected;
    cursor.page = moved.page;
    // Page Down always draws its page; the other keys only when they leave
    // the page on the screen.
    const bool turned = key == KEY_NPAGE || (key == KEY_DOWN ? cursor.page_drawn < cursor.page
                                                              : cursor.page_drawn > cursor.page);
    if (turned) cursor.page_drawn = cursor.page;
    return turned;
}

FileChoice file_selector() {
    const PanelLayout &layout = panel_layout(PanelKind::file_selector);
    const PanelCorner corner = panel_corner(PanelKind::file_selector);
    selector = open_panel_window(layout_rows(layout, LINES), kWidth, corner.y, corner.x, "Select file");
    if (!selector.win) return FileChoice{};
    // On a screen narrower than the selector its rows stop at the border.
    const FrameClip clip(selector.win);
    set_panel_height_rule(selector.win, layout.rows_less);
    // The focus starts in the listing: no button is drawn chosen, whichever
    // closed the selector last time.
    selector_button = kListingFocus;
    draw_frame();
    std::memset(selector_file_name, 0, sizeof selector_file_name);
    listing_highlight = 0;
    open_start_directory();
    update_panels();
    doupdate();
    listing_page = 0;
    listing_page_drawn = 0;

    PanelDescription desc;
    desc.title = "Select file";
    desc.on_key = [](int key) {
        switch (key) {
        case KEY_DOWN:
        case KEY_UP:
        case KEY_NPAGE:
        case KEY_PPAGE: move_highlight(key); break;
        case '\n':
        case KEY_ENTER: take_highlighted_entry(); break;
        case 'd':
        case 'D': edit_directory_line(); break;
        case 'f':
        case 'F':
            if (edit_file_line()) return KeyResult::closed;
            break;
        case kTab:
            if (run_buttons()) return KeyResult::closed;
            break;
        case 'm': move_panel_interactively(selector.panel); break;
        default: break;
        }
        return KeyResult::handled;
    };
    desc.draw = redraw_selector;
    desc.on_close = remember_choice;
    desc.repaint_main_on_close = false;
    run_panel(desc, selector);
    return choice_made();
}
