#include "3_filesel/directory_listing.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "3_filesel/directory_path.h"

namespace {

constexpr int kNameWidth = 48;
constexpr int kRowWidth = 58;
constexpr int kDirFieldWidth = 52;

void store_name(char (&slot)[kPathCapacity], const char *name) {
    std::snprintf(slot, sizeof slot, "%s", name);
}

int page_rows() { return listing_page_rows(screen_rows()); }

// The row after the listing's last.
int listing_end() {
    const SelectorRows rows = selector_rows(screen_rows());
    return rows.first + rows.page_rows;
}

void draw_blank_row(WINDOW *win, int row) {
    set_attr(win, kNormal);
    put_blanks(win, row, 1, kRowWidth);
}

// What a member of a pack is, as the listing tells entries apart.
EntryKind packed_kind(const ArchiveEntry &entry) {
    switch (entry.kind) {
    case ArchiveEntryKind::folder: return EntryKind::directory;
    case ArchiveEntryKind::archive: return EntryKind::archive;
    case ArchiveEntryKind::file: return EntryKind::regular;
    case ArchiveEntryKind::encrypted:
    case ArchiveEntryKind::unsafe: return EntryKind::other;
    }
    return EntryKind::other;
}

// One listing row, with one stat for the kind and the size (none inside a
// pack, whose member list says both): the name field (bold for a directory
// or a pack, bold pair 8 when highlighted), then the size field, "<archive>"
// for a pack, or blanks in the normal attribute.
void draw_entry_row(WINDOW *win, const DirectoryListing &listing, int index, int row, bool highlighted) {
    const char *name = listing.names[index];
    EntryKind kind = EntryKind::unreadable;
    long long bytes = -1;
    if (!listing.packed.empty()) {
        kind = packed_kind(listing.packed[index]);
        bytes = listing.packed[index].size;
    } else {
        struct stat info;
        if (stat(name, &info) == 0) {
            kind = S_ISDIR(info.st_mode) ? EntryKind::directory
                   : S_ISREG(info.st_mode) && has_archive_name(name) ? EntryKind::archive
                                                                     : EntryKind::regular;
            bytes = static_cast<long long>(info.st_size);
        }
    }
    const bool folder = kind == EntryKind::directory || kind == EntryKind::archive;
    const attr_t name_attr = folder ? role_attr(ColorRole::directory) : kNormal;
    set_attr(win, highlighted ? role_attr(ColorRole::list_cursor) : name_attr);
    put_field(win, row, 1, name, kNameWidth);
    set_attr(win, kNormal);
    if (kind == EntryKind::directory) {
        put_blanks(win, row, 1 + kNameWidth, kRowWidth - kNameWidth);
        return;
    }
    char size[10];
    if (kind == EntryKind::archive)
        std::snprintf(size, sizeof size, "%s", "<archive>");
    else if (bytes >= 0)
        format_entry_size(size, bytes);
    else
        std::snprintf(size, sizeof size, "%9s", "?");
    put_format(win, row, 1 + kNameWidth, " %s", size);
}

// Fills `order` with the indexes of names[0..count) sorted as the listing
// shows them.
void sort_names(const char (*names)[kPathCapacity], int count, int *order) {
    for (int i = 0; i < count; ++i) order[i] = i;
    std::sort(order, order + count, [&](int a, int b) {
        return listed_before(names[a], names[b]);
    });
}

// Scratch space of one reading: the directories and the other entries
// apart, and their order once sorted as indexes into them. Allocated for
// the reading alone, its pages are touched only as far as names come.
struct ReadingScratch {
    std::unique_ptr<char[][kPathCapacity]> dirs = std::make_unique_for_overwrite<char[][kPathCapacity]>(kListingCapacity);
    std::unique_ptr<char[][kPathCapacity]> files = std::make_unique_for_overwrite<char[][kPathCapacity]>(kListingCapacity);
    std::unique_ptr<int[]> dir_order = std::make_unique_for_overwrite<int[]>(kListingCapacity);
    std::unique_ptr<int[]> file_order = std::make_unique_for_overwrite<int[]>(kListingCapacity);
};

// Reads the stream into the scratch arrays, sorts them and copies them into
// the listing's names.
void collect_entries(DirectoryListing &listing, DIR *dir) {
    if (!listing.names) listing.names = std::make_unique_for_overwrite<char[][kPathCapacity]>(kListingCapacity);
    ReadingScratch scratch;
    char (*const dir_names)[kPathCapacity] = scratch.dirs.get();
    char (*const file_names)[kPathCapacity] = scratch.files.get();
    int dirs = 0;
    int files = 0;
    listing.left_out = 0;
    while (dir) {
        const dirent *entry = readdir(dir);
        if (!entry) break;
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0) continue;
        // A pack is listed with the directories: it is entered as one.
        struct stat info;
        const bool directory = stat(name, &info) == 0 &&
                               (S_ISDIR(info.st_mode) || (S_ISREG(info.st_mode) && has_archive_name(name)));
        if (dirs + files < kMaxListed) {
            store_name(directory ? dir_names[dirs++] : file_names[files++], name);
        } else {
            // Full: a directory still takes the place of the last file, so
            // that every way onwards (".." above all) stays reachable.
            ++listing.left_out;
            if (directory && files > 0) {
                --files;
                store_name(dir_names[dirs++], name);
            }
        }
    }
    sort_names(dir_names, dirs, scratch.dir_order.get());
    sort_names(file_names, files, scratch.file_order.get());
    listing.count = 0;
    for (int i = 0; i < dirs; ++i)
        std::memcpy(listing.names[listing.count++], dir_names[scratch.dir_order[i]], kPathCapacity);
    for (int i = 0; i < files; ++i)
        std::memcpy(listing.names[listing.count++], file_names[scratch.file_order[i]], kPathCapacity);
}


bool starts_path(const std::string &path, const std::string &prefix) {
    return path == prefix || (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
                              path[prefix.size()] == '/');
}

// True when `folder` is the top of the pack or one of its folders.
bool has_folder(const ArchiveIndex &index, const std::string &folder) {
    if (folder.empty()) return true;
    for (const ArchiveMember &m : index.members)
        if (!m.unsafe && starts_path(m.name, folder) && (m.directory || m.name != folder)) return true;
    return false;
}

// The member list of the pack at `path`, reusing the one the listing holds.
std::shared_ptr<const ArchiveIndex> pack_index(DirectoryListing &listing, const std::string &path, std::string &note,
                                               std::string &failure) {
    for (const auto &held : {listing.pack, listing.outer})
        if (held && held->path == path) return held;
    auto index = std::make_shared<ArchiveIndex>();
    char message[kPathCapacity];
    if (read_archive_index(path.c_str(), *index, message, sizeof message) != 0) {
        failure = message;
        return nullptr;
    }
    if (!index->problem.empty()) note = index->problem;
    return index;
}

// The pack shown for `path` and the folder within it: the pack the path
// enters, or the pack inside it that the path goes on into.
int find_pack_folder(DirectoryListing &listing, const std::string &path, std::shared_ptr<const ArchiveIndex> &pack,
                     std::shared_ptr<const ArchiveIndex> &outer, std::string &folder, std::string &note) {
    ArchiveSplit split;
    char message[kPathCapacity];
    std::string file = path;
    std::string member;
    if (split_archive_path(path.c_str(), split, message, sizeof message) == 1) {
        file = split.archive;
        normalise_member_name(split.member.c_str(), member);
    }
    outer = pack_index(listing, file, note, listing.failure);
    if (!outer) return -1;
    pack = outer;
    folder = member;
    // A member pack on the way is entered in turn, one level deep.
    for (std::size_t at = 0; at < member.size();) {
        const std::size_t slash = member.find('/', at);
        const std::string parent = at == 0 ? std::string() : member.substr(0, at - 1);
        const std::string name = member.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
        bool is_pack = false;
        for (const ArchiveEntry &e : archive_folder(*outer, parent))
            if (e.name == name && e.kind == ArchiveEntryKind::archive) is_pack = true;
        if (is_pack) {
            pack = pack_index(listing, file + "/" + member.substr(0, slash), note, listing.failure);
            if (!pack) return -1;
            folder = slash == std::string::npos ? std::string() : member.substr(slash + 1);
            break;
        }
        if (slash == std::string::npos) break;
        at = slash + 1;
    }
    if (pack == outer) outer.reset();
    if (!has_folder(*pack, folder)) {
        listing.failure = "No such folder in the archive.";
        return -1;
    }
    return 0;
}

// The entries of a pack's folder into the listing: "..", the folders and
// packs, then the rest, each sorted by name.
void collect_pack_entries(DirectoryListing &listing, const ArchiveIndex &pack, const std::string &folder) {
    if (!listing.names) listing.names = std::make_unique_for_overwrite<char[][kPathCapacity]>(kListingCapacity);
    std::vector<ArchiveEntry> entries = archive_folder(pack, folder);
    auto folder_like = [](const ArchiveEntry &e) {
        return e.kind == ArchiveEntryKind::folder || e.kind == ArchiveEntryKind::archive;
    };
    std::stable_sort(entries.begin(), entries.end(), [&](const ArchiveEntry &a, const ArchiveEntry &b) {
        if (folder_like(a) != folder_like(b)) return folder_like(a);
        return listed_before(a.name.c_str(), b.name.c_str());
    });
    listing.packed.clear();
    listing.packed.push_back({"..", ArchiveEntryKind::folder, -1});
    store_name(listing.names[0], "..");
    listing.count = 1;
    listing.left_out = 0;
    for (ArchiveEntry &e : entries) {
        if (listing.count >= kMaxListed || e.name.size() >= kPathCapacity) {
            ++listing.left_out;
            continue;
        }
        store_name(listing.names[listing.count++], e.name.c_str());
        listing.packed.push_back(std::move(e));
    }
}

}  // namespace

EntryKind entry_kind(const char *name) {
    struct stat info;
    if (stat(name, &info) != 0) return EntryKind::unreadable;
    if (S_ISDIR(info.st_mode)) return EntryKind::directory;
    if (S_ISREG(info.st_mode)) return has_archive_name(name) ? EntryKind::archive : EntryKind::regular;
    return EntryKind::other;
}

bool listed_before(const char *a, const char *b) {
    const bool a_up = std::strcmp(a, "..") == 0;
    const bool b_up = std::strcmp(b, "..") == 0;
    if (a_up || b_up) return a_up && !b_up;
    const int order = std::strcoll(a, b);
    return order != 0 ? order < 0 : std::strcmp(a, b) < 0;
}

SelectorRows selector_rows(int lines) {
    constexpr int kWholeFrom = 16;  // the whole layout's listing has three rows
    if (lines >= kWholeFrom) return {2, 3, 5, lines - 13, lines - 7, lines - 5, {4, lines - 8, lines - 6}};
    if (lines >= 10) return {1, -1, 3, lines - 9, lines - 6, lines - 5, {2, -1, -1}};
    // The last line across gives its row to the listing's last row.
    return {1, -1, 2, std::max(lines - 8, 0), lines - 6, lines - 5, {-1, -1, -1}};
}

int listing_page_rows(int lines) { return selector_rows(lines).page_rows; }

int listing_page_of(int index, int page_rows) { return page_rows > 0 ? index / page_rows : 0; }

int listing_row_of(int index, int lines) {
    const SelectorRows rows = selector_rows(lines);
    return (rows.page_rows > 0 ? index % rows.page_rows : 0) + rows.first;
}

void format_entry_size(char (&out)[10], long long bytes) {
    char text[32];
    if (bytes < 1'000'000'000LL) {
        std::snprintf(text, sizeof text, "%9lld", bytes < 0 ? 0 : bytes);
    } else {
        static const char units[] = "KMGT";
        long long value = bytes / 1024;
        int unit = 0;
        while (value >= 100'000'000LL && unit < 3) {
            value /= 1024;
            ++unit;
        }
        std::snprintf(text, sizeof text, "%8lld%c", value, units[unit]);
    }
    std::snprintf(out, sizeof out, "%.9s", text);
}

void put_field(WINDOW *win, int row, int col, const char *text, int width) {
    put_text_field(win, row, col, text, width);
}

void draw_listing_header(WINDOW *win, const DirectoryListing &listing) {
    const SelectorRows rows = selector_rows(screen_rows());
    const int row = rows.dir;
    set_attr(win, kNormal);
    put_text(win, row, 1, "Dir: ");
    if (text_cells(listing.dir) <= kDirFieldWidth) {
        put_field(win, row, 6, listing.dir, kDirFieldWidth);
    } else {
        put_text(win, row, 6, "~");
        put_field(win, row, 7, text_tail(listing.dir, kDirFieldWidth - 1), kDirFieldWidth - 1);
    }
    set_role(win, ColorRole::key_letter);
    put_text(win, row, 1, "D");
    if (rows.note < 0) {
        set_attr(win, kNormal);
        return;
    }
    if (listing.left_out > 0) {
        set_role(win, ColorRole::warning);
        char note[kPathCapacity];
        std::snprintf(note, sizeof note, "Only %d of %d entries are listed.", listing.count,
                      listing.count + listing.left_out);
        put_field(win, rows.note, 1, note, kRowWidth);
    } else {
        draw_blank_row(win, rows.note);
    }
    set_attr(win, kNormal);
}

EntryKind listed_kind(const DirectoryListing &listing, int index) {
    if (index < 0 || index >= listing.count) return EntryKind::unreadable;
    if (!listing.packed.empty()) return packed_kind(listing.packed[static_cast<std::size_t>(index)]);
    return entry_kind(listing.names[index]);
}

attr_t entry_name_attr(const DirectoryListing &listing, int index) {
    const EntryKind kind = listed_kind(listing, index);
    return kind == EntryKind::directory || kind == EntryKind::archive ? role_attr(ColorRole::directory) : kNormal;
}

void draw_entry_name(WINDOW *win, const DirectoryListing &listing, int index, attr_t attribute) {
    const int rows = page_rows();
    if (rows < 1 || index < 0 || index >= listing.count) return;
    set_attr(win, attribute);
    put_field(win, listing_row_of(index, screen_rows()), 1, listing.names[index], kNameWidth);
    set_attr(win, kNormal);
}

void read_listing(WINDOW *win, DirectoryListing &listing, DIR *dir) {
    collect_entries(listing, dir);
    draw_listing_header(win, listing);
    const int rows = page_rows();
    int row = selector_rows(screen_rows()).first;
    if (rows > 0) {
        for (int i = 0; i < listing.count && i < rows; ++i, ++row)
            draw_entry_row(win, listing, i, row, i == listing.highlight);
    }
    for (; row < listing_end(); ++row) draw_blank_row(win, row);
    set_attr(win, kNormal);
    wnoutrefresh(win);
}

void draw_listing_page(WINDOW *win, const DirectoryListing &listing) {
    const int rows = page_rows();
    int row = selector_rows(screen_rows()).first;
    if (rows > 0) {
        for (int index = listing.page * rows; index >= 0 && index < listing.count && row < listing_end(); ++index, ++row)
            draw_entry_row(win, listing, index, row, false);
    }
    for (; row < listing_end(); ++row) draw_blank_row(win, row);
    set_attr(win, kNormal);
}

namespace {

// show_directory for a path to a pack or through one.
int show_pack_folder(WINDOW *win, DirectoryListing &listing, const char *path) {
    std::shared_ptr<const ArchiveIndex> pack;
    std::shared_ptr<const ArchiveIndex> outer;
    std::string folder;
    std::string note;
    if (find_pack_folder(listing, path, pack, outer, folder, note) != 0) {
        errno = ENOENT;
        return -1;
    }
    // The working directory is the one holding the pack.
    char holder[kPathCapacity];
    const std::string &file = outer ? outer->path : pack->path;
    std::snprintf(holder, sizeof holder, "%s", file.c_str());
    parent_path(holder);
    if (chdir(holder) != 0) {
        listing.failure.clear();
        return -1;
    }
    if (path != listing.dir) std::snprintf(listing.dir, sizeof listing.dir, "%s", path);
    listing.pack = pack;
    listing.outer = outer;
    listing.pack_note = note;
    collect_pack_entries(listing, *pack, folder);
    listing.highlight = 0;
    listing.page = 0;
    draw_listing_header(win, listing);
    draw_listing_page(win, listing);
    wnoutrefresh(win);
    return 0;
}

}  // namespace

int show_directory(WINDOW *win, DirectoryListing &listing, const char *path) {
    listing.failure.clear();
    struct stat info;
    const bool exists = stat(path, &info) == 0;
    if (!exists || S_ISREG(info.st_mode)) {
        // A pack, or a path through one, is shown as a directory.
        ArchiveSplit split;
        char message[kPathCapacity];
        const int entered = exists ? 0 : split_archive_path(path, split, message, sizeof message);
        if (entered < 0) {
            listing.failure = message;
            errno = ENOTDIR;
            return -1;
        }
        if (entered == 1 || (exists && (has_archive_name(path) || is_archive_file(path))))
            return show_pack_folder(win, listing, path);
        if (exists) {
            errno = ENOTDIR;
            return -1;
        }
    }
    DIR *dir = opendir(path);
    if (!dir) return -1;
    // Entering the very directory that was opened keeps the listing and the
    // working directory on one directory even if the path changes meanwhile.
    if (fchdir(dirfd(dir)) != 0) {
        const int error = errno;
        closedir(dir);
        errno = error;
        return -1;
    }
    if (path != listing.dir) std::snprintf(listing.dir, sizeof listing.dir, "%s", path);
    listing.highlight = 0;
    listing.packed.clear();
    listing.pack.reset();
    listing.outer.reset();
    listing.pack_note.clear();
    read_listing(win, listing, dir);
    closedir(dir);
    listing.page = 0;
    return 0;
}

void clear_listing(WINDOW *win, DirectoryListing &listing) {
    listing.count = 0;
    listing.packed.clear();
    listing.pack.reset();
    listing.outer.reset();
    listing.left_out = 0;
    listing.highlight = 0;
    listing.page = 0;
    draw_listing_header(win, listing);
    draw_listing_page(win, listing);
}

LinkTarget read_link_target(const char *path, char (&target)[kPathCapacity]) {
    const ssize_t length = readlink(path, target, sizeof target - 1);
    if (length <= 0) {
        target[0] = '\0';
        return LinkTarget::none;
    }
    std::size_t end = static_cast<std::size_t>(length);
    if (end > 1 && target[end - 1] == '/') --end;
    target[end] = '\0';
    return target[0] == '/' ? LinkTarget::absolute : LinkTarget::relative;
}

bool same_terminal(int fd_a, int fd_b) {
    if (!isatty(fd_a) || !isatty(fd_b)) return false;
    struct stat a;
    struct stat b;
    if (fstat(fd_a, &a) != 0 || fstat(fd_b, &b) != 0) return false;
    return a.st_rdev == b.st_rdev;
}

void report_relative_link(const char *target) {
    // Text written to the terminal the screen is drawn on would land in the
    // middle of the panels.
    if (same_terminal(STDERR_FILENO, STDOUT_FILENO)) return;
    std::fprintf(stderr, "%s\n", target);
    std::fflush(stderr);
}

void resolve_link(char (&path)[kPathCapacity]) {
    char target[kPathCapacity];
    switch (read_link_target(path, target)) {
    case LinkTarget::none: break;
    case LinkTarget::absolute: std::memcpy(path, target, sizeof path); break;
    case LinkTarget::relative:
        report_relative_link(target);
        replace_last_component(path, target);
        break;
    }
}
