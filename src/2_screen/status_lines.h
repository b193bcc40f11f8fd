// The status lines of the main screen: the status row (row 4), the time box
// on the bottom border, the title spinner and the driver line (row 3).
#pragma once

#include <cstddef>

#include "1_player/player_view.h"

// The title spinner's state, owned by draw_status_row (F12 switches it).
extern int spinner_off;          // 1 (the default) keeps the title spinner still
extern int spinner_counter;      // spinner steps taken
extern int spinner_last_patpos;  // the pattern row at the last step

// The four spinner characters: "-", "\", "|", "/".
extern const char spinner_chars[4];

// Draws the status row, the time box (with the song box of a module that
// holds several songs), the playlist footer and the spinner;
// nothing once the song has passed its last position, so they stay frozen.
void draw_status_row();

// Draws the status row, the time box and the playlist footer whatever the
// song's position, for a main window drawn anew (at a new screen size):
// once the song has ended they show where it stopped.
void redraw_status_lines();

// Draws the output driver's name, the mode words and the mixing frequency.
void draw_driver_line();

// Pure helpers.
// "MM:SS" of a song time counted in 1/1024 s, as the time box shows it.
void format_song_time(char *out, std::size_t size, unsigned long sngtime);
// The time box shows the song's length after its elapsed time
// ("01:05/03:12") on a screen this wide, where it clears the playlist
// footer; on a narrower one the elapsed time alone.
inline constexpr int kLongTimeBoxColumns = 70;
bool time_box_shows_length(int columns);
// The time box's text after "Time: ": the elapsed "MM:SS" of `sngtime`,
// followed by "/MM:SS" of `length_ms` when `with_length` and the length is
// known (not negative).
void format_time_box(char *out, std::size_t size, unsigned long sngtime, long long length_ms, bool with_length);
// "[ Song 2/5 ]" for song `subsong` (0-based) of `count`; false (nothing
// to show) for a module of one song. Drawn left of the time box where that
// shows the length too.
bool format_song_box(char *out, std::size_t size, int subsong, int count);
// "16bit STEREO SURROUND HQMIXER (soft)" and the like for an md_mode.
void format_mode_words(char *out, std::size_t size, unsigned mode);
// The spinner characters for step k, at columns 1, 2, 12 and 13 of row 0.
void spinner_cells(int k, char (&cells)[4]);
