#include "1_player/track_decoder.h"

int uni_operand_bytes(int opcode) {
    switch (opcode) {
    case kUniKeyOff:
    case kUniMedEffectF1:
    case kUniMedEffectF2:
    case kUniMedEffectF3: return 0;
    case kUniVolEffects:
    case kUniItEffectZ:
    case kUniUltEffect9:
    case kUniMedSpeed:
    case kUniOktArp: return 2;
    default: return opcode >= kUniNote && opcode < kUniLast ? 1 : 0;
    }
}

bool decode_track_row(const std::uint8_t *track, std::size_t length, int row, TrackRow &out) {
    out.count = 0;
    if (!track || row < 0) return false;
    std::size_t at = 0;
    int first_row = 0;
    for (;;) {
        if (at >= length) return false;
        const std::uint8_t head = track[at];
        const int row_bytes = head & 0x1f;
        if (row_bytes == 0) return false;  // the end, or a row that never ends
        const int repeats = (head >> 5) + 1;
        if (row < first_row + repeats) break;
        first_row += repeats;
        at += static_cast<std::size_t>(row_bytes);
    }
    const std::size_t row_end = at + static_cast<std::size_t>(track[at] & 0x1f);
    const std::size_t end = row_end < length ? row_end : length;
    std::size_t pc = at + 1;
    auto next_byte = [&]() -> std::uint8_t { return pc < end ? track[pc++] : 0; };
    while (pc < end) {
        const std::uint8_t opcode = next_byte();
        if (opcode == 0) break;
        std::uint16_t operand = 0;
        for (int n = uni_operand_bytes(opcode); n > 0; --n)
            operand = static_cast<std::uint16_t>((operand << 8) | next_byte());
        if (opcode >= kUniLast) continue;
        if (out.count < kMaxRowOps) out.ops[out.count++] = {opcode, operand};
    }
    return true;
}

std::size_t track_extent(const std::uint8_t *track, int rows) {
    if (!track || rows <= 0) return 0;
    std::size_t at = 0;
    int covered = 0;
    while (covered < rows) {
        const std::uint8_t head = track[at];
        const int row_bytes = head & 0x1f;
        if (row_bytes == 0) return at + 1;
        covered += (head >> 5) + 1;
        at += static_cast<std::size_t>(row_bytes);
    }
    return at;
}

bool decode_module_row(const ModuleInfo &m, int pattern, int row, int channel, TrackRow &out) {
    out.count = 0;
    if (channel < 0 || channel >= m.channels || row < 0 || row >= rows_of_pattern(m, pattern)) return false;
    const std::size_t index = static_cast<std::size_t>(pattern) * static_cast<std::size_t>(m.channels) +
                              static_cast<std::size_t>(channel);
    if (index >= m.pattern_tracks.size()) return false;
    const unsigned track = m.pattern_tracks[index];
    if (track >= m.tracks.size()) return false;
    const std::vector<std::uint8_t> &bytes = m.tracks[track];
    return decode_track_row(bytes.data(), bytes.size(), row, out);
}
