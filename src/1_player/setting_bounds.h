// The bounds of every setting a key, an effects row or the options panel
// changes, in one table: the command keys, the main screen's mixer keys,
// the effects panel, the options panel's number editor and the options file
// all keep their settings within these.
#pragma once

#include <cstddef>
#include <iterator>

// The lowest and the highest value a setting is stepped to.
struct SettingBounds {
    int low;
    int high;
};

enum class Setting : int {
    speed,             // the song's ticks per row (`sngspd`)
    tempo,             // the song's initial tempo (`inittempo`)
    bpm,               // the song's BPM, up to 256 for the formats that go above 255
    song_volume,       // the module's volume
    reverb,            // the library's reverb
    stereo_separation, // the library's panning separation
    general_volume,    // the library's output volume
    mixer_volume,      // the sound card's master volume, a stereo level word
    mixer_bass,        // the sound card's bass
    mixer_treble,      // the sound card's treble
    mixing_frequency,  // the library's mixing rate, in Hz
    refresh_delay,     // the key timeout of every window, in milliseconds
    separation,        // the stereo separation, in percent: 0 mono, 100 as the module pans
    crossfeed,         // the headphone crossfeed: 0 off, or one of its three presets
    song_loops,        // the passes of a song that does not loop before it ends
    count,
};

// libmikmod never plays slower than this.
inline constexpr int kLowestBpm = 32;

// Indexed by Setting.
inline constexpr SettingBounds kSettingBounds[] = {
    {0, 256},            // speed
    {0, 256},            // tempo
    {kLowestBpm, 256},   // bpm
    {0, 256},            // song_volume
    {0, 15},             // reverb
    {0, 128},            // stereo_separation
    {0, 128},            // general_volume
    {0, 25700},          // mixer_volume: full volume on both channels
    {0, 256},            // mixer_bass
    {0, 256},            // mixer_treble
    {4000, 60000},       // mixing_frequency
    {0, 10000},          // refresh_delay
    {0, 100},            // separation
    {0, 3},              // crossfeed
    {1, 100},            // song_loops
};
static_assert(std::size(kSettingBounds) == static_cast<std::size_t>(Setting::count));

constexpr SettingBounds setting_bounds(Setting setting) { return kSettingBounds[static_cast<int>(setting)]; }

// Pure: `value` moved by `step` when the result stays within `bounds`,
// otherwise unchanged, so a key at its bound does nothing. A value already
// beyond a bound can still move back toward it.
constexpr int step_within(int value, int step, SettingBounds bounds) {
    const long long moved = static_cast<long long>(value) + step;
    if (step < 0) return moved >= bounds.low ? static_cast<int>(moved) : value;
    return moved <= bounds.high ? static_cast<int>(moved) : value;
}

// The library's panning separation for a stereo separation of `percent`
// (100 % is the library's full 128), rounded; and back. Every percent has
// a separation of its own, so a percent comes back from its separation.
constexpr int pansep_of_separation(int percent) {
    const SettingBounds bounds = setting_bounds(Setting::separation);
    const int kept = percent < bounds.low ? bounds.low : percent > bounds.high ? bounds.high : percent;
    return (kept * 128 + 50) / 100;
}
constexpr int separation_of_pansep(int pansep) {
    const int kept = pansep < 0 ? 0 : pansep > 128 ? 128 : pansep;
    return (kept * 100 + 64) / 128;
}
