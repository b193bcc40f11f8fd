// Playing the playlist entry after entry.
//
// Once a playlist has been started, every idle step looks at the player:
// when the module has ended (or the entry could not be loaded, a second
// after its failure), its play time is added to the total and the next
// entry is loaded, in order or at random; after the last one the finished
// message is shown. Entries that cannot be loaded either, right after one
// that could not, are passed over without a box each, and one box tells
// how many were. The player wakes the screens when a song ends, so the
// playlist moves on at once, without a timer. At random, each start of the
// playlist draws a fresh order in which every entry plays once: the step
// and N follow it, V goes back through it, and the playlist finishes after
// the whole pass.
#pragma once

#include <cstddef>
#include <cstdint>

// The playlist's playback owns these; the remote control and the resume
// file read them.
extern bool playlist_active;        // a started playlist is being played
extern int playlist_index;          // the place in the pass: the entry playing in order, its place in the shuffled order at random
extern std::uint64_t playlist_elapsed_ms;  // play time of the entries that have finished, in milliseconds

// How long after an entry failed to load the playlist moves on (its box
// closes then, if nobody pressed Enter).
inline constexpr long long kFailedEntryMs = 1000;

// The entries after it that cannot be loaded either are passed over for at
// most this long in one step, so the keys and the screen go on meanwhile.
inline constexpr long long kPassOverSliceMs = 40;

// The text of the one box that tells of `count` entries that could not be
// loaded in a row, the last failing with `last` ("'name': reason"): `last`
// alone for one; with `none_played` (a start that found nothing to play)
// "None of the N played. Last: ...", otherwise "N entries passed over.
// Last: ...".
void format_failed_run(char *out, std::size_t size, int count, bool none_played, const char *last);

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

// Starts the playlist from entry 0 with the time at 0 (Done in the playlist
// panel): entry 0 is loaded, the footer drawn. An entry that cannot be
// loaded is passed over a second later.
void start_playlist();

// Starts the playlist given on the command line (or resumed) at entry
// `first`, where there is no module yet: entries that cannot be loaded are
// passed over at once, and one box tells of them (the one that plays
// meanwhile), until Enter, q or Escape, the end of that song, or
// `close_box_early` (when given) returns true. Returns 0, or -1 when none
// could be loaded (once the box is closed).
int start_command_line_playlist(int first = 0, bool (*close_box_early)() = nullptr);

// The idle step's part, on the main path: does nothing unless a playlist is
// playing and its entry has ended (or failed a second ago); then it moves
// on. Keeps the footer's figures up to date.
void playlist_step();

// A module chosen by hand ends the playlist: it stops moving on, and its
// footer goes at the next status-row draw.
void leave_playlist();

// Draws the footer as the playlist stands now; no refresh.
void draw_playlist_footer_now();

// The N and V keys: the next and the previous entry of a playing playlist.
void playlist_next();
void playlist_previous();

// Keeps playlist_index inside a list that shrank while it plays.
void keep_index_in_list();
