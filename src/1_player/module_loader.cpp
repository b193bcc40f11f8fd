#include "1_player/module_loader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>
#include <vector>
#include <unistd.h>

#include "1_player/player_thread.h"
#include "1_player/regular_file.h"
#include "1_player/settings.h"
#include "1_player/sound_output.h"

MODULE *module = nullptr;
bool playing = false;
char module_path[kPathCapacity] = {};
bool stopped = false;
int show_real_volume = 1;
int mute_all_next = 1;
int song_position = 0;

namespace {

LoadFailure last_failure{};

// Keeps the reason, and puts it with the file's name into the result.
LoadResult fail(const char *path, const char *reason) {
    std::snprintf(last_failure.path, sizeof last_failure.path, "%s", path);
    std::snprintf(last_failure.reason, sizeof last_failure.reason, "%s", reason);
    LoadResult result;
    format_load_failure(result.message, sizeof result.message, path, reason);
    return result;
}

}  // namespace

void absolute_path(char *out, std::size_t size, const char *path, const char *cwd) {
    if (size == 0) return;
    int n = -1;
    if (path[0] != '/' && cwd && cwd[0])
        n = std::snprintf(out, size, "%s%s%s", cwd, cwd[std::strlen(cwd) - 1] == '/' ? "" : "/", path);
    if (n < 0 || static_cast<std::size_t>(n) >= size) std::snprintf(out, size, "%s", path);
}

const char *file_name_of(const char *path) {
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
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

void format_load_failure(char *out, std::size_t size, const char *path, const char *reason) {
    constexpr std::size_t kShownName = 40;
    const char *name = file_name_of(path);
    const std::size_t length = std::strlen(name);
    const char *marker = length > kShownName ? "~" : "";
    const char *tail = length > kShownName ? name + length - (kShownName - 1) : name;
    std::snprintf(out, size, "'%s%s': %s", marker, tail, reason);
}

int read_module_file(const char *file_path, std::vector<char> &data, char *message, std::size_t size) {
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

LoadResult play_module_file(const char *file_path) {
    // Every failure leaves the module that was playing as it was, playing.
    char message[kPathCapacity];
    std::vector<char> data;
    if (read_module_file(file_path, data, message, sizeof message) != 0) return fail(file_path, message);
    const long long bytes = static_cast<long long>(data.size());

    // The player loads the module and, once it is ready, swaps it for the
    // old one, which sounds until then.
    bool loaded = false;
    player_call([&] {
        MODULE *fresh = Player_LoadMem(data.data(), static_cast<int>(data.size()), kPlayerChannels, 0);
        if (!fresh) {
            std::snprintf(message, sizeof message, "%s.", MikMod_strerror(MikMod_errno));
            return;
        }
        if (module) {
            Player_Stop();
            Player_Free(module);
        }
        module = fresh;
        module->loop = module->wrap = loop_module ? 1 : 0;  // wrap starts a finished song again
        module->fadeout = fade_module ? 1 : 0;
        song_position = 0;
        remember_module_data(std::move(data));
        Player_Start(module);
        loaded = true;
    });
    if (!loaded) return fail(file_path, message);

    // The file selector moves the working directory: the path is kept as it
    // names the file from anywhere.
    char cwd[kPathCapacity];
    absolute_path(module_path, sizeof module_path, file_path, getcwd(cwd, sizeof cwd) ? cwd : nullptr);
    LoadResult result;
    result.loaded = true;
    result.bytes = bytes;
    return result;
}
