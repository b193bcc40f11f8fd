// The four voice monitors: side by side, one vertical level meter per voice
// of the player, a panning letter above each meter and a numbered axis below.
//
//   All channels      volume of the module's first numchn voices
//   All voices        the same volume for all 64 voices, with a row of
//                     blocks showing which voices sound and how loud
//   Voices position   each voice's position in its sample
//   Voices frequency  each voice's playback frequency
//
// Each meter is a percentage of the largest value seen so far for the voice,
// kept in the channel table's peak tables. Only voices 0 to 63 exist in those
// tables, so only they are ever queried or drawn, and a voice whose column
// lies past the window's right edge is left out.
#pragma once

#include <cstdint>
#include <curses.h>

#include "2_screen/key_table.h"
#include "2_screen/keys.h"
#include "3_panels/panel_positions.h"
#include "3_panels/panel_window.h"

enum class Monitor {
    all_channels,
    all_voices,
    voices_position,
    voices_frequency,
};

inline constexpr int kMonitorCols = panel_layout(PanelKind::all_channels).cols;
inline constexpr int kMonitorRows = panel_layout(PanelKind::all_channels).rows;
inline constexpr int kAllVoicesRows = panel_layout(PanelKind::all_voices).rows;
inline constexpr int kMonitorVoices = 64;     // voices in the peak tables
inline constexpr int kNarrowLayoutLimit = 32;  // up to this many channels get two columns each
inline constexpr int kMeterBottomRow = 12;
inline constexpr int kPanningRow = 2;
inline constexpr int kActivityRow = 13;  // All voices: one block per voice

// Pure helpers of the monitors.

// " All channels", " All voices", " Voices position", " Voices frequency".
const char *monitor_title(Monitor kind);

// How many voices a monitor shows for a module of `channels` channels: all
// 64 for All voices, otherwise the channels that exist in the peak tables
// (0 to 64).
int monitor_voice_count(Monitor kind, int channels);

// True when `channels` channels get two columns each (at most 32).
bool is_narrow_layout(int channels);

// The (first) column of voice `voice` (0-based): 2 + 2 * voice in the narrow
// layout, 2 + voice in the wide one.
int monitor_column(int voice, bool narrow);

// One axis mark: a "|" at `col` and `number` printed below it.
struct AxisTick {
    int col;
    int number;
};
inline constexpr int kMaxAxisTicks = 18;

// The axis marks for `voices` shown voices, under voices 1, 4, 8, ... and the
// last one; All voices always has 1, 4, ..., 60 and 64 at columns v + 1
// (1 at column 2). Returns how many were written into `ticks`.
int monitor_axis(Monitor kind, int voices, bool narrow, AxisTick (&ticks)[kMaxAxisTicks]);

// value / peak * 100, truncated toward zero; a peak below 1 counts as 1.
// The quotient is taken in single precision, the product in double.
int monitor_percent(long value, int peak);

// The panning letter of a library panning value taken modulo 256: 'M' for
// 128, 'L' below (surround, 512, reads as 'L'), 'R' above; and its
// attribute: bold blue, bold magenta, bold cyan.
char panning_letter(unsigned long panning);
attr_t panning_letter_attr(unsigned long panning);

// The All voices block of a voice volume: normal at 0, bold green to 127,
// bold yellow to 255, bold red from 256.
attr_t voice_activity_attr(int volume);

// An open monitor.
struct VoiceMonitor {
    Monitor kind = Monitor::all_channels;
    PanelWindow pw;
    std::uint64_t drawn_module = 0;    // the load number of the module the axis was drawn for
    int drawn_channels = 0;            // its channel count then
    int drawn_rows = 0;                // the window's size then
    int drawn_cols = 0;
    bool narrow = true;
    std::uint64_t drawn_snapshot = 0;  // the player's snapshot the meters were last drawn from
    bool holds_voices = false;         // it asked the player for the voices, until it closes
};

// Opens a monitor at its corner: window, title bar, blank body and axis for
// the current module. The meters are not drawn yet.
VoiceMonitor open_voice_monitor(Monitor kind);

// Blanks the body and draws the axis again for the current module (after
// another module was loaded under the monitor).
void reinit_voice_monitor(VoiceMonitor &monitor);

// True (after re-initialising it) when the module or its channel count has
// changed since the monitor drew its axis, or the window's size (a resized
// screen cuts or grows it; the whole monitor is then drawn again).
bool follow_module(VoiceMonitor &monitor);

// One drawing pass: meters, panning letters, the All voices block row and
// the volume-mode label, with the peak tables raised on the way.
void draw_voice_pass(VoiceMonitor &monitor);

// Carries out one key (ERR for a timeout) in the monitor; returns false
// when the key closes it.
bool voice_monitor_key(VoiceMonitor &monitor, int key);

// Reads keys until `q` or Escape. After each key, and each new snapshot of
// the player (a frame while the song moves), it draws a pass, then runs the
// idle step.
void run_voice_monitor(VoiceMonitor &monitor);

// Deletes the monitor's panel and window and repaints what lay beneath.
void close_voice_monitor(VoiceMonitor &monitor);

// The main loop's entry: beeps without a module (All voices opens anyway),
// otherwise opens the monitor and runs it until it is closed.
void voice_monitor(Monitor kind);

// The keys the All channels and All voices monitors read themselves; they
// pass every other key to the command keys.
extern const KeyList kVolumeMonitorKeys;
// The keys the Voices position and Voices frequency monitors read: no
// other key acts there.
extern const KeyList kVoiceMonitorKeys;
