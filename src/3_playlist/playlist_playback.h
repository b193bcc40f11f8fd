// Playing the playlist entry after entry.
//
// Once a playlist has been started, an alarm fires once a second. Its
// handler only records that it fired; the idle step of whichever key loop
// is waiting then carries out the tick: when the module has ended (or the
// entry could not be loaded), its play time is added to the total and the
// next entry is loaded, in order or at random; after the last one the
// finished message is shown. At random, each start of the playlist draws a
// fresh order in which every entry plays once: the tick and N follow it,
// V goes back through it, and the playlist finishes after the whole pass.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>

extern bool playlist_active;        // a started playlist is being played
extern bool footer_clear_pending;   // the playlist footer is to be erased at the next status-row draw
extern int playlist_index;          // the place in the pass: the entry playing in order, its place in the shuffled order at random
extern std::uint64_t playlist_elapsed_ms;  // play time of the entries that have finished, in milliseconds
extern volatile std::sig_atomic_t playlist_alarm_pending;  // the once-a-second alarm has fired

// Milliseconds of a song time counted in 1/1024 s, rounded to the nearest.
std::uint64_t song_time_ms(unsigned long sngtime);

// "MM:SS" of a time in milliseconds; the minutes stop at 9999.
void format_playlist_time(char *out, std::size_t size, std::uint64_t ms);

// The footer's text after "Playlist:", "%3d/%3d   (MM:SS)", with the gap
// narrowed when big numbers would run past the footer's frame.
void format_footer_counts(char *out, std::size_t size, int entry, int count, std::uint64_t ms);

// "[ Playlist finished %3d/%3d (MM:SS) ]".
void format_finished_message(char *out, std::size_t size, int entry, int count, std::uint64_t ms);

// The next number of the generator whose state is `state` (splitmix64).
std::uint64_t next_random(std::uint64_t &state);

// Fills order[0] to order[count - 1] with the numbers 0 to count - 1, each
// once, in a random order drawn from `state` (the same state gives the
// same order).
void shuffle_order(int *order, int count, std::uint64_t &state);

// Seeds the random order of the playlist; called once at start-up.
void seed_shuffle(std::uint64_t seed);

// The entry that plays at place `pass_position` of the pass: the same
// number in order; at random, that place of the pass's shuffled order, made
// when the playlist started (or afresh when the list's size changed since).
int playlist_entry_at(int pass_position);

// Sets playlist_index to 0, installs the alarm's handler and arms the first
// alarm.
void start_playlist_timer();

// Starts the playlist from entry 0 with the time at 0 (Done in the playlist
// panel): the player stops, entry 0 is loaded, the footer drawn. An entry
// that cannot be loaded is passed over at the next tick.
void start_playlist();

// Starts the playlist given on the command line (or resumed) at entry
// `first`, where there is no module yet: entries that cannot be loaded are
// passed over at once. Returns 0, or -1 when none could be loaded.
int start_command_line_playlist(int first = 0);

// The tick's work, on the main path: does nothing unless a playlist is
// playing and its entry has ended.
void playlist_tick();

// Called by every idle step: runs the tick when the alarm has fired, then
// arms the next alarm.
void act_on_playlist_alarm();

// Draws the footer on the left of main_win's bottom border; no refresh.
void draw_playlist_footer();

// Restores the bottom border where the footer was; no refresh.
void clear_playlist_footer();

// The N and V keys: the next and the previous entry of a playing playlist.
void playlist_next();
void playlist_previous();

// Keeps playlist_index inside a list that shrank while it plays.
void keep_index_in_list();
