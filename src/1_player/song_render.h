// Rendering a module into a WAV file through the sound library's own disk
// writer, as fast as the machine mixes: the library's side of
// `xq --render`. Only that writer is registered, so the user's sound server
// is never touched, and no sound thread runs.
#pragma once

#include <cstdint>
#include <cstdio>

// Registers the disk writer, alone, and every loader; once per run.
void register_render_library();

// What a render did.
enum class RenderStatus { written, failed, interrupted };

struct RenderOutcome {
    RenderStatus status = RenderStatus::failed;
    std::uint32_t song_ms = 0;  // song time rendered
    int write_error = 0;        // why the file could not be written whole (an errno), for the caller to tell
    int songs = 0;              // the songs the module holds
};

// Called as the render goes on, with the share of the song done (0 to 100)
// and the song time reached.
using RenderProgress = void (*)(void *context, int percent, std::uint32_t song_ms);

// Renders song `subsong` (0-based, as the walk of its songs numbers them;
// the first when there is no such song) of the module at `module_path`
// (read as the player reads it: only a regular file, never waited on) into
// the WAV file `wav_path` (which exists) `loops` times over, each pass
// ending where the song's walk ends it, the last pass fading out when `fade`, at
// `rate` Hz (0 keeps the library's own) in the output mode of the settings.
// A quit request stops it (interrupted). The reason of a failure to start,
// naming `output` (the file the user asked for), goes to `errors`; a
// failed write is returned in write_error.
RenderOutcome render_song(const char *module_path, const char *wav_path, const char *output, int loops,
                          unsigned rate, bool fade, RenderProgress progress, void *context, std::FILE *errors,
                          int subsong = 0);

// Frames of one player tick at `mixfreq` Hz and `bpm`, as the library's
// software mixers count them.
std::uint32_t tick_frames(unsigned mixfreq, unsigned bpm);

// Cuts the WAV file at `path` (a 44-byte PCM header and its data) to
// `data_bytes` of data and writes the sizes into its header. Returns 0, or
// -1 with errno set.
int trim_wav(const char *path, std::uint64_t data_bytes);
