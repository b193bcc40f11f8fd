// The player's own view of a module the sound library holds: helpers over
// the library's MODULE for the code that owns the library (the sound
// thread, or the main path while no thread runs). Nothing outside the
// player includes this.
#pragma once

#include <mikmod.h>

#include "1_player/module_info.h"
#include "1_player/setting_bounds.h"

// A description of `m`, loaded from `bytes` bytes of the file at `path`,
// numbered `load_number`, with the lengths of its `songs`; `archive` names
// the pack it was read from ("" for a plain file), looked up by the caller
// since this runs on the player's thread, which never waits on the file
// system.
ModuleInfoPtr describe_module(const MODULE &m, const char *path, long long bytes, std::uint64_t load_number,
                              const char *archive = "", std::vector<SongLength> songs = {});

// The pattern playing at the song position, 1-based, read from the order
// list and never outside it; numpos once the position is past the end.
int current_pattern_number(const MODULE &m);

// True when the module has played past its last position without wrapping
// round: the player has nothing more to play.
bool song_has_ended(const MODULE &m);

// The number of the library's voices the player uses for `m`.
int song_voice_count(const MODULE &m);

// The highest BPM the library plays for `m`: 255, or 256 (the top of the
// BPM meter) for the formats that may go above 255.
inline int highest_bpm(const MODULE &m) { return (m.flags & UF_HIGHBPM) ? 256 : 255; }

// The tempo the mixer times the next tick with, as the library's player
// hands it on at the end of each tick: the BPM with its relative speed, from
// 32 to what the format plays.
inline int mixer_bpm(const MODULE &m) {
    const int bpm = m.bpm + m.relspd < 32 ? 32 : m.bpm + m.relspd;
    return !(m.flags & UF_HIGHBPM) && bpm > 255 ? 255 : bpm;
}

// The BPM's bounds for `m`: from kLowestBpm to highest_bpm(m).
inline SettingBounds bpm_bounds(const MODULE &m) { return {setting_bounds(Setting::bpm).low, highest_bpm(m)}; }
