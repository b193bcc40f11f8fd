// Seeking within a song: the player lands on the row and tick its walk
// found for the time asked, the song having played there silently. It jumps
// to a row a little before the target that the walk met, puts back the
// speed, tempo, volume and clock the song had there, then advances with the
// library's own tick, mixing nothing, so that notes, volumes and effects are
// those playback would have. A voice sounding across the target goes on
// from the place in its sample it would have reached.
#pragma once

#include <mikmod.h>

#include "1_player/song_walk.h"

// How far before the target the silent run starts, at least, when the walk
// met a row that far back: enough for the notes that sound across the
// target to have started.
inline constexpr long long kSeekLeadNs = 2'000'000'000LL;
// The longest silent run: it starts at a position's first row when one
// lies this close, else at any row kSeekLeadNs before the target.
inline constexpr long long kLongestSeekRunNs = 10'000'000'000LL;

// The row of `walk` the silent run towards `target_ns` starts from.
int seek_start_row(const SongWalk &walk, long long target_ns);

// Where a voice is in its sample after playing `step` more frames from
// `position`, following the sample's loop (forwards, or back and forth):
// -1 once a sample without a loop has played to its end.
double sample_position_after(double position, double step, unsigned long length, unsigned long loop_start,
                             unsigned long loop_end, bool loop, bool bidi);

// The voices a seek starts: each sample and the place in it, with its
// volume, frequency and panning, started at the next tick of the mixer, so
// that the rest of the tick being mixed when the seek came goes on with
// what sounded (no silence) and the new place starts on its tick.
struct SeekVoices {
    int count = 0;  // 0: nothing waits
    SAMPLE *sample[UF_MAXCHAN] = {};
    ULONG position[UF_MAXCHAN] = {};
    UWORD volume[UF_MAXCHAN] = {};  // in the driver's units
    ULONG frequency[UF_MAXCHAN] = {};
    ULONG panning[UF_MAXCHAN] = {};
};

// Moves `m` (the module the library plays, at the song `walk` describes) to
// `target_ns` of its song, cut to the song's length, landing on the first
// tick that starts at or after it. The voices sound on as they did until
// start_seek_voices puts in place those `voices` holds, at the landing.
// Returns the song time landed on.
long long seek_song(MODULE &m, const SongWalk &walk, long long target_ns, SeekVoices &voices);

// Starts the voices a seek left waiting, at the place each had reached, and
// forgets them. Touches only the driver, so it runs inside the mixer's
// tick, before the library's player.
void start_seek_voices(SeekVoices &voices);
