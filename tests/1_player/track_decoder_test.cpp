// libmikmod's compressed tracks decoded byte by byte: rows, repeats,
// operands, and damaged or truncated tracks that must never be read past
// their end (the sanitizer build runs these on exactly sized heap copies).
#include "1_player/track_decoder.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <mikmod.h>
#include <random>
#include <string>
#include <vector>

#include "silent_player.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A heap copy of exactly `length` bytes, so that any read past it is seen
// by the address sanitizer.
std::unique_ptr<std::uint8_t[]> exact_copy(const Bytes &bytes, std::size_t length) {
    auto copy = std::make_unique<std::uint8_t[]>(length > 0 ? length : 1);
    for (std::size_t i = 0; i < length && i < bytes.size(); ++i) copy[i] = bytes[i];
    return copy;
}

struct RowCase {
    const char *what;
    Bytes track;
    int row;
    bool found;
    std::initializer_list<TrackOp> ops;
};

constexpr std::uint8_t kNote = kUniNote;
constexpr std::uint8_t kIns = kUniInstrument;
constexpr std::uint8_t kVol = kUniVolEffects;
constexpr std::uint8_t kOff = kUniKeyOff;

const RowCase kRowCases[] = {
    {"an empty track", {0}, 0, false, {}},
    {"the first row", {5, kNote, 48, kIns, 1, 0}, 0, true, {{kNote, 48}, {kIns, 1}}},
    {"past the last row", {5, kNote, 48, kIns, 1, 0}, 1, false, {}},
    {"a row repeated twice more, first", {0x40 | 3, kNote, 7, 0}, 0, true, {{kNote, 7}}},
    {"a row repeated twice more, last", {0x40 | 3, kNote, 7, 0}, 2, true, {{kNote, 7}}},
    {"after the repeats", {0x40 | 3, kNote, 7, 2, kOff, 0}, 3, true, {{kOff, 0}}},
    {"an empty row", {1, 3, kNote, 9, 0}, 0, true, {}},
    {"a two-byte operand, high byte first", {4, kVol, 1, 0x40, 0}, 0, true, {{kVol, 0x0140}}},
    {"an opcode 0 ends the row", {6, kNote, 1, 0, kIns, 2, 0}, 0, true, {{kNote, 1}}},
    {"an unknown opcode has no operand", {4, 200, kNote, 7, 0}, 0, true, {{kNote, 7}}},
    {"a row longer than the track", {12, kNote, 5}, 0, true, {{kNote, 5}}},
    {"an operand cut off by the end", {3, kVol, 1}, 0, true, {{kVol, 0x0100}}},
    {"a row cut off before its head", {3, kNote, 5}, 1, false, {}},
    {"a repeated row of length 0", {0x40, kNote, 5, 0}, 0, false, {}},
    {"a row the length never reaches", {3, kNote, 5, 0x40, 4, 0}, 2, false, {}},
};

TEST(DecodeTrackRow, ReadsRowsRepeatsAndOperandsWithinTheirBytes) {
    for (const RowCase &c : kRowCases) {
        const auto track = exact_copy(c.track, c.track.size());
        TrackRow row;
        EXPECT_EQ(decode_track_row(track.get(), c.track.size(), c.row, row), c.found) << c.what;
        ASSERT_EQ(row.count, static_cast<int>(c.ops.size())) << c.what;
        int i = 0;
        for (const TrackOp &op : c.ops) {
            EXPECT_EQ(row.ops[i].opcode, op.opcode) << c.what;
            EXPECT_EQ(row.ops[i].operand, op.operand) << c.what;
            ++i;
        }
    }
}

TEST(DecodeTrackRow, KeepsAtMostItsOpsOfACrowdedRow) {
    Bytes track(1, kMaxRowBytes);
    track.insert(track.end(), kMaxRowBytes - 1, kOff);
    track.push_back(0);
    TrackRow row;
    ASSERT_TRUE(decode_track_row(track.data(), track.size(), 0, row));
    EXPECT_EQ(row.count, kMaxRowOps);
}

TEST(DecodeTrackRow, RejectsNoTrackAndNegativeRows) {
    TrackRow row;
    EXPECT_FALSE(decode_track_row(nullptr, 10, 0, row));
    const Bytes track{3, kNote, 1, 0};
    EXPECT_FALSE(decode_track_row(track.data(), track.size(), -1, row));
    EXPECT_FALSE(decode_track_row(track.data(), 0, 0, row));
}

TEST(TrackExtent, CoversTheRowsAskedForOrEndsAtTheEndByte) {
    const Bytes track{0x20 | 3, kNote, 1, 3, kIns, 2, 0};
    const struct {
        int rows;
        std::size_t extent;
    } cases[] = {{0, 0}, {1, 3}, {2, 3}, {3, 6}, {4, 7}, {300, 7}};
    for (const auto &c : cases) EXPECT_EQ(track_extent(track.data(), c.rows), c.extent) << c.rows;
    const Bytes broken{0x40, kNote, 1, 0};
    EXPECT_EQ(track_extent(broken.data(), 5), 1u);
    EXPECT_EQ(track_extent(nullptr, 5), 0u);
}

TEST(DecodeTrackRow, RandomBytesNeverReadPastTheirEnd) {
    std::mt19937 random(19);
    for (int n = 0; n < 20000; ++n) {
        const std::size_t length = random() % 80;
        Bytes bytes(length);
        for (auto &b : bytes) b = static_cast<std::uint8_t>(random());
        const auto track = exact_copy(bytes, length);
        TrackRow row;
        for (int r = 0; r < 260; r += 1 + static_cast<int>(random() % 7)) {
            decode_track_row(track.get(), length, r, row);
            EXPECT_LE(row.count, kMaxRowOps);
        }
    }
}

// Every track of a real module, cut at every length: the rows before the
// cut decode as in the whole track, none is read past it.
TEST(DecodeTrackRow, TruncatedTracksOfARealModuleDecodeWhatIsLeft) {
    start_silent_player();
    const std::string path = std::string(XQ_FIXTURE_DIR) + "/notation.it";
    MODULE *m = Player_Load(path.c_str(), 64, 0);
    ASSERT_NE(m, nullptr);
    for (int t = 0; t < m->numtrk; ++t) {
        const std::size_t whole = track_extent(m->tracks[t], 1000);
        const Bytes bytes(m->tracks[t], m->tracks[t] + whole);
        for (std::size_t cut = 0; cut <= whole; ++cut) {
            const auto track = exact_copy(bytes, cut);
            for (int r = 0; r < 64; ++r) {
                TrackRow part;
                TrackRow full;
                const bool found = decode_track_row(track.get(), cut, r, part);
                decode_track_row(bytes.data(), whole, r, full);
                if (found && track_extent(bytes.data(), r + 1) <= cut) {
                    ASSERT_EQ(part.count, full.count) << "track " << t << " cut " << cut << " row " << r;
                }
            }
        }
    }
    Player_Free(m);
    stop_silent_player();
}

}  // namespace
