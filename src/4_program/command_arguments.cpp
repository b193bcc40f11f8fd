#include "4_program/command_arguments.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <numeric>
#include <set>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "1_player/archive_path.h"
#include "3_filesel/directory_listing.h"
#include "3_filesel/directory_path.h"
#include "3_playlist/playlist_formats.h"
#include "3_playlist/playlist_store.h"

namespace {

// The extensions of the formats the module library loads.
const char *const kModuleExtensions[] = {"669", "amf", "apun", "asy", "dsm", "far", "gdm", "gt2",
                                         "imf", "it",  "m15",  "med", "mod", "mtm", "okt", "s3m",
                                         "stm", "stx", "ult",  "umx", "uni", "xm"};

// A module compressed alone: "song.xm.gz".
const char *const kCompressions[] = {"gz", "bz2", "xz", "lzma", "zst", "z"};
// A module zipped alone: "song.mdz".
const char *const kZippedModules[] = {"mdz", "s3z", "itz", "xmz"};

struct Collector {
    FILE *errors;
    CollectedArguments result;
    long entry_budget;                 // directory entries the walks may look at
    long entries_left;                 // of those, the ones not looked at yet
    const char *cut_by_full = nullptr;  // the first directory argument the full playlist cut short, as given
};

void report_unreadable(Collector &collector, const char *shown) {
    std::fprintf(collector.errors, "XQ: Can't open '%s'\n", shown);
    ++collector.result.unreadable;
}

// Adds one module by its full path; `shown` is how the user knows it.
AddResult add_module(Collector &collector, const char *path, const char *shown) {
    const AddResult result = playlist_add_path(path);
    if (result == AddResult::full)
        ++collector.result.left_out;
    else if (result != AddResult::added)
        std::fprintf(collector.errors, "XQ: Left out '%s': %s\n", shown, add_result_message(result));
    return result;
}

AddResult add_playlist_entry(const char *path, void *context) {
    Collector &collector = *static_cast<Collector *>(context);
    if (!path_readable(path)) {
        report_unreadable(collector, path);
        return AddResult::empty;
    }
    return add_module(collector, path, path);
}

// The directory walk keeps the names of every directory on its way in one
// stack of slots: a directory's names sit above its parent's while it is
// walked.
constexpr int kWalkCapacity = 16384;

// A path of 255 characters cannot be deeper.
constexpr int kMaxDepth = kPathCapacity / 2;

struct WalkEntry {
    char name[kPathCapacity];
    bool is_dir;
};

// One walk of a directory argument and everything below it.
struct Walker {
    explicit Walker(Collector &c) : collector(c) {}

    Collector &collector;
    std::vector<WalkEntry> names;  // the stack of slots, at most kWalkCapacity
    // Every directory walked, by device and inode: one that several links
    // lead to is walked once, and a link back up is not followed.
    std::set<std::pair<dev_t, ino_t>> visited;
    int depth = 0;
    bool cut_by_full = false;    // a directory was left unwalked because the playlist was full
    bool cut_by_budget = false;  // the entries the walks may look at ran out
};

// Whether the walk may go on into another directory.
bool may_go_on(Walker &walker) {
    if (playlist_count >= kPlaylistCapacity) {
        walker.cut_by_full = true;
        return false;
    }
    if (walker.collector.entries_left <= 0) {
        walker.cut_by_budget = true;
        return false;
    }
    return true;
}

void walk(Walker &walker, const char (&dir)[kPathCapacity]) {
    Collector &collector = walker.collector;
    if (!may_go_on(walker)) return;
    struct stat info;
    if (stat(dir, &info) != 0 || walker.depth >= kMaxDepth || !walker.visited.insert({info.st_dev, info.st_ino}).second)
        return;
    DIR *stream = opendir(dir);
    if (!stream) {
        report_unreadable(collector, dir);
        return;
    }
    ++walker.depth;
    std::vector<WalkEntry> &names = walker.names;
    const std::size_t begin = names.size();
    while (const dirent *entry = readdir(stream)) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (--collector.entries_left < 0) {
            walker.cut_by_budget = true;
            break;
        }
        if (name[0] == '.') continue;  // hidden
        // Most files of a large tree are no modules: their names tell so
        // without a look at each.
        if (entry->d_type == DT_REG && !module_file_name(name)) continue;
        char path[kPathCapacity];
        if (join_path(path, dir, name) != 0) {
            std::fprintf(collector.errors, "XQ: Left out '%s/%s': %s\n", dir, name,
                         add_result_message(AddResult::too_long));
            continue;
        }
        struct stat entry_info;
        if (stat(path, &entry_info) != 0) continue;
        const bool directory = S_ISDIR(entry_info.st_mode);
        if (!directory && !(S_ISREG(entry_info.st_mode) && module_file_name(name))) continue;
        if (names.size() >= static_cast<std::size_t>(kWalkCapacity)) {
            ++collector.result.left_out;
            continue;
        }
        WalkEntry &slot = names.emplace_back();
        std::snprintf(slot.name, sizeof slot.name, "%s", name);
        slot.is_dir = directory;
    }
    closedir(stream);

    // Sorted as indexes: the slots above this directory's move as the walk
    // below it grows the stack.
    std::vector<std::size_t> order(names.size() - begin);
    std::iota(order.begin(), order.end(), begin);
    std::sort(order.begin(), order.end(), [&names](std::size_t a, std::size_t b) {
        if (names[a].is_dir != names[b].is_dir) return names[a].is_dir;
        return listed_before(names[a].name, names[b].name);
    });
    for (std::size_t slot : order) {
        char path[kPathCapacity];
        join_path(path, dir, names[slot].name);
        if (names[slot].is_dir)
            walk(walker, path);
        else
            add_module(collector, path, path);
    }
    names.resize(begin);
    --walker.depth;
}

// Walks the directory argument `given`, whose full path is `path`; says so
// when the walk had to stop before its end. Returns false when it did.
bool walk_argument(Collector &collector, const char (&path)[kPathCapacity], const char *given) {
    Walker walker(collector);
    walk(walker, path);
    if (walker.cut_by_budget)
        std::fprintf(collector.errors,
                     "XQ: Stopped after looking at %ld entries: the rest of '%s' was not looked at.\n",
                     collector.entry_budget, given);
    else if (walker.cut_by_full && !collector.cut_by_full)
        collector.cut_by_full = given;
    return !walker.cut_by_budget && !walker.cut_by_full;
}

// Adds the modules of `folder` in the pack `index` and of every folder
// below it, folders first, each sorted as the file selector sorts.
void add_archive_folder(Collector &collector, const char *pack, const ArchiveIndex &index, const std::string &folder,
                        int depth) {
    std::vector<ArchiveEntry> entries = archive_folder(index, folder);
    std::sort(entries.begin(), entries.end(), [](const ArchiveEntry &a, const ArchiveEntry &b) {
        const bool a_folder = a.kind == ArchiveEntryKind::folder;
        const bool b_folder = b.kind == ArchiveEntryKind::folder;
        if (a_folder != b_folder) return a_folder;
        return listed_before(a.name.c_str(), b.name.c_str());
    });
    for (const ArchiveEntry &entry : entries) {
        if (playlist_count >= kPlaylistCapacity) {
            collector.cut_by_full = collector.cut_by_full ? collector.cut_by_full : pack;
            return;
        }
        const std::string inner = folder.empty() ? entry.name : folder + "/" + entry.name;
        if (entry.kind == ArchiveEntryKind::folder) {
            if (depth < kMaxDepth) add_archive_folder(collector, pack, index, inner, depth + 1);
            continue;
        }
        if (entry.kind != ArchiveEntryKind::file || !module_file_name(entry.name.c_str())) continue;
        const std::string path = std::string(index.path) + "/" + inner;
        if (path.size() >= kPathCapacity) {
            std::fprintf(collector.errors, "XQ: Left out '%s': %s\n", path.c_str(),
                         add_result_message(AddResult::too_long));
            continue;
        }
        add_module(collector, path.c_str(), path.c_str());
    }
}

// Adds the modules of the pack `path` (`given` as the user wrote it), or
// of a folder inside one ("pack.zip/disk1").
void add_archive(Collector &collector, const char *path, const char *given) {
    ArchiveIndex index;
    std::string folder;
    char message[kPathCapacity];
    ArchiveSplit split;
    const bool inside = split_archive_path(path, split, message, sizeof message) == 1;
    int read = 0;
    if (inside && !has_archive_name(path)) {
        read = read_archive_index(split.archive.c_str(), index, message, sizeof message);
        normalise_member_name(split.member.c_str(), folder);
        if (read == 0 && archive_folder(index, folder).empty()) {
            std::snprintf(message, sizeof message, "No such folder in the archive.");
            read = -1;
        }
    } else {
        read = read_archive_index(path, index, message, sizeof message);
    }
    if (read != 0) {
        std::fprintf(collector.errors, "XQ: Can't open '%s': %s\n", given, message);
        ++collector.result.unreadable;
        return;
    }
    if (!index.problem.empty()) std::fprintf(collector.errors, "XQ: '%s': %s\n", given, index.problem.c_str());
    add_archive_folder(collector, given, index, folder, 0);
}

}  // namespace

bool module_file_name(const char *name) {
    if (strncasecmp(name, "mod.", 4) == 0 && name[4] != '\0') return true;
    const char *dot = std::strrchr(name, '.');
    if (!dot || dot == name) return false;
    for (const char *extension : kModuleExtensions)
        if (strcasecmp(dot + 1, extension) == 0) return true;
    for (const char *extension : kZippedModules)
        if (strcasecmp(dot + 1, extension) == 0) return true;
    for (const char *extension : kCompressions) {
        if (strcasecmp(dot + 1, extension) != 0) continue;
        const std::string inner(name, static_cast<std::size_t>(dot - name));
        return module_file_name(inner.c_str());
    }
    return false;
}

ArgumentSort argument_sort(const char *path) {
    struct stat info;
    if (access(path, R_OK) != 0 || stat(path, &info) != 0) {
        // A path through a pack: a member, or an archive or a folder inside
        // it (a name that is no module's).
        if (!path_readable(path)) return ArgumentSort::unreadable;
        const char *slash = std::strrchr(path, '/');
        const char *name = slash ? slash + 1 : path;
        return has_archive_name(name) || !module_file_name(name) ? ArgumentSort::archive : ArgumentSort::module;
    }
    if (S_ISDIR(info.st_mode)) return ArgumentSort::directory;
    if (S_ISREG(info.st_mode) && playlist_kind(path) != PlaylistKind::none) return ArgumentSort::playlist;
    if (S_ISREG(info.st_mode) && (has_archive_name(path) || is_archive_file(path))) return ArgumentSort::archive;
    return ArgumentSort::module;
}

CollectedArguments collect_arguments(int count, char *const *paths, const char *cwd, FILE *errors, long entry_budget) {
    Collector collector{errors, {0, 0, 0}, entry_budget, entry_budget};
    for (int i = 0; i < count; ++i) {
        const char *given = paths[i];
        const ArgumentSort sort = argument_sort(given);
        if (sort == ArgumentSort::unreadable) {
            report_unreadable(collector, given);
            continue;
        }
        char path[kPathCapacity];
        if (file_path_in(path, cwd, given) != 0) {
            std::fprintf(errors, "XQ: Left out '%s': %s\n", given, add_result_message(AddResult::too_long));
            continue;
        }
        const int before = playlist_count;
        const int left_out_before = collector.result.left_out;
        bool whole = true;
        switch (sort) {
        case ArgumentSort::module: add_module(collector, path, given); break;
        case ArgumentSort::playlist: {
            const EntryReading reading = read_playlist_entries(path, playlist_kind(path), add_playlist_entry, &collector);
            if (reading.status != 0) report_unreadable(collector, given);
            break;
        }
        case ArgumentSort::directory: whole = walk_argument(collector, path, given); break;
        case ArgumentSort::archive: add_archive(collector, path, given); break;
        case ArgumentSort::unreadable: break;
        }
        if (sort != ArgumentSort::module && whole && playlist_count == before &&
            collector.result.left_out == left_out_before)
            std::fprintf(errors, "XQ: No modules in '%s'\n", given);
    }
    const int left_out = collector.result.left_out;
    const char *modules = left_out == 1 ? " was" : "s were";
    if (collector.cut_by_full && left_out > 0)
        std::fprintf(errors,
                     "XQ: The playlist holds %d entries: %d more module%s left out, and the rest of '%s' was not "
                     "looked at.\n",
                     kPlaylistCapacity, left_out, modules, collector.cut_by_full);
    else if (collector.cut_by_full)
        std::fprintf(errors, "XQ: The playlist holds %d entries: the rest of '%s' was not looked at.\n",
                     kPlaylistCapacity, collector.cut_by_full);
    else if (left_out > 0)
        std::fprintf(errors, "XQ: The playlist holds %d entries: %d more module%s left out.\n", kPlaylistCapacity,
                     left_out, modules);
    collector.result.entries = playlist_count;
    return collector.result;
}
