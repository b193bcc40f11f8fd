// Pattern cells in the notation of the module's own tracker.
//
// libmikmod keeps every format's notes and effects as its own opcodes (see
// track_decoder.h); this maps a decoded row of one channel back to what the
// module's tracker shows: ProTracker's hex effects for MOD (and the formats
// that follow it), FastTracker 2's for XM, and the letter commands of Scream
// Tracker 3 and Impulse Tracker for S3M and IT.
#pragma once

#include "1_player/track_decoder.h"

enum class Notation {
    protracker,      // MOD and most others: hex effects, ProTracker octaves
    fasttracker,     // XM: hex effects, a volume column
    screamtracker,   // S3M: letter effects, a volume column
    impulsetracker,  // IT: letter effects, a volume column with effects
};

// The notation for libmikmod's MODULE.modtype text.
Notation notation_of(const char *modtype);

// What an effect does, for its colour.
enum class EffectKind {
    none,
    pitch,
    volume,
    panning,
    timing,  // speed, tempo, jumps, breaks, loops, delays
    other,
};

// The shown text of one cell: a note ("C-4", "---" for none, "===" for a
// note-off, "^^^" for a note cut), the instrument ("01", ".." for none),
// the volume column ("v64", "p32", "a05" ..., "..." for none) and the
// effect with its parameter ("A0F", "D0F", "..." for none).
struct CellText {
    char note[4];
    char instrument[3];
    char volume[4];
    char effect[4];
    bool has_note;        // a note, note-off or cut
    bool has_instrument;
    EffectKind volume_kind;
    EffectKind effect_kind;
};

// Width of a cell as shown: "C-4 01 v64 A0F".
inline constexpr int kCellTextWidth = 14;

// Turns a decoded row of one channel into its text in `notation`.
void describe_cell(const TrackRow &row, Notation notation, CellText &out);

// The name of libmikmod's note number `note` (0 is C-0) as the notation
// numbers octaves: ProTracker's octave 1 is two below the others'.
void format_note(int note, Notation notation, char (&out)[4]);

// The whole cell as one text: note, instrument, volume and effect with a
// blank between them.
void cell_line(const CellText &cell, char (&out)[kCellTextWidth + 1]);
