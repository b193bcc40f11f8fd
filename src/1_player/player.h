// The player: it owns the playback. It loads modules, plays, pauses, stops
// and moves them, changes their settings and the mixer's, and keeps the
// state of it all on the sound side. The screens change the playback only
// through the commands here and see it only through the snapshot
// (player_thread.h's player_view()); nothing of the sound library reaches
// them.
//
// Commands that only change the playback return at once: the player
// carries them out in order, on the module as it has it then, so a burst of
// keys adds up. Those that report an outcome wait for it.
#pragma once

#include <cstddef>
#include <functional>

#include "1_player/module_info.h"
#include "1_player/settings.h"

// The output mode's bits, as the sound library takes them.
inline constexpr unsigned kMode16Bits = 0x0001;
inline constexpr unsigned kModeStereo = 0x0002;
inline constexpr unsigned kModeSoftMusic = 0x0008;
inline constexpr unsigned kModeHqMixer = 0x0010;
inline constexpr unsigned kModeSurround = 0x0100;
inline constexpr unsigned kModeInterpolate = 0x0200;
inline constexpr unsigned kModeReverse = 0x0400;

// Playback.
// `p`: a stopped module starts again (from its start if its song had
// ended); a song that ended plays again from its start; otherwise the
// playback pauses, or goes on when paused. Waits until the player did it,
// so the very next key finds the player paused or playing.
void player_play_or_pause();
// Pauses a playing module; false when there was nothing to pause (stopped,
// ended, paused already).
bool player_pause();
// Goes on after a pause; false when not paused.
bool player_resume();
// `t`: stops at the song's start; play or restart starts it again.
void player_stop();
// `A`: the song from its start, playing.
void player_restart();
// `a`: the pattern being played from its first row.
void player_restart_pattern();
// `n`, `v`: the next and the previous order position.
void player_next_position();
void player_previous_position();
// Jumps to order position `position` (0-based) of the module playing, if
// it has one.
void player_seek(int position);

// Moves within the song playing to `ms` milliseconds from its start, or
// `ms` from where it is when `relative`, landing on the row and tick its
// walk found, never past its end (song_seek.h).
void player_seek_time(long long ms, bool relative);

// Plays the next (`step` 1) or previous (-1) song of a module that holds
// several, from its start.
void player_change_song(int step);

// Whether a song that ends is followed by the module's next song, so that
// a module (a playlist entry) plays every song of its own in turn.
void player_set_all_songs(bool all);

// How many times a song that does not loop plays before it ends (1 or
// more); the last pass fades out when fading is on.
void player_set_loops(int loops);

// The settings the keys and the Effects panel change.
enum class PlayerSetting { speed, tempo, bpm, song_volume, reverb, stereo_separation, general_volume };

// Sets `setting` to what `change` makes of its value when the player gets
// to it; the BPM's change is told the highest BPM the module plays (255,
// or 256 for the formats that go above). Without a module the module's own
// settings do not change.
using SettingChange = std::function<int(int value, int highest_bpm)>;
void player_change_setting(PlayerSetting setting, SettingChange change);

// Mutes or unmutes channel `channel` (0 to 63).
void player_toggle_mute(int channel);
// `M`: mutes every channel of the module, or unmutes them all, by turns.
void player_mute_all();

// The module's end: loops (plays on from its restart position) or stops
// where its walk ended it; fades out at its end or not.
void player_set_loop(bool loop);
void player_set_fade(bool fade);

// Switches reverse stereo on or off, heard at once; false (nothing done)
// while the output is not stereo.
bool player_switch_reverse_stereo(bool on);

// The outcome of a change of the output mode.
struct OutputChange {
    bool ok = true;
    unsigned mode = 0;      // the mode in force afterwards
    unsigned mixfreq = 0;   // the mixing frequency in force afterwards
    char message[kPathCapacity] = "";  // why it failed ("Can't restart the sound output: ...")
};

// Sets the output mode's option bits (16-bit, stereo, reverse, surround,
// interpolation, high-quality mixer) to `mode_bits` and the mixing
// frequency to `mixfreq`, restarting the output when what it takes only at
// its start changed. When the restart fails the old mode and frequency
// come back. The module goes on from where it was.
OutputChange player_set_output(unsigned mode_bits, unsigned mixfreq);

// Loading.
// What a load reports: whether the new module plays, and when it does not,
// the text for the user, "'name': reason".
struct LoadResult {
    bool loaded = false;
    char message[kPathCapacity] = {};
};

// Loads the module at `file_path` and starts its song `subsong` (0-based;
// the first when it has no such song), looping and fading as `loop` and
// `fade` say. The module's songs are walked first, on a copy, for their
// lengths. On success the new module replaces and frees the
// old one (with its mutes and position keys' place); on failure the old one
// plays on as it was, and the file and reason are kept for
// last_load_failure(). Only a regular file is read (a FIFO, a device or a
// directory is "Not a file."), and opening it never waits.
LoadResult player_load(const char *file_path, bool loop, bool fade, int subsong = 0);

// The description of the module in the file at `file_path`, loaded aside
// (the module playing is not touched), or null with the reason for the user
// in `message`.
ModuleInfoPtr read_module_info(const char *file_path, char *message, std::size_t size);

// Waits until the player has carried out every command sent so far, and
// takes its snapshot afresh.
void player_catch_up();

// Frees the module and forgets it (before the library shuts down, and in
// tests).
void player_unload();
