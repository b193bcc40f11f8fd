#include "3_filesel/directory_path.h"

#include <cstring>

namespace {

constexpr std::size_t kLongest = kPathCapacity - 1;

void copy_path(char (&out)[kPathCapacity], const char *text, std::size_t length) {
    std::memmove(out, text, length);
    out[length] = '\0';
}

}  // namespace

int join_path(char (&out)[kPathCapacity], const char *dir, const char *name) {
    const std::size_t dir_length = std::strcmp(dir, "/") == 0 ? 0 : std::strlen(dir);
    const std::size_t name_length = std::strlen(name);
    if (dir_length + 1 + name_length > kLongest) return -1;
    char joined[kPathCapacity];
    std::memcpy(joined, dir, dir_length);
    joined[dir_length] = '/';
    std::memcpy(joined + dir_length + 1, name, name_length);
    copy_path(out, joined, dir_length + 1 + name_length);
    return 0;
}

void parent_path(char (&path)[kPathCapacity]) {
    char *slash = std::strrchr(path, '/');
    if (!slash) return;
    if (slash == path)
        path[1] = '\0';
    else
        *slash = '\0';
}

int normalise_path(char (&out)[kPathCapacity], const char *typed, const char *base) {
    if (!typed || typed[0] == '\0') return -1;
    // Room for base, "/" and typed together: ".." components may bring a
    // longer text back within the limit.
    char whole[2 * kPathCapacity + 1];
    std::size_t length = 0;
    if (typed[0] != '/') {
        const std::size_t base_length = std::strlen(base);
        std::memcpy(whole, base, base_length);
        whole[base_length] = '/';
        length = base_length + 1;
    }
    const std::size_t typed_length = std::strlen(typed);
    std::memcpy(whole + length, typed, typed_length);
    length += typed_length;
    whole[length] = '\0';

    char result[2 * kPathCapacity + 1];
    std::size_t used = 0;
    for (const char *part = whole; *part;) {
        while (*part == '/') ++part;
        const char *end = part;
        while (*end && *end != '/') ++end;
        const std::size_t part_length = static_cast<std::size_t>(end - part);
        const bool here = part_length == 0 || (part_length == 1 && part[0] == '.');
        const bool up = part_length == 2 && part[0] == '.' && part[1] == '.';
        if (up) {
            while (used > 0 && result[used - 1] != '/') --used;
            if (used > 0) --used;
        } else if (!here) {
            result[used++] = '/';
            std::memcpy(result + used, part, part_length);
            used += part_length;
        }
        part = end;
    }
    if (used == 0) result[used++] = '/';
    if (used > kLongest) return -1;
    copy_path(out, result, used);
    return 0;
}

int normalise_in_place(char (&path)[kPathCapacity]) { return normalise_path(path, path, "/"); }

int replace_last_component(char (&path)[kPathCapacity], const char *tail) {
    char *slash = std::strrchr(path, '/');
    if (!slash) return -1;
    const std::size_t kept = static_cast<std::size_t>(slash - path) + 1;
    const std::size_t tail_length = std::strlen(tail);
    if (kept + tail_length > kLongest) return -1;
    std::memmove(path + kept, tail, tail_length);
    path[kept + tail_length] = '\0';
    return 0;
}

int file_path_in(char (&out)[kPathCapacity], const char *dir, const char *name) {
    if (name[0] == '/') {
        const std::size_t length = std::strlen(name);
        if (length > kLongest) return -1;
        copy_path(out, name, length);
        return 0;
    }
    return join_path(out, dir, name);
}
