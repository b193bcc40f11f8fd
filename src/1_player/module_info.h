// What the screens know of a loaded module: a description the player makes
// once, when the module loads, and hands out read-only. It holds everything
// a screen shows of the module that does not change while it plays: names,
// counts, the order list, the patterns' tracks, the instruments and
// samples, the comment. A screen keeps it for as long as it likes; the
// module it was made from may be freed meanwhile, since nothing here points
// into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Sample flag bits, as the sound library sets them.
inline constexpr unsigned kSample16Bits = 0x0001;
inline constexpr unsigned kSampleStereo = 0x0002;
inline constexpr unsigned kSampleSigned = 0x0004;
inline constexpr unsigned kSampleBigEndian = 0x0008;
inline constexpr unsigned kSampleDelta = 0x0010;
inline constexpr unsigned kSampleItPacked = 0x0020;
inline constexpr unsigned kSampleLoop = 0x0100;
inline constexpr unsigned kSampleBidi = 0x0200;
inline constexpr unsigned kSampleReverse = 0x0400;
inline constexpr unsigned kSampleOwnPan = 0x1000;

struct InstrumentInfo {
    std::string name;
    unsigned flags = 0;
    int panning = 0;
    int global_volume = 0;
};

struct SampleInfo {
    std::string name;
    unsigned flags = 0;
    unsigned long length = 0;
    int panning = 0;
    long speed = 0;  // finetuned below zero where the format does so
    int volume = 0;
    int global_volume = 0;
};

// One song of a module, as the walk at load found it (song_walk.h).
struct SongLength {
    int start_position = 0;  // the position it starts at
    long long length_ms = 0;
    bool known = true;  // false: longer than the walk follows (an hour)
};

struct ModuleInfo {
    // Counts the loads of the run, from 1: a screen asks "is this still the
    // module playing?" by comparing it, never by an address.
    std::uint64_t load_number = 0;
    std::string path;       // the file, as it names it from anywhere
    std::string archive;    // the file name of the pack it was read from, "" for a plain file
    long long bytes = 0;    // the file's size
    std::string title;      // the song's name (may hold any bytes: drawn as text)
    std::string type;       // the format, as the library names it
    bool has_comment = false;
    std::string comment;
    int channels = 0;   // the module's channels
    int positions = 0;  // entries of the order list
    int instrument_count = 0;
    int sample_count = 0;
    bool high_bpm = false;  // the format may go above 255 BPM
    // What the module starts with.
    int initial_bpm = 0;
    int initial_speed = 0;
    int initial_tempo = 0;
    int initial_volume = 0;
    // The order list (the pattern of each position), the rows of each
    // pattern, the track of each pattern and channel (pattern * channels +
    // channel) and the tracks themselves, in the library's own track format
    // (see track_decoder.h), each copied up to its end.
    std::vector<int> order;
    std::vector<int> pattern_rows;
    std::vector<unsigned> pattern_tracks;
    std::vector<std::vector<std::uint8_t>> tracks;
    // Empty when the module has none of them (and then the counts above may
    // still say how many it names).
    std::vector<InstrumentInfo> instruments;
    std::vector<SampleInfo> samples;
    // The songs of the module, the main one first; empty when it was not
    // walked (a module loaded aside).
    std::vector<SongLength> songs;
};

using ModuleInfoPtr = std::shared_ptr<const ModuleInfo>;

// The pattern at order position `position`, or -1 outside the order list.
int pattern_at(const ModuleInfo &m, int position);

// The rows of pattern `pattern`, 0 for a pattern the module does not have.
int rows_of_pattern(const ModuleInfo &m, int pattern);

// The part of `path` after its last "/", or the whole path.
const char *file_name_of(const char *path);
