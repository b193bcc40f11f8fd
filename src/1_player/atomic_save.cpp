#include "1_player/atomic_save.h"

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "1_player/regular_file.h"

namespace {

constexpr int kMaxLinks = 40;  // as the kernel allows in one path

// The directory part of `path`, with its last "/" ("" when it has none).
std::size_t directory_length(const char *path) {
    const char *slash = std::strrchr(path, '/');
    return slash ? static_cast<std::size_t>(slash - path) + 1 : 0;
}

mode_t mode_for(const char *target) {
    struct stat info;
    if (stat(target, &info) == 0) return info.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

int save_target(const char *path, char *target, std::size_t size, int &failure) {
    if (std::strlen(path) >= size) {
        failure = ENAMETOOLONG;
        return -1;
    }
    std::strcpy(target, path);
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat info;
        if (lstat(target, &info) != 0) {
            if (errno == ENOENT) return 0;  // a new file, or the target of a dangling link
            failure = errno;
            return -1;
        }
        if (S_ISREG(info.st_mode)) return 0;
        if (!S_ISLNK(info.st_mode)) {
            failure = kNotRegularFile;
            return -1;
        }
        char link[PATH_MAX];
        const ssize_t n = readlink(target, link, sizeof link - 1);
        if (n < 0) {
            failure = errno;
            return -1;
        }
        link[n] = '\0';
        const std::size_t keep = link[0] == '/' ? 0 : directory_length(target);
        if (keep + static_cast<std::size_t>(n) >= size) {
            failure = ENAMETOOLONG;
            return -1;
        }
        std::memcpy(target + keep, link, static_cast<std::size_t>(n) + 1);
    }
    failure = ELOOP;
    return -1;
}

SaveOutcome save_atomically(const char *path, ContentWriter write_content, const void *context, int &failure,
                            bool private_file) {
    char target[PATH_MAX];
    if (save_target(path, target, sizeof target, failure) != 0) return SaveOutcome::not_opened;
    char temporary[PATH_MAX + 8];
    if (std::strlen(target) + 8 > sizeof temporary) {
        failure = ENAMETOOLONG;
        return SaveOutcome::not_opened;
    }
    std::strcpy(temporary, target);
    std::strcat(temporary, ".XXXXXX");
    const mode_t mode = private_file ? 0600 : mode_for(target);
    const int fd = mkstemp(temporary);
    if (fd < 0) {
        failure = errno;
        return SaveOutcome::not_opened;
    }
    std::FILE *file = fdopen(fd, "w");
    if (!file) {
        failure = errno;
        close(fd);
        unlink(temporary);
        return SaveOutcome::not_opened;
    }
    failure = 0;
    auto check = [&failure](bool ok) {
        if (!ok && failure == 0) failure = errno ? errno : EIO;
    };
    errno = 0;
    check(write_content(file, context));
    check(std::fflush(file) == 0);
    // mkstemp makes the file for its owner only.
    check(fchmod(fd, mode) == 0);
    check(fsync(fd) == 0);
    check(std::fclose(file) == 0);
    if (failure == 0) check(std::rename(temporary, target) == 0);
    if (failure != 0) {
        unlink(temporary);
        return SaveOutcome::not_written;
    }
    return SaveOutcome::saved;
}

void format_with_path(char *message, std::size_t size, const char *before, const char *path, const char *after) {
    constexpr std::size_t kShownPath = 60;
    const std::size_t length = std::strlen(path);
    const char *marker = length > kShownPath ? "~" : "";
    const char *tail = length > kShownPath ? path + length - (kShownPath - 1) : path;
    std::snprintf(message, size, "%s%s%s%s", before, marker, tail, after);
}

int save_with_message(const char *path, ContentWriter write_content, const void *context, char *message,
                      std::size_t message_size, bool private_file) {
    int failure = 0;
    switch (save_atomically(path, write_content, context, failure, private_file)) {
    case SaveOutcome::saved: format_with_path(message, message_size, "'", path, "' saved."); return 0;
    case SaveOutcome::not_opened:
        if (failure == kNotRegularFile)
            format_with_path(message, message_size, "Can't save '", path, "': not a regular file.");
        else
            format_with_path(message, message_size, "Can't open '", path, "'.");
        return -1;
    case SaveOutcome::not_written: break;
    }
    char reason[128];
    std::snprintf(reason, sizeof reason, "': %s.", file_failure_text(failure));
    format_with_path(message, message_size, "Can't write '", path, reason);
    return -1;
}
