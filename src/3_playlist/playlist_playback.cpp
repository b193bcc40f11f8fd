#include "3_playlist/playlist_playback.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curses.h>
#include <panel.h>

#include "1_player/clock.h"
#include "1_player/player_thread.h"
#include "1_player/settings.h"
#include "2_screen/main_window.h"
#include "2_screen/playlist_footer.h"
#include "3_playlist/playlist_lengths.h"
#include "3_panels/event_loop.h"
#include "3_panels/message_box.h"
#include "3_panels/module_loading.h"
#include "3_playlist/playlist_store.h"

bool playlist_active = false;
int playlist_index = 0;
std::uint64_t playlist_elapsed_ms = 0;

namespace {

// The rest of the playback's state, owned by this file.
struct Playback {
    // The module being played does not belong to the current entry: it
    // could not be loaded (the old module stays), or is being loaded. Its
    // time is not the entry's, and the playlist goes on to the following
    // entry a second after the load began.
    bool entry_not_loaded = false;
    long long entry_started_ms = 0;
    // Set while an entry is being loaded, its failure box included: the
    // step waits, so the playlist never moves on behind the box.
    bool step_held = false;
    // The run of entries that could not be loaded since the last one that
    // did: the first has a box of its own, the others are passed over at
    // once, and one box tells of them all as the run ends.
    int failed_run = 0;
    char last_failure[kPathCapacity] = "";  // "'name': reason" of the run's last
    // Asked besides the keys by the box of a run told at start-up.
    bool (*close_run_box_early)() = nullptr;
    // The order of the current pass in random mode: entry order[p] plays
    // at pass position p. order_count is the list's size it was made for.
    int order[kPlaylistCapacity];
    int order_count = 0;
    std::uint64_t shuffle_state = 0;
};

Playback playback;

// A fresh order for a new pass in random mode.
void begin_pass() {
    if (!random_mode) return;
    shuffle_order(playback.order, playlist_count, playback.shuffle_state);
    playback.order_count = playlist_count;
}

int shown_entry() { return std::min(playlist_index + 1, playlist_count); }

std::uint64_t current_song_ms() {
    return (player_view().module && !playback.entry_not_loaded) ? song_time_ms(player_view().sngtime) : 0;
}

// The footer's figures, as the playlist stands now.
void update_footer() {
    playlist_footer.shown = playlist_active;
    playlist_footer.entry = shown_entry();
    playlist_footer.count = playlist_count;
    playlist_footer.elapsed_ms = playlist_elapsed_ms;
    std::uint64_t total = 0;
    playlist_footer.total_ms = playlist_length_ms(total) ? static_cast<long long>(total) : -1;
    playlist_footer.song_counts = player_view().module && !playback.entry_not_loaded;
}

bool song_over() { return player_view().module && player_view().ended; }

// A failed entry's box closes when the playlist is due to move on, and the
// playlist then moves on at once: the box never stays up while it goes on.
bool failed_entry_due() {
    const long long due = playback.entry_started_ms + kFailedEntryMs;
    if (monotonic_ms() >= due) return true;
    wake_at_ms(due);
    return false;
}

void load_entry(int k) {
    playback.entry_not_loaded = true;
    playback.entry_started_ms = monotonic_ms();
    draw_playlist_footer_now();
    loading_popup(1);
    const bool held = playback.step_held;
    playback.step_held = true;
    playback.entry_not_loaded = load_module(playlist[k].path, failed_entry_due) != 0;
    playback.step_held = held;
    playback.failed_run = playback.entry_not_loaded ? 1 : 0;
    loading_popup(0);
    // The playlist moves on a second after a failure, whatever else comes.
    if (playback.entry_not_loaded) wake_at_ms(playback.entry_started_ms + kFailedEntryMs);
}

// The box of a run is there while the song that follows it plays: it
// closes as that song ends, so the playlist goes on.
bool run_box_due() {
    if (playback.close_run_box_early && playback.close_run_box_early()) return true;
    return !playback.entry_not_loaded && song_over();
}

// One box for the run of entries that could not be loaded; a run of one
// that had no box yet gets the one of its failure.
void tell_failed_run(bool none_played) {
    char text[kPathCapacity + 64];
    format_failed_run(text, sizeof text, playback.failed_run, none_played, playback.last_failure);
    const bool held = playback.step_held;
    playback.step_held = true;
    dismissable_error_box(text, run_box_due);
    playback.step_held = held;
}

void finish_playlist() {
    update_footer();
    draw_finished_message();
    leave_playlist();
}

// After an entry that could not be loaded (and had its box), the ones that
// follow are tried at once, without a box each, for at most
// kPassOverSliceMs a step: the song that plays, the keys and the screen go
// on between two steps. Once one loads, or the pass ends, one box tells how
// many were passed over.
void pass_over_failed_entries() {
    const long long until = monotonic_ms() + kPassOverSliceMs;
    playback.failed_run = std::max(playback.failed_run, 1);
    while (playlist_index < playlist_count - 1) {
        ++playlist_index;
        const int k = playlist_entry_at(playlist_index);
        if (load_module_quietly(playlist[k].path, playback.last_failure, sizeof playback.last_failure) == 0) {
            playback.entry_not_loaded = false;
            wtouchln(main_win, 0, getmaxy(main_win), 1);
            draw_playlist_footer_now();
            if (playback.failed_run > 1) tell_failed_run(false);
            playback.failed_run = 0;
            return;
        }
        ++playback.failed_run;
        if (monotonic_ms() >= until) {
            // Due again at once: the next step goes on from here.
            playback.entry_started_ms = monotonic_ms() - kFailedEntryMs;
            wake_at_ms(monotonic_ms());
            draw_playlist_footer_now();
            return;
        }
    }
    if (playback.failed_run > 1) tell_failed_run(false);
    playback.failed_run = 0;
    finish_playlist();
}

}  // namespace

void format_failed_run(char *out, std::size_t size, int count, bool none_played, const char *last) {
    if (count <= 1)
        std::snprintf(out, size, "%s", last);
    else if (none_played)
        std::snprintf(out, size, "None of the %d played. Last: %s", count, last);
    else
        std::snprintf(out, size, "%d entries passed over. Last: %s", count, last);
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

void seed_shuffle(std::uint64_t seed) { playback.shuffle_state = seed; }

int playlist_entry_at(int pass_position) {
    if (!random_mode) return pass_position;
    if (playback.order_count != playlist_count) {
        // The list changed since the pass began: the rest of the pass
        // follows a fresh order of the list as it is now.
        shuffle_order(playback.order, playlist_count, playback.shuffle_state);
        playback.order_count = playlist_count;
    }
    return playback.order[std::clamp(pass_position, 0, std::max(playback.order_count - 1, 0))];
}

void keep_index_in_list() {
    playlist_index = std::clamp(playlist_index, 0, std::max(playlist_count - 1, 0));
}

void start_playlist() {
    if (playlist_count == 0) return;
    playlist_index = 0;
    playlist_active = true;
    playlist_elapsed_ms = 0;
    begin_pass();
    load_entry(playlist_entry_at(0));
    draw_playlist_footer_now();
}

int start_command_line_playlist(int first, bool (*close_box_early)()) {
    playlist_index = 0;
    playlist_active = true;
    playlist_elapsed_ms = 0;
    begin_pass();
    playback.failed_run = 0;
    bool loaded = false;
    loading_popup(1);
    for (int k = std::clamp(first, 0, std::max(playlist_count - 1, 0)); k < playlist_count; ++k) {
        playlist_index = k;
        if (load_module_quietly(playlist[playlist_entry_at(k)].path, playback.last_failure,
                                sizeof playback.last_failure) == 0) {
            loaded = true;
            break;
        }
        ++playback.failed_run;
    }
    loading_popup(0);
    playback.entry_not_loaded = !loaded;
    if (loaded) draw_playlist_footer_now();
    if (playback.failed_run > 0) {
        playback.close_run_box_early = close_box_early;
        tell_failed_run(!loaded);
        playback.close_run_box_early = nullptr;
    }
    playback.failed_run = 0;
    if (!loaded) playlist_active = false;
    update_footer();
    return loaded ? 0 : -1;
}

void playlist_step() {
    if (!playlist_active || !main_win || playback.step_held) {
        if (!playback.step_held) update_footer();
        return;
    }
    keep_index_in_list();
    update_footer();
    const bool over = playback.entry_not_loaded ? failed_entry_due() : song_over();
    if (!over) return;
    draw_footer_border(1, 39);
    playlist_elapsed_ms += current_song_ms();
    if (playback.entry_not_loaded) {
        pass_over_failed_entries();
    } else if (playlist_index < playlist_count - 1) {
        ++playlist_index;
        load_entry(playlist_entry_at(playlist_index));
        wtouchln(main_win, 0, getmaxy(main_win), 1);
    } else {
        finish_playlist();
    }
    update_panels();
    doupdate();
}

void leave_playlist() {
    playlist_active = false;
    playlist_footer.shown = false;
    playlist_footer.clear_pending = true;
}

void draw_playlist_footer_now() {
    update_footer();
    draw_playlist_footer(player_view().sngtime);
}

void playlist_next() {
    if (!playlist_active) return;
    keep_index_in_list();
    if (playlist_index >= playlist_count - 1) return;
    ++playlist_index;
    playlist_elapsed_ms += current_song_ms();
    load_entry(playlist_entry_at(playlist_index));
    draw_playlist_footer_now();
}

void playlist_previous() {
    if (!playlist_active) return;
    keep_index_in_list();
    if (playlist_index <= 0) return;
    --playlist_index;
    load_entry(playlist_entry_at(playlist_index));
    draw_playlist_footer_now();
}
