#include "playlist/playlist_playback.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curses.h>
#include <mikmod.h>
#include <panel.h>
#include <unistd.h>

#include "app/module_loader.h"
#include "app/player_thread.h"
#include "app/settings.h"
#include "app/sound_output.h"
#include "app/startup.h"
#include "display/screen_text.h"
#include "panels/colors.h"
#include "playlist/playlist_store.h"

bool playlist_active = false;
bool footer_clear_pending = false;
int playlist_index = 0;
std::uint64_t playlist_elapsed_ms = 0;
volatile std::sig_atomic_t playlist_alarm_pending = 0;

namespace {

constexpr std::uint64_t kMaxShownMinutes = 9999;
constexpr int kFooterFrameEnd = 35;  // the footer frame's closing bracket
constexpr int kFooterCountsCol = 16;

// The module being played does not belong to the current entry: it could
// not be loaded (the old module stays), or is being loaded. Its time is not
// the entry's, and the next tick goes on to the following entry.
bool entry_not_loaded = false;

extern "C" void playlist_alarm(int) { playlist_alarm_pending = 1; }

// Footer texts stop before the time box, which sits at the right of the
// same row; on an 80-column screen that is column 63.
int footer_limit(int last_col) { return std::min(last_col + 1, screen_cols - 17); }

void draw_border_line(int first, int last) {
    if (!main_win) return;
    set_attr(main_win, kNormal);
    const int end = footer_limit(last);
    for (int col = first; col < end; ++col) mvwaddch(main_win, screen_rows - 1, col, ACS_HLINE);
}

int shown_entry() { return std::min(playlist_index + 1, playlist_count); }

std::uint64_t current_song_ms() {
    return (module && !entry_not_loaded) ? song_time_ms(player_view().sngtime) : 0;
}

void load_entry(int k) {
    entry_not_loaded = true;
    draw_playlist_footer();
    loading_popup(1);
    entry_not_loaded = load_module(playlist[k].path) != 0;
    loading_popup(0);
}

void draw_finished_message() {
    char text[96];
    format_finished_message(text, sizeof text, shown_entry(), playlist_count, playlist_elapsed_ms);
    set_attr(main_win, kNormal);
    put_text(main_win, screen_rows - 1, 2, text, footer_limit(screen_cols));
}

}  // namespace


std::uint64_t song_time_ms(unsigned long sngtime) {
    return (static_cast<std::uint64_t>(sngtime) * 1000 + 512) / 1024;
}

void format_playlist_time(char *out, std::size_t size, std::uint64_t ms) {
    std::uint64_t minutes = ms / 60000;
    std::uint64_t seconds = (ms / 1000) % 60;
    if (minutes > kMaxShownMinutes) {
        minutes = kMaxShownMinutes;
        seconds = 59;
    }
    std::snprintf(out, size, "%02llu:%02llu", static_cast<unsigned long long>(minutes),
                  static_cast<unsigned long long>(seconds));
}

void format_footer_counts(char *out, std::size_t size, int entry, int count, std::uint64_t ms) {
    char time[16];
    format_playlist_time(time, sizeof time, ms);
    const int n = std::snprintf(out, size, "%3d/%3d   (%s)", entry, count, time);
    if (n > kFooterFrameEnd - kFooterCountsCol) std::snprintf(out, size, "%3d/%3d (%s)", entry, count, time);
}

void format_finished_message(char *out, std::size_t size, int entry, int count, std::uint64_t ms) {
    char time[16];
    format_playlist_time(time, sizeof time, ms);
    std::snprintf(out, size, "[ Playlist finished %3d/%3d (%s) ]", entry, count, time);
}

int random_tick_pick(long value, int count) {
    if (count < 2) return 0;
    return 1 + static_cast<int>(static_cast<long long>(value) * (count - 1) / (RAND_MAX + 1LL));
}

int random_next_pick(long value, int count) {
    if (count < 2) return 0;
    return static_cast<int>(static_cast<long long>(value) * (count - 1) / (RAND_MAX + 1LL));
}

void keep_index_in_list() {
    playlist_index = std::clamp(playlist_index, 0, std::max(playlist_count - 1, 0));
}

void start_playlist_timer() {
    playlist_index = 0;
    struct sigaction action {};
    action.sa_handler = playlist_alarm;
    sigemptyset(&action.sa_mask);
    // Restarted, so the alarm never breaks a key read or a directory read.
    action.sa_flags = SA_RESTART;
    sigaction(SIGALRM, &action, nullptr);
    playlist_alarm_pending = 0;
    alarm(1);
}

void start_playlist() {
    if (playlist_count == 0) return;
    start_playlist_timer();
    playlist_active = true;
    playlist_elapsed_ms = 0;
    load_entry(0);
    draw_playlist_footer();
}

int start_command_line_playlist(int first) {
    start_playlist_timer();
    playlist_active = true;
    playlist_elapsed_ms = 0;
    for (int k = std::clamp(first, 0, std::max(playlist_count - 1, 0)); k < playlist_count; ++k) {
        playlist_index = k;
        loading_popup(1);
        const int result = load_module(playlist[k].path);
        loading_popup(0);
        if (result == 0) {
            entry_not_loaded = false;
            return 0;
        }
    }
    playlist_active = false;
    alarm(0);
    return -1;
}

void playlist_tick() {
    if (!playlist_active || !main_win) return;
    keep_index_in_list();
    if (!entry_not_loaded && !(module && player_view().ended)) return;
    draw_border_line(1, 39);
    playlist_elapsed_ms += current_song_ms();
    if (playlist_index < playlist_count - 1) {
        const int k = random_mode ? random_tick_pick(std::rand(), playlist_count) : playlist_index + 1;
        ++playlist_index;
        load_entry(k);
        wtouchln(main_win, 0, getmaxy(main_win), 1);
    } else {
        draw_finished_message();
        playlist_active = false;
        footer_clear_pending = true;
    }
    update_panels();
    doupdate();
}

void act_on_playlist_alarm() {
    // The tick may open a message box whose own idle steps come back here;
    // the next alarm is armed only once the tick is over.
    static bool ticking = false;
    if (!playlist_alarm_pending || ticking) return;
    ticking = true;
    playlist_alarm_pending = 0;
    playlist_tick();
    ticking = false;
    if (playlist_active) alarm(1);
}

void draw_playlist_footer() {
    if (!main_win) return;
    const int row = screen_rows - 1;
    draw_border_line(1, 47);
    const int limit = footer_limit(kFooterFrameEnd);
    set_attr(main_win, kNormal);
    put_text(main_win, row, 2, "[                                ]", limit);
    set_attr(main_win, bold_pair(kYellowOnBlue));
    put_text(main_win, row, 4, "Playlist:", limit);
    char counts[64];
    format_footer_counts(counts, sizeof counts, shown_entry(), playlist_count, playlist_elapsed_ms + current_song_ms());
    set_attr(main_win, kNormal);
    put_text(main_win, row, kFooterCountsCol, counts, limit);
}

void clear_playlist_footer() { draw_border_line(1, 59); }

void playlist_next() {
    if (!playlist_active) return;
    keep_index_in_list();
    if (playlist_index >= playlist_count - 1) return;
    const int k = random_mode ? random_next_pick(std::rand(), playlist_count) : playlist_index + 1;
    playlist_index = k;
    playlist_elapsed_ms += current_song_ms();
    load_entry(k);
    draw_playlist_footer();
}

void playlist_previous() {
    if (!playlist_active) return;
    keep_index_in_list();
    if (playlist_index <= 0) return;
    --playlist_index;
    load_entry(playlist_index);
    draw_playlist_footer();
}
