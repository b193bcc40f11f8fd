// Reading the pattern data of a loaded module.
//
// libmikmod converts every format on load into its own compressed track
// format: one track per pattern and channel, found through
// MODULE.patterns[pattern * numchn + channel] in MODULE.tracks (a module's
// description copies both: ModuleInfo.pattern_tracks and .tracks). A track is
// a run of rows; each row starts with a byte whose low five bits give the
// row's length in bytes (that byte included) and whose top three bits say
// how many times more the row repeats; then come opcodes, each followed by
// its operands. A length byte of 0 ends the track.
//
// The decoder here is pure and never reads outside the bytes it is given:
// a damaged or truncated track decodes to what can be read of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include "1_player/module_info.h"

// libmikmod's opcodes, in the order of its internal enumeration (the 3.3
// series). The loaders map every format's notes and effects to these.
enum UniOpcode : std::uint8_t {
    kUniNote = 1,
    kUniInstrument,
    kUniPtEffect0,  // ProTracker effects 0 to F follow in order
    kUniPtEffectF = kUniPtEffect0 + 15,
    kUniS3mEffectA,
    kUniS3mEffectD,
    kUniS3mEffectE,
    kUniS3mEffectF,
    kUniS3mEffectI,
    kUniS3mEffectQ,
    kUniS3mEffectR,
    kUniS3mEffectT,
    kUniS3mEffectU,
    kUniKeyOff,
    kUniKeyFade,
    kUniVolEffects,
    kUniXmEffect4,
    kUniXmEffect6,
    kUniXmEffectA,
    kUniXmEffectE1,
    kUniXmEffectE2,
    kUniXmEffectEA,
    kUniXmEffectEB,
    kUniXmEffectG,
    kUniXmEffectH,
    kUniXmEffectL,
    kUniXmEffectP,
    kUniXmEffectX1,
    kUniXmEffectX2,
    kUniItEffectG,
    kUniItEffectH,
    kUniItEffectI,
    kUniItEffectM,
    kUniItEffectN,
    kUniItEffectP,
    kUniItEffectT,
    kUniItEffectU,
    kUniItEffectW,
    kUniItEffectY,
    kUniItEffectZ,
    kUniItEffectS0,
    kUniUltEffect9,
    kUniMedSpeed,
    kUniMedEffectF1,
    kUniMedEffectF2,
    kUniMedEffectF3,
    kUniOktArp,
    kUniLast,
};

// The volume-column effects carried by kUniVolEffects (its first operand).
enum UniVolumeEffect : std::uint8_t {
    kVolVolume = 1,
    kVolPanning,
    kVolSlide,
    kVolPitchSlideDown,
    kVolPitchSlideUp,
    kVolPortamento,
    kVolVibrato,
};

// Operand bytes that follow an opcode (0, 1 or 2); 0 for opcodes the
// library does not know, which its player skips alone, as here.
int uni_operand_bytes(int opcode);

// One opcode of a row with its operand (two operand bytes are read high
// byte first, as the player reads them).
struct TrackOp {
    std::uint8_t opcode;
    std::uint16_t operand;
};

// More opcodes than a row of libmikmod's ever holds (a note, an instrument,
// a volume-column effect and one or two effects).
inline constexpr int kMaxRowOps = 12;

// The opcodes of one row, in the order they are stored.
struct TrackRow {
    int count = 0;
    TrackOp ops[kMaxRowOps];
};

// The largest row a track can hold: the length field has five bits.
inline constexpr int kMaxRowBytes = 31;

// Decodes row `row` (0-based) of the `length` bytes at `track` into `out`.
// Returns false, with `out` empty, when the track ends (or is damaged)
// before that row. Decoding a row stops at an opcode 0, at the row's end
// or at the end of the bytes, whichever comes first; an operand cut off by
// the end reads as 0, as the player reads it. Opcodes past kMaxRowOps are
// left out.
bool decode_track_row(const std::uint8_t *track, std::size_t length, int row, TrackRow &out);

// How many bytes at the start of a track built by libmikmod cover its
// first `rows` rows (found by following the row lengths, as the player
// does), or up to and including its end byte, whichever comes first. A row
// length of 0 under a repeat count, which the player could never step
// past, ends the walk. This is how the live view bounds a track whose size
// the library does not record; its bytes are read only at row starts.
std::size_t track_extent(const std::uint8_t *track, int rows);

// Decodes row `row` of channel `channel` of pattern `pattern` of a loaded
// module, from its description. Returns false, with `out` empty, for a
// pattern, row, channel or track the module does not have.
bool decode_module_row(const ModuleInfo &m, int pattern, int row, int channel, TrackRow &out);
