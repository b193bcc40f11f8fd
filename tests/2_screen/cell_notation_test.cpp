// What the pattern view shows of modules written by our module writer: every
// note, instrument, volume and effect of each format comes back as its
// tracker shows it, and every other cell is empty.
#include "2_screen/cell_notation.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <tuple>

#include "1_player/player.h"
#include "silent_player.h"

namespace {

struct Expected {
    int pattern;
    int row;
    int channel;
    const char *text;
};

struct NotationCase {
    const char *file;
    Notation notation;
    int rows[2];
    std::initializer_list<Expected> cells;
};

const NotationCase kCases[] = {
    {"notation.mod", Notation::protracker, {64, 64},
     {{0, 0, 0, "C-2 01 ... ..."}, {0, 0, 1, "A#1 02 ... 120"}, {0, 1, 0, "--- .. ... 446"},
      {0, 1, 2, "--- .. ... A0F"}, {0, 2, 3, "--- .. ... C20"}, {0, 3, 0, "--- .. ... 880"},
      {0, 3, 1, "--- .. ... E91"}, {0, 4, 2, "--- .. ... F06"}, {0, 5, 3, "--- .. ... B01"},
      {0, 6, 0, "--- .. ... D16"}, {0, 7, 1, "C-1 01 ... 310"}, {0, 8, 0, "--- .. ... 910"},
      {0, 8, 1, "--- .. ... 037"}, {0, 8, 2, "--- .. ... 744"}, {0, 8, 3, "--- .. ... 503"},
      {0, 9, 0, "--- .. ... 630"}, {0, 9, 1, "--- .. ... 208"}, {0, 20, 0, "E-1 01 ... ..."},
      {0, 21, 0, "E-1 01 ... ..."}, {0, 22, 0, "E-1 01 ... ..."}, {0, 63, 3, "B-3 02 ... C40"},
      {1, 0, 0, "G-2 02 ... ..."}, {1, 63, 1, "--- .. ... EC3"}}},
    {"notation.xm", Notation::fasttracker, {64, 32},
     {{0, 0, 0, "C-4 01 v64 ..."}, {0, 0, 1, "A#3 02 v32 120"}, {0, 1, 0, "=== .. ... ..."},
      {0, 1, 1, "=== 01 ... ..."}, {0, 2, 2, "--- .. d05 A20"}, {0, 2, 3, "--- .. c10 446"},
      {0, 3, 0, "--- .. b03 E12"}, {0, 3, 1, "--- .. a04 G20"}, {0, 4, 2, "--- .. u03 H05"},
      {0, 4, 3, "--- .. h06 P0F"}, {0, 5, 0, "--- .. p08 X15"}, {0, 5, 1, "--- .. l03 R31"},
      {0, 6, 2, "--- .. r02 T23"}, {0, 6, 3, "--- .. g04 K05"}, {0, 7, 0, "--- .. ... L10"},
      {0, 7, 1, "--- .. ... D16"}, {0, 8, 2, "--- .. ... F7D"}, {0, 8, 3, "--- .. ... EA3"},
      {0, 9, 0, "--- .. ... EB2"}, {0, 9, 1, "--- .. ... E22"}, {0, 9, 2, "--- .. ... X24"},
      {0, 9, 3, "--- .. ... 603"}, {0, 10, 0, "--- .. ... 037"}, {0, 10, 1, "--- .. ... 208"},
      {0, 10, 2, "--- .. ... 310"}, {0, 10, 3, "--- .. ... 501"}, {0, 11, 0, "--- .. ... 744"},
      {0, 11, 1, "--- .. ... 880"}, {0, 11, 2, "--- .. ... 910"}, {0, 11, 3, "--- .. ... E60"},
      {0, 12, 0, "--- .. ... B01"}, {0, 12, 1, "--- .. ... F03"}, {0, 20, 0, "D-4 01 v40 ..."},
      {0, 21, 0, "D-4 01 v40 ..."}, {0, 22, 0, "D-4 01 v40 ..."}, {0, 63, 3, "B-7 02 v00 F03"},
      {1, 0, 2, "C-1 02 ... ..."}, {1, 31, 0, "--- .. a00 A0F"}}},
    {"notation.s3m", Notation::screamtracker, {64, 64},
     {{0, 0, 0, "C-4 01 v64 ..."}, {0, 0, 1, "^^^ .. ... ..."}, {0, 0, 2, "A#3 02 v00 ..."},
      {0, 0, 3, "D-4 .. ... D0F"}, {0, 1, 0, "--- .. ... A06"}, {0, 1, 1, "--- .. ... B01"},
      {0, 1, 2, "--- .. ... C16"}, {0, 1, 3, "--- .. ... E20"}, {0, 2, 0, "--- .. ... F18"},
      {0, 2, 1, "--- .. ... G10"}, {0, 2, 2, "--- .. ... H46"}, {0, 2, 3, "--- .. ... I23"},
      {0, 3, 0, "--- .. ... J37"}, {0, 3, 1, "--- .. ... K05"}, {0, 3, 2, "--- .. ... L03"},
      {0, 3, 3, "--- .. ... O10"}, {0, 4, 0, "--- .. ... Q03"}, {0, 4, 1, "--- .. ... R44"},
      {0, 4, 2, "--- .. ... SB2"}, {0, 4, 3, "--- .. ... T7D"}, {0, 5, 0, "--- .. ... U34"},
      {0, 5, 1, "--- .. ... V20"}, {0, 5, 2, "--- .. ... X40"}, {0, 5, 3, "--- .. ... X80"},
      {0, 6, 0, "E-4 02 v12 SC3"}, {0, 20, 1, "F-4 01 v33 ..."}, {0, 21, 1, "F-4 01 v33 ..."},
      {0, 22, 1, "F-4 01 v33 ..."}, {0, 63, 3, "B-7 02 v01 A03"}, {1, 0, 0, "C-1 01 ... ..."},
      {1, 63, 2, "^^^ .. ... SD2"}}},
    {"notation.it", Notation::impulsetracker, {64, 40},
     {{0, 0, 0, "C-5 01 v64 ..."}, {0, 0, 1, "=== .. ... ..."}, {0, 0, 2, "^^^ .. ... ..."},
      {0, 0, 3, "A#4 02 v00 D0F"}, {0, 1, 0, "--- .. a05 ..."}, {0, 1, 1, "--- .. b03 ..."},
      {0, 1, 2, "--- .. c02 ..."}, {0, 1, 3, "--- .. d07 ..."}, {0, 2, 0, "--- .. e04 ..."},
      {0, 2, 1, "--- .. f06 ..."}, {0, 2, 2, "--- .. p32 ..."}, {0, 2, 3, "--- .. g03 ..."},
      {0, 3, 0, "--- .. h05 ..."}, {0, 3, 1, "--- .. p64 ..."}, {0, 3, 2, "--- .. ... A06"},
      {0, 3, 3, "--- .. ... T7D"}, {0, 4, 0, "--- .. ... B01"}, {0, 4, 1, "--- .. ... C10"},
      {0, 4, 2, "--- .. ... E20"}, {0, 4, 3, "--- .. ... F18"}, {0, 5, 0, "--- .. ... G10"},
      {0, 5, 1, "--- .. ... H46"}, {0, 5, 2, "--- .. ... I23"}, {0, 5, 3, "--- .. ... J37"},
      {0, 6, 0, "--- .. ... K05"}, {0, 6, 1, "--- .. ... L03"}, {0, 6, 2, "--- .. ... M20"},
      {0, 6, 3, "--- .. ... N0F"}, {0, 7, 0, "--- .. ... O10"}, {0, 7, 1, "--- .. ... P21"},
      {0, 7, 2, "--- .. ... Q03"}, {0, 7, 3, "--- .. ... R44"}, {0, 8, 0, "--- .. ... S91"},
      {0, 8, 1, "--- .. ... SB2"}, {0, 8, 2, "--- .. ... T05"}, {0, 8, 3, "--- .. ... U34"},
      {0, 9, 0, "--- .. ... V40"}, {0, 9, 1, "--- .. ... W0F"}, {0, 9, 2, "--- .. ... X80"},
      {0, 9, 3, "--- .. ... Y34"}, {0, 20, 2, "E-5 02 v10 ..."}, {0, 21, 2, "E-5 02 v10 ..."},
      {0, 22, 2, "E-5 02 v10 ..."}, {0, 63, 3, "B-8 02 v12 SE2"}, {1, 0, 1, "C-2 01 p12 ..."},
      {1, 39, 0, "=== .. ... SC3"}}},
};

class ModuleNotation : public ::testing::TestWithParam<NotationCase> {
protected:
    static void SetUpTestSuite() { start_silent_player(); }
    static void TearDownTestSuite() { stop_silent_player(); }
};

std::string shown(const ModuleInfo &m, Notation notation, int pattern, int row, int channel) {
    TrackRow decoded;
    decode_module_row(m, pattern, row, channel, decoded);
    CellText cell;
    describe_cell(decoded, notation, cell);
    char line[kCellTextWidth + 1];
    cell_line(cell, line);
    return line;
}

TEST_P(ModuleNotation, EveryCellShowsWhatWasWritten) {
    const NotationCase &c = GetParam();
    const std::string path = std::string(XQ_FIXTURE_DIR) + "/" + c.file;
    char message[256];
    const ModuleInfoPtr m = read_module_info(path.c_str(), message, sizeof message);
    ASSERT_NE(m, nullptr) << path << ": " << message;
    EXPECT_EQ(notation_of(m->type.c_str()), c.notation) << m->type;
    ASSERT_EQ(m->pattern_rows.size(), 2u);
    ASSERT_EQ(m->channels, 4);
    std::map<std::tuple<int, int, int>, std::string> written;
    for (const Expected &e : c.cells) written[{e.pattern, e.row, e.channel}] = e.text;
    for (int pattern = 0; pattern < 2; ++pattern) {
        EXPECT_EQ(m->pattern_rows[static_cast<std::size_t>(pattern)], c.rows[pattern]);
        for (int row = 0; row < c.rows[pattern]; ++row) {
            for (int channel = 0; channel < 4; ++channel) {
                const auto it = written.find({pattern, row, channel});
                const std::string want = it == written.end() ? "--- .. ... ..." : it->second;
                EXPECT_EQ(shown(*m, c.notation, pattern, row, channel), want)
                    << c.file << " pattern " << pattern << " row " << row << " channel " << channel;
            }
        }
    }
    // Past the last row, channel or pattern there is nothing.
    TrackRow none;
    EXPECT_FALSE(decode_module_row(*m, 1, c.rows[1], 0, none));
    EXPECT_FALSE(decode_module_row(*m, 0, 0, 4, none));
    EXPECT_FALSE(decode_module_row(*m, 2, 0, 0, none));
    EXPECT_EQ(none.count, 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, ModuleNotation, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.file).substr(9); });

TEST(NotationOf, NamesTheTrackerFromTheModuleType) {
    const struct {
        const char *modtype;
        Notation notation;
    } cases[] = {
        {"Protracker", Notation::protracker},
        {"FastTracker v2.00 (XM format 1.04)", Notation::fasttracker},
        {"Screamtracker 3.20", Notation::screamtracker},
        {"Impulse Tracker 2.14p3 (S3M format)", Notation::screamtracker},
        {"ImpulseTracker 2.14", Notation::impulsetracker},
        {"Compressed ImpulseTracker 2.14p4", Notation::impulsetracker},
        {"", Notation::protracker},
        {nullptr, Notation::protracker},
    };
    for (const auto &c : cases) EXPECT_EQ(notation_of(c.modtype), c.notation) << (c.modtype ? c.modtype : "null");
}

TEST(DescribeCell, ColoursEffectsByWhatTheyDo) {
    const struct {
        TrackOp op;
        Notation notation;
        EffectKind kind;
    } cases[] = {
        {{kUniPtEffect0 + 0x3, 0x10}, Notation::protracker, EffectKind::pitch},
        {{kUniPtEffect0 + 0xA, 0x01}, Notation::protracker, EffectKind::volume},
        {{kUniPtEffect0 + 0x8, 0x80}, Notation::fasttracker, EffectKind::panning},
        {{kUniPtEffect0 + 0xB, 0x01}, Notation::protracker, EffectKind::timing},
        {{kUniPtEffect0 + 0xE, 0x62}, Notation::protracker, EffectKind::timing},  // E6x loop
        {{kUniPtEffect0 + 0xE, 0x12}, Notation::protracker, EffectKind::pitch},   // E1x
        {{kUniItEffectS0, 0x80}, Notation::impulsetracker, EffectKind::panning},  // S8x
        {{kUniS3mEffectA, 0x06}, Notation::screamtracker, EffectKind::timing},
        {{kUniPtEffect0 + 0x9, 0x10}, Notation::impulsetracker, EffectKind::other},
    };
    for (const auto &c : cases) {
        TrackRow row;
        row.count = 2;
        row.ops[0] = {kUniInstrument, 0};
        row.ops[1] = c.op;
        CellText cell;
        describe_cell(row, c.notation, cell);
        EXPECT_EQ(cell.effect_kind, c.kind) << cell.effect;
    }
}

}  // namespace
