#include "1_player/regular_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::FILE *open_regular_file(const char *path, int &failure) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        failure = errno;
        return nullptr;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        failure = fstat(fd, &info) != 0 ? errno : kNotRegularFile;
        close(fd);
        return nullptr;
    }
    // Reads of a regular file never wait anyway; the flag goes so that the
    // stream behaves as any other.
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE *file = fdopen(fd, "rb");
    if (!file) {
        failure = errno;
        close(fd);
    }
    return file;
}

const char *file_failure_text(int failure) {
    return failure == kNotRegularFile ? "not a regular file" : std::strerror(failure);
}
