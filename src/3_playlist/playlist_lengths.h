// The lengths of the playlist's modules, for its list, its Info and its
// footer: found aside by the program itself ("PROGRAM --lengths FILE", run
// by a thread of this file's own), so that no walk of a song ever holds up
// a key or the sound, and kept per file by its size and time of change.
#pragma once

#include <cstdint>

// The program that measures ("xq"), set once at start-up; without it
// (in tests) nothing is measured and every length stays unknown.
void set_length_program(const char *path);

// Asks for the length of every playlist entry the cache does not hold yet
// (after entries were added or a playlist loaded); returns at once.
void measure_playlist_lengths();

// The length of the first song of the module at `path` in milliseconds
// (what a playlist entry plays), and how many songs it holds; false while
// not known (not measured yet, does not load, or longer than an hour).
bool cached_song_length(const char *path, long long &length_ms, int &songs);

// The whole playlist's length in milliseconds; false while any entry's is
// not known.
bool playlist_length_ms(std::uint64_t &total_ms);
