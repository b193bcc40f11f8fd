// The persistent settings and the options file "$HOME/.xq/options".
//
// The file holds one "key=number" line per setting ("colors=NAME" for the
// colour scheme). It is read twice at
// start-up (once before the sound library starts, for the sound options and
// refresh_delay; once after the default panel corners exist, for the saved
// corners) and written all at once from the options panel.
#pragma once

#include <cstddef>
#include <cstdio>

#include "1_player/color_scheme.h"
#include "1_player/setting_bounds.h"

// The settings, program-wide: read from the options file, changed by the
// Options panel and the `!` key, written back by write_options; the main
// path's only (the player is handed their values with its commands).
// Output-mode options, each 0 or 1.
extern int output_16bits;   // 16-bit output (default 1)
extern int stereo;          // stereo output (default 1)
extern int reverse_stereo;  // left and right swapped (default 0)
extern int surround;        // surround mixing (default 1)
extern int interpolate;     // interpolated mixing (default 0)
extern int hq_mixer;        // high-quality mixer (default 1)
// Playback options, each 0 or 1.
extern int loop_module;  // modules loop at their end (default 0)
extern int fade_module;  // modules fade out at their end (default 0)
extern int random_mode;  // playlists play in random order (default 0)
// How many times a song that would loop for ever plays before it ends or
// the playlist moves on, while modules do not loop ("loops=N", default 1);
// the last pass fades out when fade_module is on.
extern int song_loops;
// Every song of a module plays in turn, the first to the last, before it
// ends or the playlist moves on ("all_songs=1"; default 0: the first).
extern int all_songs;
// Key timeout of every window, in milliseconds (default 40), 0 to
// kMaxRefreshDelay.
extern int refresh_delay;
// The stereo separation in percent, 0 (mono) to 100 (as the module pans,
// the default); the player mixes with its pansep_of_separation.
extern int separation;
// The headphone crossfeed: 0 off (the default), 1 the filter's default
// preset, 2 Chu Moy's, 3 Jan Meier's (crossfeed.h).
extern int crossfeed;
// The colours the screen is drawn in (default dark), "colors=NAME" in the
// file; the screen takes a change through use_color_scheme (colors.h).
extern ColorScheme color_scheme;

// The desktop's media keys reach xq over the session bus (default 1).
extern int mpris_enabled;

// The longest key timeout. A negative timeout would make key reads wait
// forever and starve the sound, so a value read from the file is kept
// within the refresh delay's bounds.
inline constexpr int kMaxRefreshDelay = setting_bounds(Setting::refresh_delay).high;

// Capacity of every path and message buffer, terminator included.
inline constexpr std::size_t kPathCapacity = 256;

// The options file's path, "$HOME/.xq/options". Returns -1 when HOME is
// unset or empty, or the path would not fit in kPathCapacity.
int options_file_path(char (&path)[kPathCapacity]);

// Applies one line of the options file (without its line feed) to the
// settings and the saved panel corners. Lines that begin with no known key,
// or hold no "=", change nothing.
void interpret_options_line(const char *line);

// Reads the options file, if there is one. A missing or unreadable file, or
// one that is not a regular file (a FIFO, a device), changes nothing, and
// with `errors` all but a missing file is reported there. At most
// kMaxOptionsFileBytes are read, and a quit request ends the reading. The
// saved rows are checked against the screen by the panels
// (check_saved_rows).
void read_options(std::FILE *errors = nullptr);

inline constexpr std::size_t kMaxOptionsFileBytes = 64 * 1024;

// Writes every persisted setting to `path` with save_atomically (through a
// symbolic link to its target; a target that is not a regular file is
// refused), so the old file stays whole when anything fails. Leaves the
// text for the user in `message` ("'%s' saved." or the reason for the
// failure). Returns 0 or -1.
int store_options(const char *path, char *message, std::size_t message_size);

// store_options on the options file, with the outcome for the user in
// `message` ("'path' saved." or why not); refused while "~/.xq" is not a
// directory of the user's own (private_folder.h). Returns 0 or -1.
int write_options(char *message, std::size_t message_size);

// md_mode with its six option bits replaced by the current settings; every
// other bit of `current_mode` is kept.
unsigned output_mode(unsigned current_mode);

extern char config_dir_path[kPathCapacity];  // "$HOME/.xq", set once at start-up by build_config_dir_path

// Builds config_dir_path from HOME. Returns -1 when HOME is unset, or when
// the directory's or the options file's path would not fit.
int build_config_dir_path();
