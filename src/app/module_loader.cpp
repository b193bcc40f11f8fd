#include "app/module_loader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <curses.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>
#include <vector>
#include <unistd.h>

#include "app/player_thread.h"
#include "app/regular_file.h"
#include "app/settings.h"
#include "app/sound_output.h"
#include "display/main_window.h"
#include "display/channel_table.h"
#include "display/screen_text.h"
#include "display/status_lines.h"
#include "panels/colors.h"
#include "panels/command_keys.h"
#include "panels/message_box.h"
#include "panels/panel_window.h"

MODULE *module = nullptr;
bool playing = false;
char module_path[kPathCapacity] = {};

namespace {

WINDOW *loading_notice = nullptr;
LoadFailure last_failure{};

// Keeps the reason, then shows it with the file's name. The "Loading..."
// notice is removed first: it is no panel, so the box would leave it drawn
// around itself.
void fail(const char *path, const char *reason, bool (*close_box_early)()) {
    std::snprintf(last_failure.path, sizeof last_failure.path, "%s", path);
    std::snprintf(last_failure.reason, sizeof last_failure.reason, "%s", reason);
    char message[kPathCapacity];
    format_load_failure(message, sizeof message, path, reason);
    loading_popup(0);
    beep();
    message_box_until(message, kMessageError, close_box_early);
}

// Blanks row `row` of main_win between the borders.
void clear_info_row(int row) {
    set_attr(main_win, kNormal);
    put_blanks(main_win, row, 1, screen_cols - 2);
}

// What the File row shows for the module being played, kept so the row can
// be drawn again at a new screen size.
char shown_file_name[kPathCapacity] = {};
long long shown_file_bytes = 0;

void draw_title_row() {
    clear_info_row(2);
    RowWriter row{main_win, 2, 1, screen_cols - 1};
    row.put(kBold, "Title  : ")
        .put(pair(kCyanOnBlack), module->songname ? module->songname : "")
        .put(kNormal, " - ")
        .put(kBold, "Type: ")
        .put(pair(kCyanOnBlack), module->modtype ? module->modtype : "");
}

// "File   : ", the name and the bracket with the sizes. A name too long for
// the row is shortened, with a "~" in its last cell, so that the bracket
// stays whole and nothing reaches the right border.
void draw_file_row() {
    clear_info_row(1);
    constexpr int kLabelCells = 9;
    char sizes[128];
    format_file_sizes(sizes, sizeof sizes, module->numsmp, module->numins, shown_file_bytes);
    const int right = screen_cols - 1;
    const int name_col = 1 + kLabelCells;
    const int name_cells = std::clamp(right - name_col - text_cells(sizes), 1, std::max(right - name_col, 1));
    set_attr(main_win, kBold);
    put_text(main_win, 1, 1, "File   : ", right);
    set_attr(main_win, kNormal);
    if (name_col >= right) return;
    const int shown = std::min(text_cells(shown_file_name), name_cells);
    const int written = put_text_field(main_win, 1, name_col, shown_file_name, shown, true);
    put_text(main_win, 1, name_col + written, sizes, right);
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

void draw_information_rows() {
    if (!main_win || !module) return;
    draw_file_row();
    draw_title_row();
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

int load_module(const char *file_path, bool (*close_box_early)()) {
    // Every failure leaves the module that was playing as it was, playing.
    char message[kPathCapacity];
    std::vector<char> data;
    if (read_module_file(file_path, data, message, sizeof message) != 0) {
        fail(file_path, message, close_box_early);
        return -1;
    }
    const long long bytes = static_cast<long long>(data.size());

    // The player loads the module and, once it is ready, swaps it for the
    // old one, which sounds until then.
    bool loaded = false;
    player_call([&] {
        MODULE *fresh = Player_LoadMem(data.data(), static_cast<int>(data.size()), kMaxChannels, 0);
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
    if (!loaded) {
        fail(file_path, message, close_box_early);
        return -1;
    }

    draw_title_row();
    reset_channel_state();
    draw_status_row();
    draw_channel_table();
    draw_cursor_markers();
    reset_voice_volume_peaks();
    std::snprintf(shown_file_name, sizeof shown_file_name, "%s", file_name_of(file_path));
    // The file selector moves the working directory: the path is kept as it
    // names the file from anywhere.
    char cwd[kPathCapacity];
    absolute_path(module_path, sizeof module_path, file_path, getcwd(cwd, sizeof cwd) ? cwd : nullptr);
    shown_file_bytes = bytes;
    draw_file_row();
    update_panels();
    doupdate();
    playing = true;
    return 0;
}

void loading_popup(int show) {
    if (show) {
        if (loading_notice) return;
        loading_notice = open_notice(5, 14, LINES / 2 - 3, 33);
        if (!loading_notice) return;
        set_attr(loading_notice, bold_pair(kGreenOnBlack));
        put_text(loading_notice, 2, 2, "Loading...");
        wnoutrefresh(loading_notice);
        doupdate();
    } else if (loading_notice) {
        close_notice(loading_notice);
    }
}
