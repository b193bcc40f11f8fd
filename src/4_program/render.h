// Rendering: `xq --render OUT.wav module...` plays the modules into WAV
// files through the sound library's own disk writer, without the screen and
// as fast as the machine mixes. Only that writer is registered, so the
// user's sound server is never touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "1_player/settings.h"
#include "1_player/song_render.h"  // tick_frames and trim_wav, which the render's tests use

// What the render command line asks for.
struct RenderOptions {
    const char *output = nullptr;  // OUT: a file name, or a directory
    int loops = 1;                 // times each song is played, 1 to kMaxLoops
    unsigned rate = 0;             // mixing frequency in Hz; 0 keeps the library's own
    int first_path = 0;            // index in argv of the first module, playlist or directory
    int path_count = 0;            // how many follow (options taken out)
};

inline constexpr int kMaxLoops = 100;
inline constexpr unsigned kMinRate = 4000;
inline constexpr unsigned kMaxRate = 96000;

// True when the command line holds --render or -o, or one of the options
// that only go with them (before a "--").
bool wants_render(int argc, char *const *argv);

// Reads the render options of argv[1..argc). The paths are moved, in
// their order, to argv[first_path..first_path + path_count). Returns 0, or
// -1 with the reason in `message`.
int parse_render_options(int argc, char **argv, RenderOptions &options, char *message, std::size_t message_size);

// The WAV file for the module at `module_path`: OUT itself when it is the
// only module and OUT is not a directory; "OUT/NAME.wav" when OUT is a
// directory; otherwise OUT without its ".wav" ending, "-NAME.wav". NAME is
// the module's file name without its extension (and without a compression's
// ending: "song.xm.gz" is "song"); a member of a pack is named after itself
// ("pack.zip/sub/song.xm" is "song"). Returns 0, or -1 when the result would
// not fit.
int render_output_path(char (&out)[kPathCapacity], const char *output, bool output_is_directory, bool several,
                       const char *module_path);

// The progress line: "NAME  [#####.....]  42%  01:23" cut to `width`
// columns, the bar `bar_width` wide.
void format_progress(char *out, std::size_t size, const char *name, int percent, std::uint32_t song_ms,
                     int bar_width);

// The renderer's whole run, writing song `subsong` (0-based) of each
// module, or with `all_songs` each of its songs to a file of its own
// ("OUT-1.wav", "OUT-2.wav"...): returns the exit status (0 when every
// module was written).
int render_main(int argc, char **argv, int subsong = 0, bool all_songs = false);

// The file for song `number` (1-based) of a module rendered song by song:
// `output` without its ".wav" ending, "-NUMBER.wav". Returns 0, or -1 when
// it would not fit.
int song_output_path(char (&out)[kPathCapacity], const char *output, int number);
