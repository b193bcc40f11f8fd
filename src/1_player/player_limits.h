// What the sound library actually plays, so that the keys and panels that
// change a module's settings never show a value the player does not use.
#pragma once

#include <mikmod.h>

#include "1_player/setting_bounds.h"

// The highest BPM the library plays for `m`: 255, or 256 (the top of the
// BPM meter) for the formats that may go above 255.
inline int highest_bpm(const MODULE &m) { return (m.flags & UF_HIGHBPM) ? 256 : 255; }

// The BPM's bounds for `m`: from kLowestBpm to highest_bpm(m).
inline SettingBounds bpm_bounds(const MODULE &m) { return {setting_bounds(Setting::bpm).low, highest_bpm(m)}; }
