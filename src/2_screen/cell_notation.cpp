#include "2_screen/cell_notation.h"

#include <cstdio>
#include <cstring>

namespace {

bool uses_letters(Notation n) { return n == Notation::screamtracker || n == Notation::impulsetracker; }

// How each opcode is named in the hex and in the letter notations ('?' where
// a notation has no name of its own: the other's is used), and what it does.
// ProTracker's E and the letter notations' S commands are sorted by their
// sub-command instead.
struct EffectName {
    char hex;
    char letter;
    EffectKind kind;
};

constexpr EffectKind P = EffectKind::pitch;
constexpr EffectKind V = EffectKind::volume;
constexpr EffectKind N = EffectKind::panning;
constexpr EffectKind T = EffectKind::timing;
constexpr EffectKind O = EffectKind::other;

constexpr EffectName kEffectNames[kUniLast] = {
    {'?', '?', O}, {'?', '?', O}, {'?', '?', O},  // none, note, instrument
    {'0', 'J', P}, {'1', 'F', P}, {'2', 'E', P}, {'3', 'G', P}, {'4', 'H', P}, {'5', 'L', P},
    {'6', 'K', P}, {'7', 'R', V}, {'8', 'X', N}, {'9', 'O', O}, {'A', 'D', V}, {'B', 'B', T},
    {'C', '?', V}, {'D', 'C', T}, {'E', 'S', O}, {'F', 'A', T},
    // Scream Tracker
    {'F', 'A', T}, {'A', 'D', V}, {'2', 'E', P}, {'1', 'F', P}, {'T', 'I', V}, {'R', 'Q', O},
    {'7', 'R', V}, {'F', 'T', T}, {'4', 'U', P},
    {'?', '?', O}, {'K', 'K', V}, {'?', '?', O},  // key off, key fade, volume column
    // FastTracker 2
    {'4', 'H', P}, {'6', 'K', P}, {'A', 'D', V}, {'E', 'F', P}, {'E', 'E', P}, {'E', 'D', V},
    {'E', 'D', V}, {'G', 'V', V}, {'H', 'W', V}, {'L', '?', O}, {'P', 'P', N}, {'X', 'F', P},
    {'X', 'E', P},
    // Impulse Tracker
    {'3', 'G', P}, {'4', 'H', P}, {'T', 'I', V}, {'?', 'M', V}, {'?', 'N', V}, {'P', 'P', N},
    {'?', 'T', T}, {'4', 'U', P}, {'?', 'W', V}, {'?', 'Y', N}, {'?', 'Z', O}, {'?', 'S', O},
    // UltraTracker, OctaMED, Oktalyzer
    {'9', 'O', O}, {'F', 'A', T}, {'E', 'S', T}, {'E', 'S', T}, {'E', 'S', T}, {'0', 'J', P},
};

EffectKind extended_kind(int sub) {
    switch (sub) {
    case 0x1: case 0x2: case 0x3: case 0x4: case 0x5: return P;
    case 0x6: case 0xD: case 0xE: return T;
    case 0x7: case 0xA: case 0xB: case 0xC: return V;
    case 0x8: return N;
    default: return O;
    }
}

EffectKind special_kind(int sub) {
    switch (sub) {
    case 0x1: case 0x2: case 0x3: return P;
    case 0x4: case 0xC: return V;
    case 0x5: case 0x8: case 0x9: return N;
    case 0x6: case 0xB: case 0xD: case 0xE: return T;
    default: return O;
    }
}

// Pattern break rows are stored as numbers; ProTracker, FastTracker and
// Scream Tracker write them in decimal digits.
int decimal_digits(int value) { return value < 100 ? (value / 10) << 4 | value % 10 : value & 0xff; }

struct Shown {
    char command;
    int param;
    EffectKind kind;
};

Shown shown_effect(const TrackOp &op, Notation notation) {
    const bool letters = uses_letters(notation);
    const EffectName &name = kEffectNames[op.opcode < kUniLast ? op.opcode : 0];
    char command = letters ? name.letter : name.hex;
    if (command == '?') command = letters ? name.hex : name.letter;
    int param = op.operand & 0xff;
    const int low = param & 0xf;
    EffectKind kind = name.kind;
    switch (op.opcode) {
    case kUniPtEffect0 + 0xD:
        if (notation != Notation::impulsetracker) param = decimal_digits(param);
        break;
    case kUniPtEffect0 + 0xE:
        kind = extended_kind(param >> 4);
        break;
    case kUniPtEffect0 + 0xF:
        if (letters && param >= 0x20) command = 'T';
        break;
    case kUniPtEffect0 + 0x8:
        if (notation == Notation::screamtracker) param = param == 255 ? 0x80 : param >> 1;
        break;
    case kUniItEffectS0:
        kind = special_kind(param >> 4);
        break;
    case kUniXmEffectG:
        if (!letters) param = param >= 128 ? 0x40 : param >> 1;
        break;
    case kUniXmEffectE1: param = letters ? 0xF0 | low : 0x10 | low; break;
    case kUniXmEffectE2: param = letters ? 0xF0 | low : 0x20 | low; break;
    case kUniXmEffectEA: param = letters ? low << 4 | 0xF : 0xA0 | low; break;
    case kUniXmEffectEB: param = letters ? 0xF0 | low : 0xB0 | low; break;
    case kUniXmEffectX1: param = letters ? 0xE0 | low : 0x10 | low; break;
    case kUniXmEffectX2: param = letters ? 0xE0 | low : 0x20 | low; break;
    default: break;
    }
    return {command, param, kind};
}

void put_volume(CellText &out, char letter, int value, EffectKind kind) {
    if (value < 0) value = 0;
    if (value > 99) value = 99;
    std::snprintf(out.volume, sizeof out.volume, "%c%02d", letter, value);
    out.volume_kind = kind;
}

// Impulse Tracker's volume column, which the loader keeps apart from the
// effects (Scream Tracker's volumes come as ProTracker's set-volume).
bool letters_volume(const TrackOp &op, CellText &out) {
    const int data = op.operand & 0xff;
    if (op.opcode == kUniPtEffect0 + 0xC) {
        put_volume(out, 'v', data, V);
        return true;
    }
    if (op.opcode != kUniVolEffects) return false;
    const int high = data >> 4;
    const int low = data & 0xf;
    switch (op.operand >> 8) {
    case kVolVolume: put_volume(out, 'v', data, V); return true;
    case kVolPanning: put_volume(out, 'p', data == 255 ? 64 : data >> 2, N); return true;
    case kVolSlide:
        if (data == 0 || (low == 0xf && high != 0xf)) put_volume(out, 'a', high, V);
        else if (high == 0xf) put_volume(out, 'b', low, V);
        else if (low == 0) put_volume(out, 'c', high, V);
        else put_volume(out, 'd', low, V);
        return true;
    case kVolPitchSlideDown: put_volume(out, 'e', data, P); return true;
    case kVolPitchSlideUp: put_volume(out, 'f', data, P); return true;
    case kVolPortamento: {
        static constexpr int kSpeeds[10] = {0, 1, 4, 8, 16, 32, 64, 96, 128, 255};
        int index = 0;
        while (index < 9 && kSpeeds[index] < data) ++index;
        put_volume(out, 'g', index, P);
        return true;
    }
    case kVolVibrato: put_volume(out, 'h', data, P); return true;
    default: return false;
    }
}

// FastTracker 2's volume column: the loader turns it into the effect
// opcodes that do the same, one nibble used, written before the effect.
bool xm_volume(const TrackOp &op, CellText &out) {
    const int data = op.operand & 0xff;
    const int high = data >> 4;
    const int low = data & 0xf;
    switch (op.opcode) {
    case kUniPtEffect0 + 0xC: put_volume(out, 'v', data, V); return true;
    case kUniXmEffectA:
        if (high == 0 && low != 0) put_volume(out, 'd', low, V);
        else if (low == 0 && high != 0) put_volume(out, 'c', high, V);
        else return false;
        return true;
    case kUniPtEffect0 + 0xE:
        if (high == 0xB) put_volume(out, 'b', low, V);
        else if (high == 0xA) put_volume(out, 'a', low, V);
        else return false;
        return true;
    case kUniXmEffect4:
        if (high == 0) put_volume(out, 'h', low, P);
        else if (low == 0) put_volume(out, 'u', high, P);
        else return false;
        return true;
    case kUniPtEffect0 + 0x8:
        if (low != 0) return false;
        put_volume(out, 'p', high, N);
        return true;
    case kUniXmEffectP:
        if (high == 0 && low != 0) put_volume(out, 'l', low, N);
        else if (low == 0 && high != 0) put_volume(out, 'r', high, N);
        else return false;
        return true;
    case kUniPtEffect0 + 0x3:
        if (low != 0) return false;
        put_volume(out, 'g', high, P);
        return true;
    default: return false;
    }
}

bool is_op(const TrackOp &op, int opcode, int operand) { return op.opcode == opcode && op.operand == operand; }

void set_text(char *to, std::size_t size, const char *text) { std::snprintf(to, size, "%s", text); }

}  // namespace

Notation notation_of(const char *modtype) {
    if (!modtype) return Notation::protracker;
    if (std::strstr(modtype, "(XM format")) return Notation::fasttracker;
    if (std::strstr(modtype, "(S3M format)") || std::strncmp(modtype, "Screamtracker", 13) == 0 ||
        std::strstr(modtype, "(STM format)"))
        return Notation::screamtracker;
    if (std::strstr(modtype, "ImpulseTracker") || std::strstr(modtype, "Impulse Tracker") ||
        std::strstr(modtype, "Imago Orpheus"))
        return Notation::impulsetracker;
    return Notation::protracker;
}

void format_note(int note, Notation notation, char (&out)[4]) {
    static constexpr const char *kNames[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                               "F#", "G-", "G#", "A-", "A#", "B-"};
    if (note < 0) {
        set_text(out, sizeof out, "---");
        return;
    }
    const int octave = note / 12 - (notation == Notation::protracker ? 2 : 0);
    const char digit = octave >= 0 && octave <= 9 ? static_cast<char>('0' + octave) : '?';
    std::snprintf(out, sizeof out, "%s%c", kNames[note % 12], digit);
}

void describe_cell(const TrackRow &row, Notation notation, CellText &out) {
    set_text(out.note, sizeof out.note, "---");
    set_text(out.instrument, sizeof out.instrument, "..");
    set_text(out.volume, sizeof out.volume, "...");
    set_text(out.effect, sizeof out.effect, "...");
    out.has_note = false;
    out.has_instrument = false;
    out.volume_kind = EffectKind::none;
    out.effect_kind = EffectKind::none;
    const bool letters = uses_letters(notation);

    TrackOp effects[kMaxRowOps];
    int count = 0;
    for (int i = 0; i < row.count && i < kMaxRowOps; ++i) {
        const TrackOp &op = row.ops[i];
        switch (op.opcode) {
        case kUniNote:
            format_note(op.operand & 0xff, notation, out.note);
            out.has_note = true;
            break;
        case kUniInstrument: {
            const int number = (op.operand & 0xff) + 1;
            const bool decimal = letters && number <= 99;
            std::snprintf(out.instrument, sizeof out.instrument, decimal ? "%02d" : "%02X", number > 255 ? 255 : number);
            out.has_instrument = true;
            break;
        }
        case kUniKeyOff:
            set_text(out.note, sizeof out.note, "===");
            out.has_note = true;
            break;
        case kUniKeyFade:
            // FastTracker's note-off is stored as a fade from the first tick,
            // ahead of everything else of its row.
            if (!letters && i == 0 && op.operand == 0) {
                set_text(out.note, sizeof out.note, "===");
                out.has_note = true;
                break;
            }
            effects[count++] = op;
            break;
        default: effects[count++] = op; break;
        }
    }

    int first = 0;
    if (letters) {
        // A cut is a set-volume the tracker could not have written: 255 from
        // Impulse Tracker, and from Scream Tracker a volume 0 without a note.
        for (int i = 0; i < count; ++i) {
            const TrackOp &op = effects[i];
            if (op.opcode != kUniPtEffect0 + 0xC && op.opcode != kUniVolEffects) continue;
            const int data = op.operand & 0xff;
            const bool cut = op.opcode == kUniPtEffect0 + 0xC &&
                             (notation == Notation::impulsetracker ? data == 255 : data == 0 && !out.has_note);
            if (cut) {
                set_text(out.note, sizeof out.note, "^^^");
                out.has_note = true;
            } else if (!letters_volume(op, out)) {
                continue;
            }
            for (int j = i; j + 1 < count; ++j) effects[j] = effects[j + 1];
            --count;
            break;
        }
        // Kxy and Lxy are stored as a vibrato or portamento without speed
        // followed by the volume slide.
        if (count >= 2 && effects[1].opcode == kUniS3mEffectD) {
            const TrackOp &a = effects[0];
            const char dual = is_op(a, kUniPtEffect0 + 0x4, 0) || is_op(a, kUniItEffectH, 0)   ? 'K'
                              : is_op(a, kUniPtEffect0 + 0x3, 0) || is_op(a, kUniItEffectG, 0) ? 'L'
                                                                                              : '\0';
            if (dual) {
                std::snprintf(out.effect, sizeof out.effect, "%c%02X", dual, effects[1].operand & 0xff);
                out.effect_kind = EffectKind::pitch;
                return;
            }
        }
    } else if (notation == Notation::fasttracker) {
        if ((count >= 2 && xm_volume(effects[0], out)) ||
            (count == 1 && effects[0].opcode == kUniPtEffect0 + 0xC && xm_volume(effects[0], out)))
            first = 1;
    } else if (count >= 2 && effects[0].opcode == kUniPtEffect0 + 0xC) {
        put_volume(out, 'v', effects[0].operand & 0xff, EffectKind::volume);
        first = 1;
    }
    if (first < count) {
        const Shown shown = shown_effect(effects[first], notation);
        std::snprintf(out.effect, sizeof out.effect, "%c%02X", shown.command, shown.param & 0xff);
        out.effect_kind = shown.kind;
    }
}

void cell_line(const CellText &cell, char (&out)[kCellTextWidth + 1]) {
    std::snprintf(out, sizeof out, "%.3s %.2s %.3s %.3s", cell.note, cell.instrument, cell.volume, cell.effect);
}
