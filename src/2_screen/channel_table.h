// The channel table of the main screen: one row per module channel from
// row 6 down, with the cursor markers, the per-channel mute flags and the
// per-voice peak tables.
#pragma once

#include <curses.h>

#include "1_player/player_view.h"

inline constexpr int kMaxChannels = kPlayerChannels;

// The channel table's state, owned by this file's functions on the main
// path; the voice monitors share the peak tables and the `u` key's choice.
extern int show_real_volume;         // 1: the table shows the real (mixed) volume, 0: the voice volume
extern int cursor_channel;           // selected channel, 0-based
extern int channel_page;             // page of the table shown
extern int previous_cursor_channel;  // channel under the markers when last drawn
extern chtype marker_saved_chars[2]; // cells under the markers at columns 0 and 3
extern int previous_volume[kMaxChannels];     // per channel, last volume shown
extern int voice_volume_peak[kMaxChannels];   // per voice, reset by every load
extern int real_volume_peak[kMaxChannels];    // per voice, kept for the run
extern int frequency_peak[kMaxChannels];      // per voice, kept for the run
extern int position_peak[kMaxChannels];       // per voice, kept for the run

// Table rows per page: the screen's rows less the six above and the border.
int rows_per_page();

// Reverse-video column header on row 5, 80 columns wide; its last column
// names the real or the voice volume as show_real_volume says.
void draw_column_header();

// Draws the rows of channel_page, then the cursor markers.
void draw_channel_table();

// Moves the ">" and "<" markers to the row of cursor_channel.
void draw_cursor_markers();

// Saves the cells at row 3, columns 0 and 3, as the cells the markers will
// cover first.
void save_marker_cells();

// Carries out a cursor key of the main screen (Down, Up, Page Down, Page
// Up) and moves the markers; other keys do nothing.
void move_channel_cursor(int key);

// Enter on the main screen: mutes or unmutes the channel under the cursor.
void toggle_cursor_channel_mute();

// Pure helpers of the table.
// A voice number the peak tables may be indexed with.
bool is_valid_voice(int voice);
// Raises table[voice] to value; voices outside the table are ignored.
void note_peak(int (&table)[kMaxChannels], int voice, int value);
// table[voice], or 0 for a voice outside the table.
int peak_of(const int (&table)[kMaxChannels], int voice);
// value / peak * 100, truncated (a peak below 2 counts as 1).
int volume_percent(long value, int peak);
// How many dots a panning distance x (0 to 127) moves the letter: x / 127 *
// 100 / 33, truncated.
int panning_step(int x);
// The attribute of a voice volume: normal, green, bold green, bold yellow,
// bold red, and bold white on red at 256.
attr_t volume_band(int v);

// Per-module display state after a load: cursor and page 0.
void reset_channel_state();

// Every voice_volume_peak entry back to 256, as after a load.
void reset_voice_volume_peaks();
