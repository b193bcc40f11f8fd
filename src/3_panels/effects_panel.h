// The effects panel: speed, tempo, BPM, reverb, stereo separation, the
// three volumes and the sound card's bass and treble, each shown as a level
// meter and changed with the left and right keys while the song plays.
#pragma once

#include "1_player/setting_bounds.h"

// The ten rows, in screen order (row index + 2 is the panel row).
enum EffectRow : int {
    kSpeedRow,
    kTempoRow,
    kBpmRow,
    kReverbRow,
    kStereoRow,
    kGenVolRow,
    kModVolRow,
    kMixVolRow,
    kBassRow,
    kTrebleRow,
    kEffectRowCount,
};

// One master-volume step: 3 on both channels of the stereo level word.
inline constexpr int kMixerVolumeStep = 771;
// The master volume's full level on both channels.
inline constexpr int kMixerVolumeFull = setting_bounds(Setting::mixer_volume).high;

// Pure helpers.
// The meter percentage of `value` on `row`, computed in single precision
// and truncated toward zero (the Speed row runs the other way: 100 minus
// the share of 256).
int effect_percent(int row, int value);
// `value` after the left (direction < 0) or right (direction > 0) key on
// `row`: one step where the row's bound allows it, otherwise unchanged.
// `top_bpm` is the highest BPM the player plays for the module.
int effect_step(int row, int value, int direction, int top_bpm);

// The current value of a row, read afresh from the module being played,
// the library's output settings or the mixer levels.
int effect_value(int row);

// The left or right key on a row: stores the stepped value into the
// setting it shows, and for the three mixer rows sends the level to the
// mixer (also when it stayed at its bound).
void change_effect(int row, int direction);

// Opens the effects panel at its registry corner and runs it until q or
// Escape; m moves it. Callable from any key loop: the loop beneath resumes
// with its screen repainted.
void effects_panel();
