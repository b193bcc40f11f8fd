// Walking a song through: the library's own tick run from the song's start,
// mixing nothing, until the song ends. It gives the song's length, to the
// tick, and where the song is at the start of every row, and it finds the
// further songs of a module (the level tunes of a game module) in the
// positions the first song never reaches.
//
// Jumps are taken as the composer wrote them, and a song ends at the first
// row that would play a second time (a pattern loop plays its rows again
// without ending it), or at the end of its order list. A song that loops
// for ever ends its walk at its first repeat: its length is that first
// pass.
//
// The walk drives the module the library plays (`pf`), so it runs on a
// copy: the module being played is never touched. Only the code that owns
// the library calls it.
#pragma once

#include <cstdint>
#include <memory>
#include <mikmod.h>
#include <vector>

// A position of the order list that ends the song there ("---"), as a
// loader leaves it: the file's 255, or the library's own end pattern.
inline constexpr int kEndMarker = 255;
inline constexpr bool is_end_order(unsigned order) { return order == kEndMarker || order == 0xFFFF; }

// The longest song a walk follows: past it the walk stops and calls the
// length unknown.
inline constexpr long long kLongestWalkNs = 3600LL * 1'000'000'000LL;

// The most songs a module is searched for.
inline constexpr int kMostSongs = 256;

// The player's state just before the tick that would start a row that has
// played already: a player that gets there for the song's last time has
// reached the song's end. The same state may come earlier in a song that
// takes a jump twice (it then leads to a row not yet played), so the
// ending counts how often it came.
struct SongEndKey {
    int sngpos = 0;
    int patpos = 0;
    int posjmp = 0;
    int patbrk = 0;
    int patdly = 0;
    int patdly2 = 0;
    int pat_repcrazy = 0;
    bool operator==(const SongEndKey &) const = default;
};

// The start of a row, as the walk met it: where it lies in the song's time
// and the player's state just before the tick that started it, which is
// what a seek puts back to land there.
struct SongRow {
    long long time_ns = 0;
    unsigned long sngtime = 0;  // the library's song clock, in 1/1024 s
    unsigned sngremainder = 0;
    int sngpos = 0;
    int patpos = 0;
    int sngspd = 0;
    int bpm = 0;
    int volume = 0;
    bool entry = false;  // entered from another position or by a jump
    bool at_end_key = false;  // the tick that started it began in the song's end state
};

// One song of a module.
struct SongWalk {
    int tune_start = -1;  // in a file of several tunes (order_list.h), the order its tune starts at; -1: the module as loaded
    int start_position = 0;
    long long length_ns = 0;
    bool length_known = true;     // false: the walk stopped at kLongestWalkNs
    bool ends_at_repeat = false;  // ends where a row would play again (end_key); else at its order list's end
    SongEndKey end_key;
    int end_key_count = 0;     // how often the end state comes in the song, its end included
    long long repeat_ns = 0;   // where the row that would play again first played: a next pass goes on from there
    std::vector<SongRow> rows;  // every row, in the order played
};

// How often the end state of `walk` came before `time_ns` of its song.
int end_keys_before(const SongWalk &walk, long long time_ns);

using SongWalks = std::vector<SongWalk>;
using SongWalksPtr = std::shared_ptr<const SongWalks>;

// Puts `m` at the start of the song that begins at position `start`: speed,
// tempo, volume and clock as the module starts, the first row taken up at
// the next tick. Touches only the module's fields, so it may run inside a
// tick; the voices are left as they are.
void restart_song_at(MODULE &m, int start);

// Walks the song of `m` that starts at position `start` (`m` must be the
// module the library plays, and is left wherever the walk ended), marking
// in `reached` (one entry per position) each position it plays.
SongWalk walk_song(MODULE &m, int start, std::vector<char> &reached);

// Walks every song of `m` (the module the library plays): the first from
// position 0, then one from each first position no earlier song reached.
SongWalks walk_songs(MODULE &m);

// Loads a copy of the module in `bytes` aside and walks its songs; a file
// of several tunes (each after an end marker) has each tune walked in a
// copy of the file that holds that tune alone (tune_bytes). Empty when it
// does not load. The library plays no module afterwards: a caller
// that had one starts it again.
SongWalks walk_module_bytes(const char *bytes, std::size_t size);

// The row playing at `time_ns` of `walk`: the last row that starts at or
// before it (the first row before the song's start); -1 for a walk with no
// rows.
int row_at_time(const SongWalk &walk, long long time_ns);

// What the next tick of `m` does to its place, worked out as the library's
// player does it: whether it starts a row (or plays a delayed row again),
// and which row of which position, taken up by a jump (a position jump, a
// pattern break or the end of a pattern) or not.
struct RowStart {
    bool starts = false;
    bool delay_repeat = false;  // a pattern delay plays the row again
    bool jump = false;
    int sngpos = 0;
    int patpos = 0;
};
RowStart next_row_start(const MODULE &m);

// The state compared with an end key.
SongEndKey end_key_of(const MODULE &m);

// True when the next tick of `m` starts a row (a row's last tick is due):
// the moment an end key is compared. A module just started or just moved
// (its tick count at the speed itself) never counts.
inline bool row_starts_next_tick(const MODULE &m) { return m.sngspd > 0 && m.vbtick + 1 == m.sngspd; }

// How a song playing ends: where its walk ended it, after `loops` passes,
// the last fading out when `fade`.
struct SongEnding {
    int start_position = 0;
    bool ends_at_repeat = false;
    SongEndKey end_key;
    int end_key_count = 0;    // the end state's comings that end a pass
    int end_keys_seen = 0;    // its comings in this pass so far
    int end_keys_at_repeat = 0;  // its comings before the place a next pass goes on from
    int loops = 1;
    int passes_done = 0;
    bool fade = false;
    // A song that ends at a repeat fades its last pass out over its last
    // 128 ticks, as the library fades a song out on its last position: the
    // time of a pass, how far this one is, and the volume the fade began at.
    long long first_pass_ns = 0;
    long long later_pass_ns = 0;  // from the place a next pass goes on from
    long long pass_ns = 0;
    int fade_from = -1;
};

// The ticks a song fades out over.
inline constexpr int kFadeTicks = 128;

// The ending of `walk`'s song.
SongEnding ending_of(const SongWalk &walk, int loops, bool fade);

// Runs one tick of the library's player on `m` (the module it plays),
// ending the song where its walk ends it: a song that does not wrap round
// (`wrap` off) stops there, or starts its next pass within the same tick,
// so the passes follow each other without a gap. The song ended has its
// position past the order list, as the library leaves a song that ran off
// its end. Runs inside the library's mixing: it touches only the module's
// fields.
void play_song_tick(MODULE &m, SongEnding &ending);
