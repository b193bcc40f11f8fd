#include "app/module_loader.h"

#include <cstdio>
#include <cstring>
#include <curses.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/settings.h"
#include "app/sound_output.h"
#include "app/startup.h"
#include "display/channel_table.h"
#include "display/screen_text.h"
#include "display/status_lines.h"
#include "panels/colors.h"
#include "panels/command_keys.h"
#include "panels/message_box.h"
#include "panels/panel_window.h"

MODULE *module = nullptr;
bool playing = false;

namespace {

WINDOW *loading_notice = nullptr;

void fail(const char *message) {
    beep();
    message_box(message, kMessageError);
}

// Blanks row `row` of main_win between the borders.
void clear_info_row(int row) {
    set_attr(main_win, kNormal);
    put_blanks(main_win, row, 1, screen_cols - 2);
}

void draw_title_row() {
    clear_info_row(2);
    RowWriter row{main_win, 2, 1, screen_cols - 1};
    row.put(kBold, "Title  : ")
        .put(pair(kCyanOnBlack), module->songname ? module->songname : "")
        .put(kNormal, " - ")
        .put(kBold, "Type: ")
        .put(pair(kCyanOnBlack), module->modtype ? module->modtype : "");
}

void draw_file_row(const char *file_name, long long bytes) {
    clear_info_row(1);
    char info[kPathCapacity * 2];
    format_file_info(info, sizeof info, file_name, module->numsmp, module->numins, bytes);
    RowWriter row{main_win, 1, 1, screen_cols - 1};
    row.put(kBold, "File   : ").put(kNormal, info);
}

}  // namespace

const char *file_name_of(const char *path) {
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

void format_file_info(char *out, std::size_t size, const char *file_name, int samples,
                      int instruments, long long bytes) {
    float kilobytes = static_cast<float>(bytes) * (1.0f / 1024.0f);
    std::snprintf(out, size, "%s  [ %d smp, %d ins, %lld bytes, %.1f KB ]", file_name, samples,
                  instruments, bytes, static_cast<double>(kilobytes));
}

int load_module(const char *file_path) {
    if (access(file_path, R_OK) != 0) {
        playing = false;
        fail("File can't be read.");
        return -1;
    }
    struct stat info;
    if (stat(file_path, &info) != 0 || !S_ISREG(info.st_mode)) {
        playing = false;
        fail("Not a file.");
        return -1;
    }
    long long bytes = static_cast<long long>(info.st_size);

    MODULE *loaded = Player_Load(file_path, kMaxChannels, 0);
    if (!loaded) {
        char message[kPathCapacity];
        std::snprintf(message, sizeof message, "%s.", MikMod_strerror(MikMod_errno));
        fail(message);
        return -1;
    }
    if (module) Player_Free(module);
    module = loaded;

    draw_title_row();
    reset_channel_state();
    draw_status_row();
    draw_channel_table();
    draw_cursor_markers();
    song_position = 0;
    module->loop = module->wrap = loop_module ? 1 : 0;  // wrap starts a finished song again
    remember_module_file(file_path);
    module->fadeout = fade_module ? 1 : 0;
    reset_voice_volume_peaks();
    draw_file_row(file_name_of(file_path), bytes);
    update_panels();
    doupdate();

    Player_Start(module);
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
