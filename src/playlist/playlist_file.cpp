#include "playlist/playlist_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curses.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "panels/message_box.h"
#include "playlist/playlist_formats.h"
#include "playlist/playlist_store.h"

char playlist_file_path[kPathCapacity] = {};
const char playlist_magic[15] = {'X', 'Q', ' ', 'P', 'L', 'A', 'Y', 'I', 'N', 'G', ' ', 'L', 'I', 'S', 'T'};

namespace {

// A path in a message is cut to its tail so that the reason still fits.
void format_with_path(char *message, std::size_t size, const char *before, const char *path, const char *after) {
    constexpr std::size_t kShownPath = 60;
    const std::size_t length = std::strlen(path);
    const char *marker = length > kShownPath ? "~" : "";
    const char *tail = length > kShownPath ? path + length - (kShownPath - 1) : path;
    std::snprintf(message, size, "%s%s%s%s", before, marker, tail, after);
}

// The mode a new playlist file gets: the old file's, or what the umask
// leaves of rw-rw-rw-.
mode_t new_file_mode(const char *path) {
    struct stat info;
    if (stat(path, &info) == 0) return info.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

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

}  // namespace

int store_playlist(const char *path, char *message, std::size_t message_size) {
    char temporary[kPathCapacity + 16];
    std::snprintf(temporary, sizeof temporary, "%s.XXXXXX", path);
    const int fd = mkstemp(temporary);
    if (fd < 0) {
        format_with_path(message, message_size, "Can't open '", path, "'.");
        return -1;
    }
    std::FILE *file = fdopen(fd, "w");
    if (!file) {
        close(fd);
        unlink(temporary);
        format_with_path(message, message_size, "Can't open '", path, "'.");
        return -1;
    }
    int first_errno = 0;
    auto check = [&first_errno](bool ok) {
        if (!ok && first_errno == 0) first_errno = errno ? errno : EIO;
    };
    errno = 0;
    check(std::fwrite(playlist_magic, 1, sizeof playlist_magic, file) == sizeof playlist_magic);
    check(std::fputc('\n', file) != EOF);
    for (int i = 0; i < playlist_count && first_errno == 0; ++i)
        check(std::fprintf(file, "%s/%s\n", playlist[i].dir, playlist[i].name) >= 0);
    check(std::fflush(file) == 0);
    check(fchmod(fd, new_file_mode(path)) == 0);
    check(fsync(fd) == 0);
    check(std::fclose(file) == 0);
    if (first_errno == 0) check(std::rename(temporary, path) == 0);
    if (first_errno != 0) {
        unlink(temporary);
        char reason[kPathCapacity];
        std::snprintf(reason, sizeof reason, "': %s.", std::strerror(first_errno));
        format_with_path(message, message_size, "Can't write '", path, reason);
        return -1;
    }
    format_with_path(message, message_size, "'", path, "' saved.");
    return 0;
}

PlaylistReading read_playlist(const char *path, char *message, std::size_t message_size) {
    PlaylistReading reading{-1, 0, 0};
    message[0] = '\0';
    std::FILE *file = std::fopen(path, "rb");
    if (!file) {
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
    while ((c = std::fgetc(file)) != EOF) {
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
        } else if (length > 0) {
            AddResult added = std::strchr(line, '/') ? playlist_add_path(line) : playlist_add_file(own_dir, line);
            if (added == AddResult::full)
                ++reading.left_out;
            else if (added != AddResult::added)
                ++reading.skipped;
        }
        length = 0;
        unusable = false;
    }
    std::fclose(file);

    if (reading.skipped > 0 && reading.left_out > 0)
        std::snprintf(message, message_size, "Loaded the first %d entries; %d more left out, %d unusable lines skipped.",
                      kPlaylistCapacity, reading.left_out, reading.skipped);
    else if (reading.left_out > 0)
        std::snprintf(message, message_size, "The playlist is full: loaded the first %d entries, %d more left out.",
                      kPlaylistCapacity, reading.left_out);
    else if (reading.skipped > 0)
        std::snprintf(message, message_size, "Skipped %d line%s longer than 255 characters or not text.",
                      reading.skipped, reading.skipped == 1 ? "" : "s");
    return reading;
}

void playlist_save(const char *path) {
    char message[kPathCapacity];
    const int result = names_m3u(path) ? store_m3u_playlist(path, message, sizeof message)
                                       : store_playlist(path, message, sizeof message);
    if (result != 0) beep();
    message_box(message, result == 0 ? kMessageNotice : kMessageError);
}

void playlist_load(const char *path) {
    char message[kPathCapacity];
    int result = 0;
    if (!load_foreign_playlist(path, message, sizeof message, result)) read_playlist(path, message, sizeof message);
    if (message[0] == '\0') return;
    beep();
    message_box(message, kMessageError);
}
