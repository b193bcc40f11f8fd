// The sound output: starting and stopping the sound library, the loop of the
// sound thread that mixes and writes the sound, restarting the driver with
// new settings, and finding and riding out a lost output.
#pragma once

#include <cstddef>
#include <vector>

// Registers the library's drivers and loaders, sets the output mode from
// the settings, starts libmikmod with its autodetected driver, then the
// sound thread. Returns 0, or -1 with the library's reason in `message`.
int start_sound(char *message, std::size_t size);

// Stops the sound thread (before the module may be freed) and shuts the
// library down, if start_sound succeeded.
void stop_sound();

// The bytes of the module file being played, kept from its load so that a
// restart of the driver loads its samples again from memory: a file moved
// or deleted since does not matter. Voices held from the module before are
// forgotten. Runs with the library (the loader's command).
void remember_module_data(std::vector<char> data);

// The bytes remembered by remember_module_data (a tune of the file is
// loaded from them).
const std::vector<char> &remembered_module_data();

// Restarts the sound driver with the current md_mode and md_mixfreq
// (MikMod_Reset) while the module goes on from where it was: the restart
// throws away the samples the driver held, so they are loaded again from the
// module's bytes, and the notes that were sounding go on from their place in
// their samples. Everything else of the module (position, row, song time,
// speed, tempo, BPM, volume, flags, muted channels, a pause or a stop) is
// untouched, and `module` stays the same. Returns 0, or -1 with the
// library's error in MikMod_errno: when the driver does not start again with
// the new settings the "no sound" driver takes over, so the module goes on
// silently and the caller may restore the old settings and call this again.
// A driver whose server cannot be reached is not started (a PulseAudio
// server that went away makes that fail the same way). Runs with the
// library: on the sound thread, in a command.
int restart_output();

// The sound thread's loop: until it is asked to end, carries out the
// screens' commands and writes the sound: to our PulseAudio output when it
// wants more (sleeping until then), to any other driver as fast as its
// blocking writes take it. While nothing plays (stopped, paused, a song
// that ended) or the output is lost it sleeps until a command comes (or the
// next restart of a lost output, every kRestartEveryNs, is due).
void run_sound_loop();

// How far the sound written runs ahead of the wall clock. The driver's
// writes block once its buffer is full, so with a working output this stays
// at about the buffer's length; a driver that takes sound faster than it
// plays it (the "no sound" driver, or a server that went away) would race
// on, so the loop holds the sound it writes to at most a limit ahead.
struct AudioPace {
    long long anchor_ns = -1;  // wall time the sound counted from `base_ns` started at
    long long base_ns = 0;     // sound mixed before the anchor
    long long over_since_ns = -1;  // since when the sound is beyond the limit, or -1
};

// Forgets the past: the next call starts counting afresh (after a pause, a
// stop or a restart, when nothing was written for a while).
void reset_pace(AudioPace &pace);

// Nanoseconds of sound written beyond what has played by `now_ns`, given
// `mixed_ns` of sound mixed in all. When the output fell behind (it played
// silence meanwhile) the count starts again from now, at 0.
long long sound_ahead_ns(AudioPace &pace, long long mixed_ns, long long now_ns);

// Records whether the sound is beyond `limit_ns` at `now_ns`; returns true
// once it has been held at that limit for kLostAfterNs, never falling back
// below half of it: the driver takes sound without playing it.
bool output_stalled(AudioPace &pace, long long ahead_ns, long long limit_ns, long long now_ns);

// The most sound written ahead: with a real driver far more than its buffer
// holds, so only a lost output reaches it; with the "no sound" driver a
// short stretch, so the song moves at the pace of the clock.
inline constexpr long long kMostAheadNs = 2'000'000'000LL;
inline constexpr long long kSilentAheadNs = 30'000'000LL;
inline constexpr long long kLostAfterNs = 300'000'000LL;

// How often a lost output is restarted.
inline constexpr long long kRestartEveryNs = 3'000'000'000LL;

// How long one tick of the player lasts, in nanoseconds, at `bpm` (the
// player's BPM with its relative speed, kept within what it plays).
long long tick_ns(int bpm);

// Where the song was when a stretch of sound was mixed, so that a lost
// output can put it back to what was heard last.
struct SongPlace {
    long long mixed_ns = -1;  // sound mixed before this place
    int sngpos = 0;
    int patpos = 0;
    unsigned long sngtime = 0;
};

inline constexpr int kPlaceHistory = 256;

struct PlaceHistory {
    SongPlace places[kPlaceHistory];
    int next = 0;
};

void note_place(PlaceHistory &history, const SongPlace &place);

// The latest place mixed at or before `mixed_ns`, or nullptr when none is
// kept that early.
const SongPlace *place_heard_at(const PlaceHistory &history, long long mixed_ns);
