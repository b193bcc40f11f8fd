// The order list as a module file holds it, for the formats whose loaders
// in the sound library stop at the first end marker ("---"): Scream
// Tracker 3 and Impulse Tracker. A game module keeps further tunes after
// that marker, which the library never loads; a copy of the file whose
// order list skips ("+++") everything before such a tune loads that tune.
// Pure helpers: they only read and copy bytes, never past the end given.
#pragma once

#include <cstddef>
#include <vector>

// The order list's markers.
inline constexpr unsigned char kOrderSkip = 254;  // "+++"
inline constexpr unsigned char kOrderEnd = 255;   // "---"

// Where the order list lies in the file: its byte offset and its entries.
struct FileOrderList {
    std::size_t offset = 0;
    int count = 0;
};

// Finds the order list of an S3M ("SCRM") or IT ("IMPM") file; false for
// any other file, or one too short to hold the list it announces.
bool find_order_list(const char *bytes, std::size_t size, FileOrderList &out);

// The order indices at which the tunes of a file start, when it holds a
// tune after an end marker: the first playable order, and after each run
// of markers the first playable order that follows; empty when the file
// holds one tune (or is no S3M or IT).
std::vector<int> tune_starts(const char *bytes, std::size_t size);

// A copy of the file that holds only the tune starting at order `start`:
// the orders before it skip markers (so jumps keep pointing where they did,
// the loader mapping the file's order numbers), every order from the
// tune's end marker on an end marker (the library lets a lone marker pass
// at times, never two). Empty when the file has no such order.
std::vector<char> tune_bytes(const char *bytes, std::size_t size, int start);
