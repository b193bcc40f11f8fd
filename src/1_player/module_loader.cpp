#include "1_player/module_loader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>
#include <unistd.h>

#include "1_player/archive_path.h"
#include "1_player/regular_file.h"
#include "1_player/settings.h"

namespace {

LoadFailure last_failure{};  // the loads' own: the last that failed, for a start that played nothing

}  // namespace

void absolute_path(char *out, std::size_t size, const char *path, const char *cwd) {
    if (size == 0) return;
    int n = -1;
    if (path[0] != '/' && cwd && cwd[0])
        n = std::snprintf(out, size, "%s%s%s", cwd, cwd[std::strlen(cwd) - 1] == '/' ? "" : "/", path);
    if (n < 0 || static_cast<std::size_t>(n) >= size) std::snprintf(out, size, "%s", path);
}

void format_file_sizes(char *out, std::size_t size, int samples, int instruments, long long bytes) {
    float kilobytes = static_cast<float>(bytes) * (1.0f / 1024.0f);
    std::snprintf(out, size, "  [ %d smp, %d ins, %lld bytes, %.1f KB ]", samples, instruments, bytes,
                  static_cast<double>(kilobytes));
}

void format_file_info(char *out, std::size_t size, const char *file_name, int samples,
                      int instruments, long long bytes) {
    char sizes[128];
    format_file_sizes(sizes, sizeof sizes, samples, instruments, bytes);
    std::snprintf(out, size, "%s%s", file_name, sizes);
}

const LoadFailure &last_load_failure() { return last_failure; }

void note_load_failure(const char *path, const char *reason, char *message, std::size_t size) {
    std::snprintf(last_failure.path, sizeof last_failure.path, "%s", path);
    std::snprintf(last_failure.reason, sizeof last_failure.reason, "%s", reason);
    format_load_failure(message, size, path, reason);
}

void format_load_failure(char *out, std::size_t size, const char *path, const char *reason) {
    constexpr std::size_t kShownName = 40;
    const char *name = file_name_of(path);
    const std::size_t length = std::strlen(name);
    const char *marker = length > kShownName ? "~" : "";
    const char *tail = length > kShownName ? name + length - (kShownName - 1) : name;
    std::snprintf(out, size, "'%s%s': %s", marker, tail, reason);
}

int read_module_file(const char *file_path, std::vector<char> &data, char *message, std::size_t size) {
    // A member of an archive, or a compressed file, is unpacked into memory.
    const int packed = read_packed_module(file_path, data, message, size);
    if (packed != 1) return packed;
    // Opening never waits: a FIFO or a device is refused, not read.
    int failure = 0;
    std::FILE *file = open_regular_file(file_path, failure);
    if (!file) {
        std::snprintf(message, size, "%s", failure == kNotRegularFile ? "Not a file." : "File can't be read.");
        return -1;
    }
    struct stat info;
    const bool known = fstat(fileno(file), &info) == 0;
    if (!known || info.st_size > kMaxModuleBytes) {
        std::fclose(file);
        if (known)
            std::snprintf(message, size, "File is too large for a module (over %lld MiB).", kMaxModuleBytes >> 20);
        else
            std::snprintf(message, size, "File can't be read.");
        return -1;
    }
    data.assign(static_cast<std::size_t>(info.st_size), '\0');
    const std::size_t done = std::fread(data.data(), 1, data.size(), file);
    std::fclose(file);
    if (done != data.size()) {
        std::snprintf(message, size, "File can't be read.");
        return -1;
    }
    return 0;
}
