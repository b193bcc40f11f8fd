// The lengths of a module's songs, found by walking them (song_walk.h) on
// the sound library's "no sound" driver: what `xq --lengths` prints for the
// playlist, which runs it aside so that no walk ever holds up the sound or
// a key.
#pragma once

#include <cstddef>
#include <vector>

// Registers the "no sound" driver and every loader and starts the library
// on it. Returns 0, or -1 with the library's reason in `message`.
int start_length_library(char *message, std::size_t size);
void stop_length_library();

// The length of each song of the module at `path`, in milliseconds, -1 for
// one longer than a walk follows. Returns 0, or -1 with the reason in
// `message`.
int module_song_lengths(const char *path, std::vector<long long> &lengths_ms, char *message, std::size_t size);
