#include "3_playlist/playlist_file.h"

#include <cstdio>
#include <cstring>
#include <curses.h>

#include "1_player/atomic_save.h"
#include "1_player/quit_request.h"
#include "1_player/regular_file.h"
#include "3_panels/message_box.h"
#include "3_playlist/playlist_formats.h"
#include "3_playlist/playlist_store.h"

namespace {

// The directory part of `path` ("/" for "/x.pli", "." without any "/").
void directory_of(const char *path, char (&dir)[kPathCapacity]) {
    const char *slash = std::strrchr(path, '/');
    if (!slash) {
        std::snprintf(dir, sizeof dir, ".");
    } else if (slash == path) {
        std::snprintf(dir, sizeof dir, "/");
    } else {
        std::snprintf(dir, sizeof dir, "%.*s", static_cast<int>(slash - path), path);
    }
}

bool write_playlist_lines(std::FILE *file, const void *) {
    if (std::fwrite(playlist_magic, 1, sizeof playlist_magic, file) != sizeof playlist_magic) return false;
    if (std::fputc('\n', file) == EOF) return false;
    for (int i = 0; i < playlist_count; ++i)
        if (std::fprintf(file, "%s/%s\n", playlist[i].dir, playlist[i].name) < 0) return false;
    return true;
}

// The text of a load that skipped lines or found the list full ("" when
// it took the whole file).
void describe_reading(char *message, std::size_t size, const PlaylistReading &reading) {
    const int skipped = reading.skipped + reading.directories;
    if (reading.full && skipped > 0)
        std::snprintf(message, size, "Loaded the first %d entries, the rest left out; %d line%s skipped.",
                      kPlaylistCapacity, skipped, skipped == 1 ? "" : "s");
    else if (reading.full)
        std::snprintf(message, size, "The playlist is full: loaded the first %d entries, the rest left out.",
                      kPlaylistCapacity);
    else if (reading.skipped > 0 && reading.directories > 0)
        std::snprintf(message, size,
                      "Skipped %d line%s naming a directory and %d too long or not text.",
                      reading.directories, reading.directories == 1 ? "" : "s", reading.skipped);
    else if (reading.directories > 0)
        std::snprintf(message, size, "Skipped %d line%s naming a directory, not a file.", reading.directories,
                      reading.directories == 1 ? "" : "s");
    else if (reading.skipped > 0)
        std::snprintf(message, size, "Skipped %d line%s longer than 255 characters or not text.", reading.skipped,
                      reading.skipped == 1 ? "" : "s");
}

}  // namespace

int store_playlist(const char *path, char *message, std::size_t message_size) {
    return save_with_message(path, write_playlist_lines, nullptr, message, message_size);
}

PlaylistReading read_playlist(const char *path, char *message, std::size_t message_size) {
    PlaylistReading reading{};
    reading.status = -1;
    message[0] = '\0';
    int failure = 0;
    std::FILE *file = open_regular_file(path, failure);
    if (!file) {
        if (failure == kNotRegularFile)
            format_with_path(message, message_size, "Can't load '", path, "': not a regular file.");
        else
            format_with_path(message, message_size, "Can't open '", path, "'.");
        return reading;
    }
    char magic[sizeof playlist_magic];
    if (std::fread(magic, 1, sizeof magic, file) != sizeof magic || std::memcmp(magic, playlist_magic, sizeof magic) != 0) {
        std::fclose(file);
        std::snprintf(message, message_size, "Not a playlist file.");
        return reading;
    }
    std::fgetc(file);  // the line feed after the magic, whatever it is

    char own_dir[kPathCapacity];
    directory_of(path, own_dir);
    playlist_clear();
    reading.status = 0;
    char line[kPathCapacity];
    std::size_t length = 0;
    bool unusable = false;  // too long, or holding a zero byte
    int c;
    // A huge file is read to its end only while the list has room, and a
    // quit request ends the reading at once.
    while (!quit_requested && (c = std::fgetc(file)) != EOF) {
        if (c != '\n') {
            if (c == '\0' || length >= sizeof line - 1)
                unusable = true;
            else
                line[length++] = static_cast<char>(c);
            continue;
        }
        line[length] = '\0';
        if (unusable) {
            ++reading.skipped;
        } else if (length > 0 && line[length - 1] == '/') {
            ++reading.directories;
        } else if (length > 0) {
            AddResult added = std::strchr(line, '/') ? playlist_add_path(line) : playlist_add_file(own_dir, line);
            if (added == AddResult::full) {
                reading.full = true;
                break;
            }
            if (added != AddResult::added) ++reading.skipped;
        }
        length = 0;
        unusable = false;
    }
    std::fclose(file);
    describe_reading(message, message_size, reading);
    return reading;
}

void playlist_save(const char *path) {
    char message[kPathCapacity];
    const int result = names_m3u(path) ? store_m3u_playlist(path, message, sizeof message)
                                       : store_playlist(path, message, sizeof message);
    if (result == 0)
        message_box(message, kMessageNotice);
    else
        error_box(message);
}

void playlist_load(const char *path, const std::function<void()> &show_list) {
    char message[kPathCapacity];
    int result = 0;
    if (!load_foreign_playlist(path, message, sizeof message, result)) read_playlist(path, message, sizeof message);
    if (show_list) show_list();
    if (message[0] == '\0') return;
    error_box(message);
}
