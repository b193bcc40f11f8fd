#include "3_playlist/playlist_store.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "1_player/archive_path.h"

PlaylistEntry playlist[kPlaylistCapacity];
int playlist_count = 0;

namespace {

void clear_entry(PlaylistEntry &entry) {
    std::memset(entry.dir, 0, sizeof entry.dir);
    std::memset(entry.name, 0, sizeof entry.name);
    std::memset(entry.path, 0, sizeof entry.path);
}

// Whether `dir` and `name` make an entry, and its path if so.
AddResult check_entry(const char *dir, const char *name, char (&path)[kPathCapacity]) {
    if (name[0] == '\0') return AddResult::empty;
    if (std::strchr(dir, '\n') || std::strchr(name, '\n')) return AddResult::line_feed;
    const int n = std::snprintf(path, sizeof path, "%s/%s", dir, name);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof path) return AddResult::too_long;
    return AddResult::added;
}

}  // namespace

AddResult playlist_add_file(const char *dir, const char *name) {
    if (std::strcmp(dir, "/") == 0) dir = "";
    char path[kPathCapacity];
    const AddResult result = check_entry(dir, name, path);
    if (result != AddResult::added) return result;
    if (playlist_count >= kPlaylistCapacity) return AddResult::full;
    PlaylistEntry &entry = playlist[playlist_count];
    clear_entry(entry);
    std::snprintf(entry.dir, sizeof entry.dir, "%s", dir);
    std::snprintf(entry.name, sizeof entry.name, "%s", name);
    std::memcpy(entry.path, path, sizeof entry.path);
    ++playlist_count;
    return AddResult::added;
}

AddResult playlist_add_path(const char *path) {
    const char *slash = std::strrchr(path, '/');
    if (!slash || slash[1] == '\0') return AddResult::empty;
    const std::size_t dir_length = static_cast<std::size_t>(slash - path);
    if (dir_length >= kPathCapacity) return AddResult::too_long;
    char dir[kPathCapacity];
    std::memcpy(dir, path, dir_length);
    dir[dir_length] = '\0';
    return playlist_add_file(dir, slash + 1);
}

AddDirResult playlist_add_dir(const char *dir, const char (*names)[kPathCapacity], int count, int left_out,
                              const bool *is_file) {
    AddDirResult result{0, left_out, 0};
    for (int i = 0; i < count; ++i) {
        struct stat info;
        const bool file = is_file ? is_file[i]
                                  : stat(names[i], &info) == 0 && S_ISREG(info.st_mode) && !has_archive_name(names[i]);
        if (file) {
            switch (playlist_add_file(dir, names[i])) {
            case AddResult::added: ++result.added; break;
            case AddResult::full: ++result.left_out; break;
            default: ++result.refused; break;
            }
        }
    }
    return result;
}

void playlist_remove(int index) {
    if (index < 0 || index >= playlist_count) return;
    for (int i = index; i < playlist_count - 1; ++i) std::memcpy(&playlist[i], &playlist[i + 1], sizeof playlist[i]);
    clear_entry(playlist[playlist_count - 1]);
    --playlist_count;
}

namespace {

void swap_entries(int a, int b) {
    PlaylistEntry temporary;
    std::memcpy(&temporary, &playlist[a], sizeof temporary);
    std::memcpy(&playlist[a], &playlist[b], sizeof temporary);
    std::memcpy(&playlist[b], &temporary, sizeof temporary);
}

}  // namespace

void playlist_move_up(int index) {
    if (index > 0 && index < playlist_count) swap_entries(index - 1, index);
}

void playlist_move_down(int index) {
    if (index >= 0 && index < playlist_count - 1) swap_entries(index, index + 1);
}

void playlist_clear() {
    for (int i = 0; i < playlist_count; ++i) clear_entry(playlist[i]);
    playlist_count = 0;
}

const char *add_result_message(AddResult result) {
    switch (result) {
    case AddResult::added: return "";
    case AddResult::full: return "The playlist is full: it holds 4096 entries.";
    case AddResult::too_long: return "Path too long: paths stay within 255 characters.";
    case AddResult::line_feed: return "A name with a line feed can't be kept in a playlist.";
    case AddResult::empty: return "No file name.";
    }
    return "";
}
