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
#include <utility>

#include "1_player/module_info.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
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

SelectorMemory selector_memory = {};

namespace {

constexpr int kWidth = panel_layout(PanelKind::file_selector).cols;
constexpr int kRowEnd = 58;
constexpr int kChosenNameWidth = 42;  // the File line after Enter on a file
constexpr int kEditedNameWidth = 52;  // the File line after editing
constexpr int kOkButton = 0;
constexpr int kCancelButton = 1;
constexpr int kListingFocus = 2;
constexpr const char *kPathTooLong = "Path too long: paths stay within 255 characters.";

int file_row() { return selector_rows(screen_rows()).file; }
int button_row() { return selector_rows(screen_rows()).buttons; }
int page_rows() { return listing_page_rows(screen_rows()); }

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

bool names_working_directory(const char *path) {
    struct stat a;
    struct stat b;
    return stat(path, &a) == 0 && stat(".", &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// One opening of the selector: its window, the listing it shows, the File
// line and the focus. Lives while the selector is open.
class Selector {
public:
    explicit Selector(SelectorMemory &memory) : memory_(memory) {}

    FileChoice run();

private:
    // Where a button stands: its own place in a whole window; in one cut to
    // a narrow screen, each in the middle of its half of the width that is
    // left, so both stay inside the frame.
    int button_col(int button) const {
        constexpr int kWholeCols[] = {16, 34};
        constexpr int kCells[] = {6, 10};
        const int cols = getmaxx(window_.win);
        if (cols >= kWidth) return kWholeCols[button];
        const int half = std::max((cols - 2) / 2, 1);
        return 1 + button * half + std::max((half - kCells[button]) / 2, 0);
    }

    void draw_file_line(int width) {
        WINDOW *w = window_.win;
        set_attr(w, kNormal);
        put_text(w, file_row(), 1, "File: ");
        put_field(w, file_row(), 7, file_name_, width);
        put_blanks(w, file_row(), 7 + width, kRowEnd - 6 - width);
        set_role(w, ColorRole::key_letter);
        put_text(w, file_row(), 1, "F");
        set_attr(w, kNormal);
    }

    void draw_buttons() {
        WINDOW *w = window_.win;
        set_attr(w, focus_ == kOkButton ? role_attr(ColorRole::button_chosen) : kNormal);
        put_text(w, button_row(), button_col(kOkButton), "[ OK ]");
        set_attr(w, focus_ == kCancelButton ? role_attr(ColorRole::button_chosen) : kNormal);
        put_text(w, button_row(), button_col(kCancelButton), "[ Cancel ]");
        set_attr(w, kNormal);
    }

    void draw_frame() {
        WINDOW *w = window_.win;
        set_attr(w, kNormal);
        put_text(w, file_row(), 1, "File: ");
        set_role(w, ColorRole::key_letter);
        put_text(w, file_row(), 1, "F");
        set_attr(w, kNormal);
        // The window may be narrower than kWidth on a small screen.
        const int width = getmaxx(w);
        for (int row : selector_rows(screen_rows()).separators) {
            if (row < 1 || row >= getmaxy(w) - 1) continue;
            mvwaddch(w, row, 0, ACS_LTEE);
            mvwhline(w, row, 1, ACS_HLINE, width - 2);
            mvwaddch(w, row, width - 1, ACS_RTEE);
        }
        draw_buttons();
    }

    void highlight() {
        draw_entry_name(window_.win, listing_, listing_.highlight, role_attr(ColorRole::list_cursor));
    }

    // Restores the highlighted entry's own look: bold for a directory only,
    // so that a device or a page key never makes an entry look like another
    // kind.
    void unhighlight() {
        if (listing_.highlight < listing_.count)
            draw_entry_name(window_.win, listing_, listing_.highlight, entry_name_attr(listing_, listing_.highlight));
    }

    // A chosen name is accepted only while its full path fits.
    bool chosen_path_fits(const char *name) const {
        char path[kPathCapacity];
        if (name[0] == '\0' || file_path_in(path, listing_.dir, name) == 0) return true;
        tell(kPathTooLong);
        return false;
    }

    // resolve_link on the directory shown, kept only when the rewritten path
    // still names it (a link beneath another link can make the text rewrite
    // point elsewhere).
    void resolve_shown_directory() {
        if (listing_.pack) return;  // a pack's folders are no links
        char (&dir)[kPathCapacity] = listing_.dir;
        char before[kPathCapacity];
        std::memcpy(before, dir, sizeof before);
        resolve_link(dir);
        if (std::strcmp(before, dir) == 0) return;
        if (normalise_in_place(dir) != 0 || !names_working_directory(dir)) {
            std::memcpy(dir, before, sizeof dir);
            return;
        }
        draw_listing_header(window_.win, listing_);
    }

    void move_highlight(int key) {
        unhighlight();
        ListingCursor cursor{listing_.highlight, listing_.page, page_drawn_};
        const bool redraw = move_listing_cursor(cursor, key, listing_.count, page_rows());
        listing_.highlight = cursor.highlight;
        listing_.page = cursor.page;
        page_drawn_ = cursor.page_drawn;
        if (redraw) draw_listing_page(window_.win, listing_);
        highlight();
    }

    void choose_file(const char *name) {
        if (!chosen_path_fits(name)) return;
        std::snprintf(file_name_, sizeof file_name_, "%s", name);
        draw_file_line(kChosenNameWidth);
    }

    void enter_directory(const char *name) {
        char target[kPathCapacity];
        if (std::strcmp(name, "..") == 0) {
            std::memcpy(target, listing_.dir, sizeof target);
            parent_path(target);
        } else if (join_path(target, listing_.dir, name) != 0) {
            tell(kPathTooLong);
            return;
        }
        char link[kPathCapacity];
        // A name inside a pack is no file of the working directory.
        switch (listing_.pack ? LinkTarget::none : read_link_target(name, link)) {
        case LinkTarget::absolute:
            if (normalise_path(target, link, "/") != 0) {
                tell(kPathTooLong);
                return;
            }
            break;
        case LinkTarget::relative: report_relative_link(link); break;
        case LinkTarget::none: break;
        }
        if (show_directory(window_.win, listing_, target) != 0) {
            tell_failure(name, errno);
            return;
        }
        tell_pack_note();
        page_drawn_ = 0;
        // The File line keeps its name, and shows it: OK would return it.
        draw_file_line(kEditedNameWidth);
    }

    // Why show_directory failed: a pack's own reason, or the errno's.
    void tell_failure(const char *name, int error) {
        if (listing_.failure.empty()) {
            tell_cannot_read(name, error);
            return;
        }
        tell_about(name, listing_.failure.c_str());
        listing_.failure.clear();
    }

    // "'name': reason", a long name cut to its tail behind a "~" (a member
    // named "../x.xm" is shown whole: it is what the pack holds).
    void tell_about(const char *name, const char *reason) {
        constexpr std::size_t kShownName = 40;
        const std::size_t length = std::strlen(name);
        const char *marker = length > kShownName ? "~" : "";
        const char *tail = length > kShownName ? name + length - (kShownName - 1) : name;
        char message[kPathCapacity];
        std::snprintf(message, sizeof message, "'%s%s': %.150s", marker, tail, reason);
        tell(message);
    }

    // A pack listed only in part says so once, as it is entered.
    void tell_pack_note() {
        if (listing_.pack_note.empty()) return;
        const std::string note = std::move(listing_.pack_note);
        listing_.pack_note.clear();
        update_panels();
        doupdate();
        tell_about(file_name_of(listing_.pack->path.c_str()), note.c_str());
    }

    // An entry of a pack's folder: its member list says what it is.
    void take_packed_entry(const char *name) {
        switch (listing_.packed[static_cast<std::size_t>(listing_.highlight)].kind) {
        case ArchiveEntryKind::folder:
        case ArchiveEntryKind::archive: enter_directory(name); break;
        case ArchiveEntryKind::file: choose_file(name); break;
        case ArchiveEntryKind::encrypted: tell_about(name, "Member is encrypted."); break;
        case ArchiveEntryKind::unsafe: tell_about(name, "Member name leaves the archive: refused."); break;
        }
    }

    void take_highlighted_entry() {
        if (listing_.count == 0) return;
        resolve_shown_directory();
        const char *name = listing_.names[listing_.highlight];
        if (!listing_.packed.empty()) {
            take_packed_entry(name);
            return;
        }
        struct stat info;
        if (stat(name, &info) != 0) {
            tell_cannot_read(name, errno);
            return;
        }
        if (S_ISREG(info.st_mode) && has_archive_name(name))
            enter_directory(name);
        else if (S_ISREG(info.st_mode))
            choose_file(name);
        else if (S_ISDIR(info.st_mode))
            enter_directory(name);
    }

    // The typed directory line, taken from `shown` (the directory shown
    // before the edit), made into the directory to show; -1 when it cannot
    // be.
    int typed_directory(const char *shown) {
        char (&dir)[kPathCapacity] = listing_.dir;
        char target[kPathCapacity];
        if (normalise_path(target, dir, shown) != 0) return -1;
        std::memcpy(dir, target, sizeof dir);
        resolve_link(dir);
        if (normalise_in_place(dir) != 0) return -1;
        return show_directory(window_.win, listing_, dir);
    }

    void edit_directory_line() {
        WINDOW *w = window_.win;
        unhighlight();
        char shown[kPathCapacity];
        std::memcpy(shown, listing_.dir, sizeof shown);
        set_role(w, ColorRole::edit_field);
        edit_line(w, selector_rows(screen_rows()).dir, "Dir: ", listing_.dir);
        set_attr(w, kNormal);
        if (typed_directory(shown) == 0) {
            page_drawn_ = 0;
            highlight();
            tell_pack_note();
            return;
        }
        listing_.failure.clear();
        std::memcpy(listing_.dir, shown, sizeof listing_.dir);
        draw_listing_header(w, listing_);
        draw_entry_name(w, listing_, listing_.highlight, role_attr(ColorRole::selection));
        beep();
    }

    // Returns true when the edit accepted the File line (closing as OK).
    bool edit_file_line() {
        WINDOW *w = window_.win;
        unhighlight();
        set_role(w, ColorRole::edit_field);
        const bool ended_with_tab = edit_line(w, file_row(), "File: ", file_name_);
        set_attr(w, kNormal);
        if (file_name_[0] != '\0' && !ended_with_tab && chosen_path_fits(file_name_)) {
            focus_ = kOkButton;
            return true;
        }
        draw_file_line(kEditedNameWidth);
        highlight();
        return false;
    }

    // The buttons' own key loop. Returns true when Enter chose a button,
    // false when Tab gave the focus back to the listing.
    bool run_buttons() {
        WINDOW *w = window_.win;
        unhighlight();
        focus_ = kOkButton;
        draw_buttons();
        wnoutrefresh(w);
        doupdate();
        bool chosen = false;
        PanelDescription desc;
        desc.on_key = [this, &chosen](int key) {
            if (key == KEY_LEFT || key == KEY_RIGHT) {
                focus_ = key == KEY_LEFT ? kOkButton : kCancelButton;
                draw_buttons();
                update_panels();
                doupdate();
            } else if (key == kTab) {
                focus_ = kListingFocus;
                draw_buttons();
                highlight();
                return KeyResult::closed;
            } else if (is_enter_key(key)) {
                if (focus_ != kOkButton || chosen_path_fits(file_name_)) {
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
        WINDOW *w = window_.win;
        char (&dir)[kPathCapacity] = listing_.dir;
        char problem[kPathCapacity] = {};
        const char *wanted = memory_.start_dir[0] != '\0' ? memory_.start_dir : std::getenv("PWD");
        if (wanted && wanted[0] == '/') {
            if (normalise_path(dir, wanted, "/") != 0) {
                std::snprintf(problem, sizeof problem, "%s", kPathTooLong);
            } else {
                resolve_link(dir);
                if (normalise_in_place(dir) != 0) {
                    std::snprintf(problem, sizeof problem, "%s", kPathTooLong);
                } else if (show_directory(w, listing_, dir) == 0) {
                    tell_pack_note();
                    return;
                } else {
                    format_cannot_read(problem, dir, errno);
                }
            }
        }
        char here[kPathCapacity];
        if (!(getcwd(here, sizeof here) && show_directory(w, listing_, here) == 0) &&
            show_directory(w, listing_, "/") != 0) {
            std::snprintf(dir, sizeof dir, "/");
            clear_listing(w, listing_);
        }
        if (problem[0] != '\0') {
            update_panels();
            doupdate();
            tell(problem);
        }
    }

    // The selector drawn anew in its resized window: its rows follow the
    // screen's height, and the page holding the highlight is shown.
    void redraw() {
        draw_frame();
        draw_listing_header(window_.win, listing_);
        listing_.page = listing_page_of(listing_.highlight, page_rows());
        page_drawn_ = listing_.page;
        draw_listing_page(window_.win, listing_);
        draw_file_line(kEditedNameWidth);
        if (focus_ == kListingFocus) highlight();
    }

    KeyResult on_key(int key) {
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
        case 'm': move_panel_interactively(window_.panel); break;
        default: break;
        }
        return KeyResult::handled;
    }

    // The choice as the selector closed, taking the listing with it, and
    // the directory the next opening starts in.
    FileChoice finish() {
        std::memcpy(memory_.start_dir, listing_.dir, sizeof memory_.start_dir);
        FileChoice choice;
        choice.button = focus_ == kOkButton ? SelectorButton::ok : SelectorButton::cancel;
        std::memcpy(choice.name, file_name_, sizeof choice.name);
        if (file_path_in(choice.path, listing_.dir, file_name_) != 0) choice.path[0] = '\0';
        std::memcpy(choice.dir, listing_.dir, sizeof choice.dir);
        choice.listing = std::move(listing_);
        return choice;
    }

    SelectorMemory &memory_;
    PanelWindow window_;
    DirectoryListing listing_;
    char file_name_[kPathCapacity] = {};  // the name on the File line
    // kOkButton or kCancelButton while a button has the focus (and once one
    // closed the selector), kListingFocus while the listing has it. The
    // focus starts in the listing: no button is drawn chosen, whichever
    // closed the selector last time.
    int focus_ = kListingFocus;
    int page_drawn_ = 0;  // the listing page on the screen
};

FileChoice Selector::run() {
    const PanelLayout &layout = panel_layout(PanelKind::file_selector);
    const PanelCorner corner = panel_corner(PanelKind::file_selector);
    window_ = open_panel_window(layout_rows(layout, screen_rows()), kWidth, corner.y, corner.x, "Select file");
    if (!window_.win) return FileChoice{};
    // On a screen narrower than the selector its rows stop at the border.
    const FrameClip clip(window_.win);
    set_panel_height_rule(window_.win, layout.rows_less);
    draw_frame();
    open_start_directory();
    update_panels();
    doupdate();
    listing_.page = 0;
    page_drawn_ = 0;

    PanelDescription desc;
    desc.title = "Select file";
    desc.on_key = [this](int key) { return on_key(key); };
    desc.draw = [this](WINDOW *) { redraw(); };
    desc.repaint_main_on_close = false;
    run_panel(desc, window_);
    return finish();
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
    Selector selector(selector_memory);
    return selector.run();
}
