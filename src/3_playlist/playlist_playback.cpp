#include "3_playlist/playlist_playback.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curses.h>
#include <mikmod.h>
#include <panel.h>
#include <unistd.h>

#include "1_player/module_loader.h"
#include "1_player/player_thread.h"
#include "1_player/settings.h"
#include "1_player/sound_output.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"
#include "2_screen/status_lines.h"
#include "3_panels/idle.h"
#include "3_panels/module_loading.h"
#include "3_playlist/playlist_store.h"

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

// The order of the current pass in random mode: entry playlist_order[p]
// plays at pass position p. order_count is the list's size it was made for.
int playlist_order[kPlaylistCapacity];
int order_count = 0;
std::uint64_t shuffle_state = 0;

// A fresh order for a new pass in random mode.
void begin_pass() {
    if (!random_mode) return;
    shuffle_order(playlist_order, playlist_count, shuffle_state);
    order_count = playlist_count;
}

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

// Set while an entry is being loaded, its failure box included: the tick
// waits, so the playlist never moves on behind the box.
bool tick_held = false;

// A failed entry's box closes when the next tick is due, and that tick then
// moves on at once: the box never stays up while the playlist goes on.
bool next_tick_due() { return playlist_alarm_pending != 0; }

void load_entry(int k) {
    entry_not_loaded = true;
    draw_playlist_footer();
    loading_popup(1);
    const bool held = tick_held;
    tick_held = true;
    alarm(1);  // due one second after the load, whatever path led here
    entry_not_loaded = load_module(playlist[k].path, next_tick_due) != 0;
    tick_held = held;
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

std::uint64_t next_random(std::uint64_t &state) {
    // splitmix64: every seed, 0 included, gives a well-mixed sequence.
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void shuffle_order(int *order, int count, std::uint64_t &state) {
    for (int i = 0; i < count; ++i) order[i] = i;
    // Fisher-Yates; the slight bias of a remainder over 64 bits is far
    // below anything a listener could hear.
    for (int i = count - 1; i > 0; --i) {
        const int j = static_cast<int>(next_random(state) % static_cast<std::uint64_t>(i + 1));
        std::swap(order[i], order[j]);
    }
}

void seed_shuffle(std::uint64_t seed) { shuffle_state = seed; }

int playlist_entry_at(int pass_position) {
    if (!random_mode) return pass_position;
    if (order_count != playlist_count) {
        // The list changed since the pass began: the rest of the pass
        // follows a fresh order of the list as it is now.
        shuffle_order(playlist_order, playlist_count, shuffle_state);
        order_count = playlist_count;
    }
    return playlist_order[std::clamp(pass_position, 0, std::max(order_count - 1, 0))];
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
    begin_pass();
    load_entry(playlist_entry_at(0));
    draw_playlist_footer();
}

int start_command_line_playlist(int first) {
    start_playlist_timer();
    playlist_active = true;
    playlist_elapsed_ms = 0;
    begin_pass();
    for (int k = std::clamp(first, 0, std::max(playlist_count - 1, 0)); k < playlist_count; ++k) {
        playlist_index = k;
        loading_popup(1);
        const int result = load_module(playlist[playlist_entry_at(k)].path);
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
        ++playlist_index;
        load_entry(playlist_entry_at(playlist_index));
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
    if (!playlist_alarm_pending || tick_held) return;
    tick_held = true;
    playlist_alarm_pending = 0;
    playlist_tick();
    tick_held = false;
    if (playlist_active) alarm(1);
}

void draw_playlist_footer() {
    if (!main_win) return;
    const int row = screen_rows - 1;
    draw_border_line(1, 47);
    const int limit = footer_limit(kFooterFrameEnd);
    set_attr(main_win, kNormal);
    put_text(main_win, row, 2, "[                                ]", limit);
    set_role(main_win, ColorRole::footer_label);
    put_text(main_win, row, 4, "Playlist:", limit);
    char counts[64];
    format_footer_counts(counts, sizeof counts, shown_entry(), playlist_count, playlist_elapsed_ms + current_song_ms());
    set_attr(main_win, kNormal);
    put_text(main_win, row, kFooterCountsCol, counts, limit);
}

void clear_playlist_footer() { draw_border_line(1, 59); }

namespace {

// The status row's footer: shown while a playlist plays, erased once after.
void draw_or_clear_footer() {
    if (playlist_active) {
        draw_playlist_footer();
    } else if (footer_clear_pending) {
        clear_playlist_footer();
        footer_clear_pending = false;
    }
}

// The status row and the idle step stand below the playlist: it hands them
// its footer and its tick. The alarm that the tick answers is armed only by
// this file, so the tick is set wherever a playlist can play.
[[maybe_unused]] const bool footer_step_set = (set_footer_step(draw_or_clear_footer), true);
[[maybe_unused]] const bool playlist_step_set = (set_playlist_step(act_on_playlist_alarm), true);

}  // namespace

void playlist_next() {
    if (!playlist_active) return;
    keep_index_in_list();
    if (playlist_index >= playlist_count - 1) return;
    ++playlist_index;
    playlist_elapsed_ms += current_song_ms();
    load_entry(playlist_entry_at(playlist_index));
    draw_playlist_footer();
}

void playlist_previous() {
    if (!playlist_active) return;
    keep_index_in_list();
    if (playlist_index <= 0) return;
    --playlist_index;
    load_entry(playlist_entry_at(playlist_index));
    draw_playlist_footer();
}
