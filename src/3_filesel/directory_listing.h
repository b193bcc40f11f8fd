// The file selector's view of one directory: its path, its entries sorted
// by name with the directories first, and the drawing of the listing page
// by page. A pack (zip, 7z, tar, lha...) is listed with the directories and
// shown as one: its folders are folders.
#pragma once

#include <curses.h>
#include <dirent.h>
#include <memory>
#include <string>
#include <vector>

#include "1_player/archive_path.h"
#include "1_player/settings.h"

// Slots of a listing's names.
inline constexpr int kListingCapacity = 16384;
// The most entries a listing holds.
inline constexpr int kMaxListed = kListingCapacity - 1;

// One directory as the selector lists it. The file selector owns the one it
// shows while it is open, and hands it to its caller as it closes (the
// playlist's Add dir reads the names). The names take kListingCapacity
// slots of kPathCapacity on the heap, allocated by the first reading; a
// listing never read holds no entries.
struct DirectoryListing {
    char dir[kPathCapacity] = {};  // the directory shown; always names the working directory
    std::unique_ptr<char[][kPathCapacity]> names;  // "..", the directories, then the rest, each sorted by name
    int count = 0;      // entries in names
    int highlight = 0;  // index of the highlighted entry
    int page = 0;       // the page holding the highlight
    int left_out = 0;   // entries of the directory that did not fit in the listing
    // Inside a pack (dir is "/music/pack.zip/sub"): what each entry is,
    // parallel to names; empty in a plain directory.
    std::vector<ArchiveEntry> packed;
    // The pack's member list, read once as the pack was entered and kept
    // while the selector stays inside it, and the outer pack's when `pack`
    // is a pack inside another. Null in a plain directory.
    std::shared_ptr<const ArchiveIndex> pack;
    std::shared_ptr<const ArchiveIndex> outer;
    // Why a pack could be listed only in part, to be told once as it is
    // entered ("" when it was whole); why one could not be shown at all
    // after show_directory failed on it ("" for a plain directory's errno).
    std::string pack_note;
    std::string failure;
};

// What an entry is, looked up with stat relative to the working directory.
enum class EntryKind {
    directory,
    archive,     // a regular file named like a pack: entered as a directory
    regular,
    other,       // devices, FIFOs, sockets
    unreadable,  // stat failed (a dangling link, a vanished entry)
};
EntryKind entry_kind(const char *name);

// The listing's order of two names of the same kind: ".." first, then by
// the locale's collation (LC_COLLATE), names that collate alike by their
// bytes.
bool listed_before(const char *a, const char *b);

// Where the selector's parts stand in its window (screen_rows() - 3 rows high) on a
// screen of `lines` rows; -1 for a part left out.
struct SelectorRows {
    int dir;            // the Dir line
    int note;           // the note on entries left out
    int first;          // the listing's first row
    int page_rows;      // the listing's rows; 0 when none fit
    int file;           // the File line
    int buttons;        // the row of [ OK ] and [ Cancel ]
    int separators[3];  // the lines across the window
};

// Pure: from 16 lines on, the whole layout: the Dir line on row 2, the note
// on row 3, a page of lines - 13 rows from row 5, the File line on
// lines - 7 and the buttons on lines - 5, each part between lines across.
// On a shorter screen the blank row, the note and the lower lines across
// make way, so that the listing keeps lines - 9 rows from row 3 (three at
// 12 lines) between the Dir line and the File line; below 10 lines the
// line under the Dir line goes too, for one row more.
SelectorRows selector_rows(int lines);

// Pure helpers of the page geometry on a screen of `lines` rows: a page
// has listing_page_rows(lines) rows, and an entry shows on its row of its
// page.
int listing_page_rows(int lines);
int listing_page_of(int index, int page_rows);
int listing_row_of(int index, int lines);

// The 9-column size field: the byte count right-aligned, or, from a
// thousand million bytes on, the size in K, M, G or T units so the field
// never spills into the border.
void format_entry_size(char (&out)[10], long long bytes);

// Writes `text` cut to `width` cells at row, col and pads it with blanks to
// `width`, in the window's current attribute (put_text_field).
void put_field(WINDOW *win, int row, int col, const char *text, int width);

// "Dir: " and the listing's directory in a 52-column field (a longer path
// shows its tail behind a "~") at the Dir line, column 1, the "D" in bold;
// on the note's row the note on entries left out, or blanks. Leaves the
// normal attribute set.
void draw_listing_header(WINDOW *win, const DirectoryListing &listing);

// The name field (48 columns at column 1) of entry `index` on its row of
// the current page, in `attribute`; nothing for an index outside the
// listing.
void draw_entry_name(WINDOW *win, const DirectoryListing &listing, int index, attr_t attribute);

// The attribute of an entry's name in the listing (`index` within it): bold
// for a directory, normal for anything else.
attr_t entry_name_attr(const DirectoryListing &listing, int index);

// What entry `index` of the listing is: looked up with stat in a plain
// directory, taken from the pack's member list inside one (a member file
// is regular, an encrypted or unsafe one is other).
EntryKind listed_kind(const DirectoryListing &listing, int index);

// Reads the stream `dir` (the working directory's, opened and closed by the
// caller) into the listing, stopping at kMaxListed entries and counting the
// rest in left_out, directories (and packs) being kept in preference to files; draws
// the header and the first page with the highlighted entry (0) shown so,
// and refreshes the window into the virtual screen. The sound plays on, on
// its own thread, while a large directory is read.
void read_listing(WINDOW *win, DirectoryListing &listing, DIR *dir);

// Draws the listing's page with no entry highlighted and blanks the rest of
// the page rows. Does not refresh.
void draw_listing_page(WINDOW *win, const DirectoryListing &listing);

// Makes `path` (absolute, plain; it may be the listing's own dir) the
// directory shown: opens it, makes it the working directory, sets the
// listing's dir to it, reads and draws the listing with the highlight on
// entry 0 and page 0. A path to a pack or through one shows the pack's
// folder: the pack's member list is read when the pack is entered (kept
// in the listing while the selector moves between its folders), and the
// working directory becomes the one holding the pack. Returns 0, or -1
// with errno set (and for a pack the reason in listing.failure) when the
// directory cannot be opened or entered; then nothing has changed.
int show_directory(WINDOW *win, DirectoryListing &listing, const char *path);

// Empties the listing and draws it that way.
void clear_listing(WINDOW *win, DirectoryListing &listing);

// What a path's symbolic link target looks like.
enum class LinkTarget { none, absolute, relative };

// Reads the link target of `path` into `target` (at most 255 characters,
// one trailing "/" dropped). none when `path` is not a link.
LinkTarget read_link_target(const char *path, char (&target)[kPathCapacity]);

// Writes a relative link target and a line feed to standard error, unless
// standard error is the terminal the screen is drawn on.
void report_relative_link(const char *target);

// True when both descriptors are terminals and the same one.
bool same_terminal(int fd_a, int fd_b);

// If `path` names a symbolic link: an absolute target replaces it; a
// relative one is reported on standard error and replaces everything after
// the last "/" of `path` (nothing, when `path` has no "/" or the result
// would not fit).
void resolve_link(char (&path)[kPathCapacity]);
