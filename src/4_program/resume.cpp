#include "4_program/resume.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "1_player/archive_path.h"
#include "1_player/atomic_save.h"
#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "1_player/private_folder.h"
#include "1_player/regular_file.h"
#include "3_panels/command_keys.h"
#include "3_playlist/playlist_playback.h"
#include "3_playlist/playlist_store.h"

namespace {

constexpr const char *kHeader = "XQ RESUME 1";
constexpr int kMaxNumberDigits = 6;

// Reads at most `limit` bytes of a regular file, without waiting on
// anything else (a FIFO, a device). Returns 0, or -1 with `failure` set to
// the errno value, EFBIG past `limit`, or kNotRegularFile.
int read_whole_file(const char *path, std::string &data, std::size_t limit, int &failure) {
    std::FILE *file = open_regular_file(path, failure);
    if (!file) return -1;
    struct stat info;
    failure = 0;
    if (fstat(fileno(file), &info) != 0)
        failure = errno;
    else if (static_cast<std::size_t>(info.st_size) > limit)
        failure = EFBIG;
    if (failure != 0) {
        std::fclose(file);
        return -1;
    }
    data.assign(static_cast<std::size_t>(info.st_size), '\0');
    data.resize(std::fread(data.data(), 1, data.size(), file));
    std::fclose(file);
    return 0;
}

// "key=N", N of 1 to kMaxNumberDigits digits.
bool read_number(const std::string &line, const char *key, int &value) {
    const std::size_t key_length = std::strlen(key);
    if (line.compare(0, key_length, key) != 0 || line.size() <= key_length + 1 || line[key_length] != '=')
        return false;
    const std::string digits = line.substr(key_length + 1);
    if (digits.size() > kMaxNumberDigits) return false;
    value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// The folder of the resume file at `path` ("~/.xq") is used only while it
// is the user's own: another user who could write to it could put a link
// there for xq to write through, or a file of their choosing to play.
// Returns 0 when it may be used (or is missing, which the read or the
// save tells); otherwise -1 with what is wrong in `reason`.
int check_resume_folder(const char *path, char *reason, std::size_t size) {
    char dir[kPathCapacity];
    std::snprintf(dir, sizeof dir, "%s", path);
    if (char *slash = std::strrchr(dir, '/')) *slash = '\0';
    const FolderTrust trust = examine_own_folder(dir);
    if (trust == FolderTrust::own || trust == FolderTrust::missing) return 0;
    std::snprintf(reason, size, "'%s' %s", dir, folder_trust_text(trust));
    return -1;
}

int damaged(char *message, std::size_t size, const char *path, const char *what) {
    std::snprintf(message, size, "Can't resume: '%s' %s.", path, what);
    return -1;
}

}  // namespace

int resume_file_path(char (&path)[kPathCapacity]) {
    const char *home = std::getenv("HOME");
    if (!home || home[0] == '\0') return -1;
    const int n = std::snprintf(path, sizeof path, "%s/.xq/resume", home);
    return (n < 0 || static_cast<std::size_t>(n) >= sizeof path) ? -1 : 0;
}

namespace {

bool write_resume_lines(std::FILE *file, const void *context) {
    const ResumePlace &place = *static_cast<const ResumePlace *>(context);
    if (std::fprintf(file, "%s\nplaylist=%d\nentry=%d\nposition=%d\nentries=%zu\n", kHeader, place.playlist ? 1 : 0,
                     place.entry, place.position, place.paths.size()) < 0)
        return false;
    for (const std::string &p : place.paths)
        if (std::fprintf(file, "%s\n", p.c_str()) < 0) return false;
    return std::fputs("end\n", file) >= 0;
}

}  // namespace

int store_resume(const char *path, const ResumePlace &place, char *message, std::size_t size) {
    for (const std::string &p : place.paths) {
        if (p.empty() || p.find('\n') != std::string::npos) {
            std::snprintf(message, size, "Can't save '%s': a path holds a line feed.", path);
            return -1;
        }
    }
    char reason[kPathCapacity + 64];
    if (check_resume_folder(path, reason, sizeof reason) != 0) {
        std::snprintf(message, size, "Can't save '%s': %s.", path, reason);
        return -1;
    }
    int failure = 0;
    switch (save_atomically(path, write_resume_lines, &place, failure, true)) {
    case SaveOutcome::saved: break;
    case SaveOutcome::not_opened:
    case SaveOutcome::not_written:
        std::snprintf(message, size, "Can't save '%s': %s.", path, file_failure_text(failure));
        return -1;
    }
    std::snprintf(message, size, "'%s' saved.", path);
    return 0;
}

int read_resume(const char *path, ResumePlace &place, char *message, std::size_t size) {
    char reason[kPathCapacity + 64];
    if (check_resume_folder(path, reason, sizeof reason) != 0) {
        std::snprintf(message, size, "Can't resume: %s.", reason);
        return -1;
    }
    std::string data;
    int failure = 0;
    if (read_whole_file(path, data, kMaxResumeFileBytes, failure) != 0) {
        if (failure == ENOENT)
            std::snprintf(message, size, "Nothing to resume: '%s' does not exist yet (xq writes it as it ends).",
                          path);
        else if (failure == EFBIG)
            return damaged(message, size, path, "is too large for a resume file");
        else if (failure == kNotRegularFile)
            return damaged(message, size, path, "is not a regular file");
        else
            std::snprintf(message, size, "Can't resume: '%s': %s.", path, std::strerror(failure));
        return -1;
    }
    if (data.empty()) return damaged(message, size, path, "is empty");
    for (unsigned char c : data)
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7f)
            return damaged(message, size, path, "is not a resume file (it holds bytes that are not text)");
    if (data.back() != '\n') return damaged(message, size, path, "is cut short");
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < data.size();) {
        const std::size_t end = data.find('\n', at);
        lines.push_back(data.substr(at, end - at));
        at = end + 1;
    }
    if (lines[0] != kHeader) return damaged(message, size, path, "is not a resume file");
    int playlist = 0;
    int entry = 0;
    int position = 0;
    int entries = 0;
    if (lines.size() < 5 || !read_number(lines[1], "playlist", playlist) || playlist > 1 ||
        !read_number(lines[2], "entry", entry) || !read_number(lines[3], "position", position) ||
        !read_number(lines[4], "entries", entries))
        return damaged(message, size, path, "is damaged: its first lines are not as xq writes them");
    if (entries < 1 || entries > kPlaylistCapacity || (playlist == 0 && entries != 1) || entry >= entries)
        return damaged(message, size, path, "is damaged: its numbers do not fit together");
    if (lines.size() < static_cast<std::size_t>(entries) + 6) return damaged(message, size, path, "is cut short");
    if (lines.size() > static_cast<std::size_t>(entries) + 6 || lines.back() != "end")
        return damaged(message, size, path, "is damaged: it does not end as xq writes it");
    ResumePlace read;
    read.playlist = playlist == 1;
    read.entry = entry;
    read.position = position;
    for (int i = 0; i < entries; ++i) {
        const std::string &p = lines[5 + static_cast<std::size_t>(i)];
        if (p.empty() || p.size() >= kPathCapacity) return damaged(message, size, path, "is damaged: a path is unusable");
        read.paths.push_back(p);
    }
    place = std::move(read);
    return 0;
}

bool capture_resume_place(ResumePlace &place) {
    const PlayerView &view = player_view();
    if (!view.module) return false;
    const char *module_path = view.module->path.c_str();
    place = ResumePlace{};
    place.position = (!is_playing(view) || view.ended || view.sngpos < 0 || view.sngpos >= view.numpos)
                         ? 0
                         : view.sngpos;
    if (playlist_active && playlist_count > 0) {
        place.playlist = true;
        int entry = std::clamp(playlist_index, 0, playlist_count - 1);
        // At random the index counts the entries started: the entry is the
        // one whose module plays.
        if (std::strcmp(playlist[entry].path, module_path) != 0) {
            for (int k = 0; k < playlist_count; ++k) {
                if (std::strcmp(playlist[k].path, module_path) == 0) {
                    entry = k;
                    break;
                }
            }
        }
        place.entry = entry;
        for (int k = 0; k < playlist_count; ++k) place.paths.emplace_back(playlist[k].path);
    } else {
        place.paths.emplace_back(module_path);
    }
    return true;
}

int save_resume(char *message, std::size_t size) {
    ResumePlace place;
    if (!capture_resume_place(place)) return 0;
    char path[kPathCapacity];
    if (resume_file_path(path) != 0) {
        std::snprintf(message, size, "Can't save the resume file: HOME is unset or too long.");
        return -1;
    }
    return store_resume(path, place, message, size);
}

int prepare_resume(ResumeStart &start, FILE *errors) {
    char path[kPathCapacity];
    if (resume_file_path(path) != 0) {
        std::fputs("XQ: HOME is not set (or too long); it names the directory of the resume file.\n", errors);
        return -1;
    }
    ResumePlace place;
    char message[2 * kPathCapacity];
    if (read_resume(path, place, message, sizeof message) != 0) {
        std::fprintf(errors, "XQ: %s\n", message);
        return -1;
    }
    start = ResumeStart{};
    start.playlist = place.playlist;
    start.position = place.position;
    if (!place.playlist) {
        const char *module_file = place.paths[0].c_str();
        if (!path_readable(module_file)) {
            std::fprintf(errors, "XQ: Can't open '%s'\n", module_file);
            return -1;
        }
        std::snprintf(start.path, sizeof start.path, "%s", module_file);
        return 0;
    }
    playlist_clear();
    int entry = -1;
    for (int i = 0; i < static_cast<int>(place.paths.size()); ++i) {
        const char *entry_path = place.paths[static_cast<std::size_t>(i)].c_str();
        bool kept = false;
        if (!path_readable(entry_path)) {
            std::fprintf(errors, "XQ: Can't open '%s'\n", entry_path);
        } else {
            const AddResult added = playlist_add_path(entry_path);
            kept = added == AddResult::added;
            if (!kept) std::fprintf(errors, "XQ: Left out '%s': %s\n", entry_path, add_result_message(added));
        }
        if (i == place.entry && !kept) start.position = 0;
        if (entry < 0 && i >= place.entry && kept) entry = playlist_count - 1;
    }
    if (playlist_count == 0) {
        std::fprintf(errors, "XQ: Nothing to resume: no entry of '%s' can be opened.\n", path);
        return -1;
    }
    if (entry < 0) {
        entry = playlist_count - 1;
        start.position = 0;
    }
    start.entry = entry;
    return 0;
}

void resume_song_position(int position) { player_seek(position); }
