#include "2_screen/channel_table.h"

#include <gtest/gtest.h>
#include <string>

#include "1_player/player.h"
#include "2_screen/colors.h"
#include "2_screen/level_meter.h"
#include "2_screen/main_window.h"
#include "3_panels/command_keys.h"
#include "fake_player.h"
#include "headless_screen.h"
#include "silent_player.h"

namespace {

class ChannelTable : public ::testing::Test {
protected:
    HeadlessScreen screen{24, 80};
    MODULE song{};

    void SetUp() override {
        reset_fake_player();
        create_test_main_window();
        save_marker_cells();
        previous_cursor_channel = 0;
        reset_channel_state();
        reset_voice_volume_peaks();
        for (int i = 0; i < kMaxChannels; ++i) {
            previous_volume[i] = 0;
            real_volume_peak[i] = frequency_peak[i] = position_peak[i] = 0;
        }
        meter_style = 1;
        show_real_volume = 1;
        channels(8);
    }
    void TearDown() override {
        forget_module();
        destroy_test_main_window();
    }

    // The player plays `song`, of `count` channels.
    void channels(int count) {
        song.numchn = static_cast<UBYTE>(count);
        adopt_module(&song, false);
    }

    // Channel 0 sounding on voice 0.
    void sound(int channel, int voice, int volume, unsigned long panning = 128) {
        FakeChannel &c = fake_channels[channel];
        c.period = 428;
        c.voice = voice;
        c.volume = volume;
        c.frequency = 8363;
        c.position = 1200;
        c.panning = panning;
        c.real_volume = volume;
    }

    std::string row(int r) { return row_text(main_win, r); }
};

}  // namespace

TEST_F(ChannelTable, SoundingAndSilentRows) {
    sound(0, 2, 64, 0);
    draw_channel_table();
    EXPECT_EQ(cells_text(main_win, 6, 0, 52), ">01<    428   3    8363    1200  L...... 127   64  +");
    EXPECT_EQ(cell_attr(main_win, 6, 1), bold_pair(kCyanOnBlue));
    EXPECT_EQ(cells_text(main_win, 7, 0, 52), "|02       0   0       0       0  ...M... 128    0  =");
    EXPECT_EQ(cell_attr(main_win, 7, 36), bold_pair(kBlueOnBlack));
    EXPECT_EQ(cell_attr(main_win, 7, 1), kNormal);
    EXPECT_EQ(cells_text(main_win, 7, 74, 5), "   0%");
}

TEST_F(ChannelTable, PanningScale) {
    const struct {
        unsigned long panning;
        int letter_col;
        char letter;
        attr_t letter_attr;
        attr_t dots_attr;
        const char *number;
    } cases[] = {
        {0, 33, 'L', bold_pair(kMagentaOnMagenta), bold_pair(kMagentaOnBlack), "127"},
        {1, 33, 'L', bold_pair(kMagentaOnBlack), bold_pair(kMagentaOnBlack), "126"},
        {41, 33, 'L', bold_pair(kMagentaOnBlack), bold_pair(kMagentaOnBlack), " 86"},
        {42, 34, 'L', bold_pair(kMagentaOnBlack), bold_pair(kMagentaOnBlack), " 85"},
        {83, 34, 'L', bold_pair(kMagentaOnBlack), bold_pair(kMagentaOnBlack), " 44"},
        {84, 35, 'L', bold_pair(kMagentaOnBlack), bold_pair(kMagentaOnBlack), " 43"},
        {125, 35, 'L', bold_pair(kMagentaOnBlack), bold_pair(kMagentaOnBlack), "  2"},
        {126, 36, 'L', bold_pair(kMagentaOnBlack), bold_pair(kMagentaOnBlack), "  1"},
        {127, 35, 'L', bold_pair(kMagentaOnBlack), bold_pair(kMagentaOnBlack), "  0"},
        {128, 36, 'M', bold_pair(kBlueOnBlack), bold_pair(kBlueOnBlack), "128"},
        {129, 37, 'R', bold_pair(kCyanOnBlack), bold_pair(kCyanOnBlack), "  1"},
        {169, 37, 'R', bold_pair(kCyanOnBlack), bold_pair(kCyanOnBlack), " 41"},
        {170, 38, 'R', bold_pair(kCyanOnBlack), bold_pair(kCyanOnBlack), " 42"},
        {211, 38, 'R', bold_pair(kCyanOnBlack), bold_pair(kCyanOnBlack), " 83"},
        {212, 39, 'R', bold_pair(kCyanOnBlack), bold_pair(kCyanOnBlack), " 84"},
        {255, 39, 'R', bold_pair(kCyanOnCyan), bold_pair(kCyanOnBlack), "127"},
        {256 + 129, 37, 'R', bold_pair(kCyanOnBlack), bold_pair(kCyanOnBlack), "  1"},  // low 8 bits
    };
    for (const auto &c : cases) {
        sound(0, 0, 64, c.panning);
        draw_channel_table();
        std::string dots(7, '.');
        dots[static_cast<std::size_t>(c.letter_col - 33)] = c.letter;
        EXPECT_EQ(cells_text(main_win, 6, 33, 7), dots) << c.panning;
        EXPECT_EQ(cell_attr(main_win, 6, c.letter_col), c.letter_attr) << c.panning;
        const int other_dot = c.letter_col == 33 ? 39 : 33;
        EXPECT_EQ(cell_attr(main_win, 6, other_dot), c.dots_attr) << c.panning;
        EXPECT_EQ(cells_text(main_win, 6, 41, 3), c.number) << c.panning;
        EXPECT_EQ(cell_attr(main_win, 6, 41), pair(kCyanOnBlack)) << c.panning;
    }
}

TEST_F(ChannelTable, VolumeBands) {
    const struct {
        int volume;
        attr_t band;
    } cases[] = {
        {1, pair(kGreenOnBlack)},         {63, pair(kGreenOnBlack)},     {64, bold_pair(kGreenOnBlack)},
        {127, bold_pair(kGreenOnBlack)},  {128, bold_pair(kYellowOnBlack)}, {191, bold_pair(kYellowOnBlack)},
        {192, bold_pair(kRedOnBlack)},    {255, bold_pair(kRedOnBlack)}, {256, bold_pair(kWhiteOnRed)},
    };
    for (const auto &c : cases) {
        sound(0, 0, c.volume);
        draw_channel_table();
        EXPECT_EQ(cell_attr(main_win, 6, 14), c.band) << c.volume;  // voice columns
        EXPECT_EQ(cell_attr(main_win, 6, 48), c.band) << c.volume;  // volume
        EXPECT_EQ(cell_attr(main_win, 6, 1), bold_pair(kCyanOnBlue)) << c.volume;
    }
    sound(0, 0, 0);
    draw_channel_table();
    EXPECT_EQ(cell_attr(main_win, 6, 14), kNormal);
    EXPECT_EQ(cell_attr(main_win, 6, 48), kNormal);
    EXPECT_EQ(cell_attr(main_win, 6, 1), kNormal);  // a period but no volume
}

TEST_F(ChannelTable, TrendMarksFollowTheVolume) {
    std::string marks;
    for (int volume : {10, 20, 20, 5}) {
        sound(0, 0, volume);
        draw_channel_table();
        marks += cells_text(main_win, 6, 51, 1);
    }
    EXPECT_EQ(marks, "++=-");
}

TEST_F(ChannelTable, PercentagesAgainstPeaksNeverPassOneHundred) {
    sound(0, 0, 128);
    fake_channels[0].real_volume = 300;
    draw_channel_table();
    EXPECT_EQ(cells_text(main_win, 6, 74, 5), " 100%");  // the real peak is reached
    fake_channels[0].real_volume = 150;
    draw_channel_table();
    EXPECT_EQ(cells_text(main_win, 6, 74, 5), "  50%");

    show_real_volume = 0;
    draw_channel_table();
    EXPECT_EQ(cells_text(main_win, 6, 74, 5), "  50%");  // 128 of the 256 every load starts from
    sound(0, 0, 256);
    draw_channel_table();
    EXPECT_EQ(cells_text(main_win, 6, 74, 5), " 100%");
}

TEST_F(ChannelTable, VoicesOutsideThePeakTablesAreNeverIndexed) {
    for (int voice : {-1, 64, 100}) {
        sound(0, voice, 200);
        fake_channels[0].real_volume = 5000;
        draw_channel_table();  // under the sanitizers an index past the tables fails here
        for (int v = 0; v < kMaxChannels; ++v) ASSERT_EQ(real_volume_peak[v], 0) << voice;
    }
}

TEST_F(ChannelTable, MutedRows) {
    sound(1, 1, 200);
    cursor_channel = 1;
    toggle_cursor_channel_mute();
    EXPECT_EQ(fake_muted[1], 1);
    std::string muted = ">02  ------  --  ------ -------  ------- ---   MUTED" + std::string(22, ' ') + "   0%";
    muted[3] = '<';  // the cursor's marker
    EXPECT_EQ(cells_text(main_win, 7, 0, 79), muted);
    EXPECT_EQ(cell_attr(main_win, 7, 60), pair(kGreenOnBlack));
    toggle_cursor_channel_mute();
    EXPECT_EQ(fake_muted[1], 0);
    EXPECT_EQ(cells_text(main_win, 7, 0, 11), ">02<    428");
    EXPECT_EQ(cells_text(main_win, 7, 46, 3), "200");
}

TEST_F(ChannelTable, FortyChannelsPageBySeventeen) {
    channels(40);
    const struct {
        int from_channel;
        int key;
        int to_channel;
        int to_page;
    } cases[] = {
        {4, KEY_NPAGE, 17, 1},  {34, KEY_NPAGE, 39, 2}, {17, KEY_PPAGE, 0, 0},  {19, KEY_PPAGE, 17, 1},
        {39, KEY_DOWN, 39, 2},  {0, KEY_UP, 0, 0},      {16, KEY_DOWN, 17, 1},  {17, KEY_UP, 16, 0},
        {0, KEY_PPAGE, 0, 0},   {36, KEY_NPAGE, 39, 2},
    };
    for (const auto &c : cases) {
        cursor_channel = c.from_channel;
        channel_page = c.from_channel / 17;
        move_channel_cursor(c.key);
        EXPECT_EQ(cursor_channel, c.to_channel) << c.from_channel << " key " << c.key;
        EXPECT_EQ(channel_page, c.to_page) << c.from_channel << " key " << c.key;
    }
}

TEST_F(ChannelTable, MarkersFollowTheCursorAndRestoreTheBorder) {
    channels(40);
    draw_channel_table();
    EXPECT_EQ(cells_text(main_win, 6, 0, 4), ">01<");
    move_channel_cursor(KEY_DOWN);
    EXPECT_EQ(cells_text(main_win, 6, 0, 1), "|");
    EXPECT_EQ(cells_text(main_win, 6, 3, 1), " ");
    EXPECT_EQ(cells_text(main_win, 7, 0, 4), ">02<");
    move_channel_cursor(KEY_NPAGE);
    draw_channel_table();
    EXPECT_EQ(cells_text(main_win, 6, 0, 4), ">18<");
    EXPECT_EQ(cells_text(main_win, 7, 0, 4), "|19 ");
}

TEST_F(ChannelTable, RowsPastTheLastChannelAreBlank) {
    channels(40);
    channel_page = 1;
    draw_channel_table();
    EXPECT_EQ(cells_text(main_win, 22, 1, 2), "34");
    channel_page = 2;
    song.sngpos = 3;  // not at the song's start
    song.patpos = 12;
    draw_channel_table();
    EXPECT_EQ(cells_text(main_win, 11, 1, 2), "40");
    for (int r = 12; r <= 22; ++r) EXPECT_EQ(cells_text(main_win, r, 1, 78), std::string(78, ' ')) << r;

    // A smaller module loaded after a larger one.
    channels(4);
    channel_page = 0;
    draw_channel_table();
    for (int r = 10; r <= 22; ++r) EXPECT_EQ(cells_text(main_win, r, 1, 78), std::string(78, ' ')) << r;
}

TEST_F(ChannelTable, TheGapsBetweenFieldsTakeTheirNeighboursAttribute) {
    sound(0, 2, 64, 200);
    draw_channel_table();
    for (int col : {11, 12, 31, 32, 44, 45, 52, 53}) EXPECT_EQ(cell_attr(main_win, 6, col), bold_pair(kGreenOnBlack)) << col;
    EXPECT_EQ(cell_attr(main_win, 6, 40), pair(kCyanOnBlack));
    EXPECT_EQ(cells_text(main_win, 6, 0, 54), ">01<    428   3    8363    1200  .....R.  72   64  +  ");
}

namespace {

// The table on screens too small or too narrow for it.
struct SmallScreenCase {
    int rows;
    int cols;
};

class SmallScreenTable : public ::testing::TestWithParam<SmallScreenCase> {};

}  // namespace

TEST_P(SmallScreenTable, RowsStayInsideTheBorder) {
    const SmallScreenCase c = GetParam();
    HeadlessScreen screen{c.rows, c.cols};
    reset_fake_player();
    create_test_main_window();
    save_marker_cells();
    previous_cursor_channel = 0;
    reset_channel_state();
    MODULE song{};
    song.numchn = 8;
    adopt_module(&song, false);
    fake_channels[0].period = 428;
    fake_channels[0].volume = 256;
    draw_channel_table();
    draw_cursor_markers();
    const std::string bottom = row_text(main_win, c.rows - 1);
    EXPECT_EQ(bottom, "+" + std::string(static_cast<std::size_t>(c.cols - 2), '-') + "+");
    for (int r = 6; r < c.rows - 1; ++r) EXPECT_EQ(cells_text(main_win, r, c.cols - 1, 1), "|") << r;
    forget_module();
    destroy_test_main_window();
}

// A terminal dragged to one or two columns, tall enough for rows past the
// last channel: those rows have no cell to blank.
TEST(NarrowScreenTable, DrawsWhenNoCellOfARowFits) {
    for (const int cols : {1, 2, 3}) {
        HeadlessScreen screen{20, cols};
        reset_fake_player();
        create_test_main_window();
        reset_channel_state();
        MODULE song{};
        song.numchn = 2;
        adopt_module(&song, false);
        fake_channels[0].period = 428;
        draw_channel_table();
        draw_channel_table();
        EXPECT_EQ(row_text(main_win, 0).size(), static_cast<std::size_t>(cols));
        forget_module();
        destroy_test_main_window();
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SmallScreenTable,
                         ::testing::Values(SmallScreenCase{7, 80}, SmallScreenCase{8, 80}, SmallScreenCase{12, 40},
                                           SmallScreenCase{24, 60}));
