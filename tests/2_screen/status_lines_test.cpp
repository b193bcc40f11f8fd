#include "2_screen/status_lines.h"

#include <gtest/gtest.h>
#include <string>

#include "1_player/settings.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "2_screen/playlist_footer.h"
#include "2_screen/screen_text.h"
#include "headless_screen.h"
#include "1_player/loaded_module.h"
#include "silent_player.h"
#include "1_player/player_core.h"

namespace {

class StatusLines : public ::testing::Test {
protected:
    HeadlessScreen screen{24, 80};
    MODULE song{};
    UWORD order[10] = {4, 0, 1, 1, 2, 7, 3, 3, 5, 6};

    void SetUp() override {
        create_test_main_window();
        song.numchn = 8;
        song.realchn = 6;
        song.numpos = 10;
        song.positions = order;
        song.sngpos = 4;
        song.patpos = 17;
        song.bpm = 125;
        song.sngspd = 6;
        song.inittempo = 130;
        song.volume = 128;
        adopt_module(&song, false);
        md_reverb = 3;
        spinner_off = 1;
        spinner_counter = 0;
        spinner_last_patpos = 0;
    }
    void TearDown() override {
        forget_module();
        md_reverb = 0;
        destroy_test_main_window();
    }
};

}  // namespace

TEST_F(StatusLines, StatusRowLayoutOnEightyColumns) {
    draw_status_row();
    EXPECT_EQ(row_text(main_win, 4),
              "|Ch: 6/ 8  Pat:  3   5/ 10  Pos: 17  Bpm:125  Spd:  6  Tmp:130  Rvb: 3  Vol:128|");
    for (int col : {1, 3, 11, 14, 28, 37, 46, 55, 64, 72, 75})
        EXPECT_EQ(cell_attr(main_win, 4, col), bold_pair(kCyanOnBlack)) << col;
    for (int col : {4, 8, 15, 25, 32, 43, 78}) EXPECT_EQ(cell_attr(main_win, 4, col), kNormal) << col;
}

TEST_F(StatusLines, PatternNumberComesFromTheOrderListAndFreezesAtTheEnd) {
    song.sngpos = 9;
    draw_status_row();
    EXPECT_EQ(cells_text(main_win, 4, 11, 15), "Pat:  7  10/ 10");

    EXPECT_EQ(current_pattern_number(song), 7);
    song.sngpos = 10;
    EXPECT_EQ(current_pattern_number(song), 10);
    song.sngpos = -1;
    EXPECT_EQ(current_pattern_number(song), 10);

    // Once the song has passed its last position the row keeps what it
    // showed; the time box shows where the song ended, even when no frame
    // was drawn between (a seek to the end), and stays there.
    song.sngpos = 10;
    song.bpm = 99;
    song.sngtime = 1024 * 200;
    draw_status_row();
    EXPECT_EQ(cells_text(main_win, 4, 37, 7), "Bpm:125");
    EXPECT_EQ(cells_text(main_win, 23, 63, 15), "[ Time: 03:20 ]");
    draw_status_row();
    EXPECT_EQ(cells_text(main_win, 23, 63, 15), "[ Time: 03:20 ]");
}

TEST_F(StatusLines, TimeBoxCountsSongTimeInUnitsOf1024PerSecond) {
    const struct {
        unsigned long sngtime;
        const char *shown;
    } cases[] = {
        {0, "00:00"},
        {1023, "00:00"},
        {1024, "00:01"},
        {61 * 1024 + 512, "01:01"},
        {61'500, "01:00"},  // 61.5 s read as milliseconds would be 01:01
        {3 * 60 * 1024, "03:00"},
        {3600ul * 1024 - 1, "59:59"},
        {3600ul * 1024, "60:00"},
        {100ul * 60 * 1024, "100:00"},
        {4'000'000'000ul, "999:59"},
    };
    for (const auto &c : cases) {
        char text[16];
        format_song_time(text, sizeof text, c.sngtime);
        EXPECT_STREQ(text, c.shown) << c.sngtime;
    }
    song.sngtime = 61 * 1024 + 512;
    draw_status_row();
    EXPECT_EQ(cells_text(main_win, 23, 63, 15), "[ Time: 01:01 ]");
    EXPECT_EQ(cell_attr(main_win, 23, 65), bold_pair(kCyanOnBlack));
    EXPECT_EQ(cell_attr(main_win, 23, 71), kNormal);
}

TEST_F(StatusLines, DriverLineWordsAndNamesShownLiterally) {
    const struct {
        unsigned mode;
        const char *words;
    } cases[] = {
        {DMODE_16BITS | DMODE_STEREO | DMODE_SURROUND | DMODE_HQMIXER | DMODE_SOFT_MUSIC,
         "16bit STEREO SURROUND HQMIXER (soft)"},
        {DMODE_16BITS | DMODE_STEREO | DMODE_REVERSE | DMODE_SOFT_MUSIC, "16bit !STEREO NORMAL LQMIXER (soft)"},
        {DMODE_REVERSE, "8bit !STEREO NORMAL LQMIXER (hard)"},
        {0, "8bit MONO NORMAL LQMIXER (hard)"},
    };
    for (const auto &c : cases) {
        char words[64];
        format_mode_words(words, sizeof words, c.mode);
        EXPECT_STREQ(words, c.words) << c.mode;
    }

    MDRIVER fake{};
    fake.Name = "100% %s %n sound";
    MDRIVER *saved_driver = md_driver;
    const UWORD saved_mode = md_mode;
    const UWORD saved_freq = md_mixfreq;
    md_driver = &fake;
    md_mode = DMODE_16BITS | DMODE_STEREO | DMODE_SOFT_MUSIC;
    md_mixfreq = 44100;
    draw_driver_line();
    EXPECT_EQ(row_text(main_win, 3),
              "|Driver : 100% %s %n sound - 16bit STEREO NORMAL LQMIXER (soft) 44100 Hz" + std::string(7, ' ') + "|");
    EXPECT_EQ(cell_attr(main_win, 3, 1), kBold);
    EXPECT_EQ(cell_attr(main_win, 3, 10), bold_pair(kMagentaOnBlack));
    EXPECT_EQ(cell_attr(main_win, 3, 27), kNormal);
    EXPECT_EQ(cell_attr(main_win, 3, 66), bold_pair(kYellowOnBlack));
    md_driver = saved_driver;
    md_mode = saved_mode;
    md_mixfreq = saved_freq;
}

TEST_F(StatusLines, SpinnerTurnsOncePerNewRow) {
    const struct {
        int k;
        const char *cells;
    } cases[] = {{0, "-\\|/"}, {1, "\\|/-"}, {2, "|/-\\"}, {3, "/-\\|"}, {6, "|/-\\"}};
    for (const auto &c : cases) {
        char cells[4];
        spinner_cells(c.k, cells);
        EXPECT_EQ(std::string(cells, 4), c.cells) << c.k;
    }

    draw_status_row();  // off by default: the title stays
    EXPECT_EQ(cells_text(main_win, 0, 0, 14), " :: XQ v0.6 ::");
    spinner_off = 0;
    draw_status_row();
    EXPECT_EQ(cells_text(main_win, 0, 0, 14), " -\\ XQ v0.6 |/");
    EXPECT_EQ(cell_attr(main_win, 0, 1), bold_pair(kGreenOnBlue));
    draw_status_row();  // same row: no step
    EXPECT_EQ(cells_text(main_win, 0, 0, 14), " -\\ XQ v0.6 |/");
    song.patpos = 18;
    draw_status_row();
    EXPECT_EQ(cells_text(main_win, 0, 0, 14), " \\| XQ v0.6 /-");
    EXPECT_EQ(spinner_counter, 2);
}

TEST_F(StatusLines, FooterLineIsRestoredOnceAfterAPlaylistStops) {
    put_text(main_win, 23, 1, "Playlist 3/12");
    playlist_footer.clear_pending = true;
    draw_status_row();
    EXPECT_EQ(cells_text(main_win, 23, 0, 60), "+" + std::string(59, '-'));
    EXPECT_FALSE(playlist_footer.clear_pending);
}

TEST(TimeBox, TextWithAndWithoutTheLength) {
    const struct {
        unsigned long sngtime;
        long long length_ms;
        bool with_length;
        const char *shown;
    } cases[] = {
        {65 * 1024, 192'000, true, "01:05/03:12"},
        {65 * 1024, 192'999, true, "01:05/03:12"},
        {65 * 1024, 192'000, false, "01:05"},  // a narrow screen
        {65 * 1024, -1, true, "01:05"},        // the length is not known
        {0, 0, true, "00:00/00:00"},
        {100ul * 60 * 1024, 101 * 60'000, true, "100:00/101:00"},
    };
    for (const auto &c : cases) {
        char text[32];
        format_time_box(text, sizeof text, c.sngtime, c.length_ms, c.with_length);
        EXPECT_STREQ(text, c.shown) << c.sngtime << " " << c.length_ms;
    }
    EXPECT_FALSE(time_box_shows_length(69));
    EXPECT_TRUE(time_box_shows_length(70));
    char text[32];
    EXPECT_FALSE(format_song_box(text, sizeof text, 0, 1));
    ASSERT_TRUE(format_song_box(text, sizeof text, 1, 5));
    EXPECT_STREQ(text, "[ Song 2/5 ]");
}

TEST_F(StatusLines, TimeBoxShowsTheLengthAndTheSongWhereTheyFit) {
    // Two songs of 3:12 and 0:05; the second plays.
    adopt_module(&song, false, "", 0,
                 [](ModuleInfo &info) { info.songs = {{0, 192'000, true}, {6, 5'000, true}}; });
    player_core().subsong = 0;
    song.sngtime = 65 * 1024;
    draw_status_row();
    EXPECT_EQ(row_text(main_win, 23).substr(40), "----[ Song 1/2 ]-[ Time: 01:05/03:12 ]-+");
    EXPECT_EQ(cell_attr(main_win, 23, 46), bold_pair(kCyanOnBlack));
    player_core().subsong = 1;
    song.sngtime = 2 * 1024;
    draw_status_row();
    EXPECT_EQ(row_text(main_win, 23).substr(40), "----[ Song 2/2 ]-[ Time: 00:02/00:05 ]-+");
    player_core().subsong = 0;
    // One song whose length is not known: the box of old, the border
    // restored where the wider one was.
    adopt_module(&song, false, "", 0, [](ModuleInfo &info) { info.songs = {{0, 0, false}}; });
    draw_status_row();
    EXPECT_EQ(row_text(main_win, 23).substr(40), "-----------------------[ Time: 00:02 ]-+");
}

TEST(TimeBoxNarrow, FortyColumnsShowTheElapsedTimeAlone) {
    HeadlessScreen screen{12, 40};
    create_test_main_window();
    MODULE song{};
    UWORD order[1] = {0};
    song.numpos = 1;
    song.positions = order;
    song.bpm = 125;
    song.sngtime = 65 * 1024;
    adopt_module(&song, false, "", 0, [](ModuleInfo &info) { info.songs = {{0, 192'000, true}, {1, 1'000, true}}; });
    player_core().subsong = 0;
    draw_status_row();
    EXPECT_EQ(row_text(main_win, 11), "+----------------------[ Time: 01:05 ]-+");
    forget_module();
    destroy_test_main_window();
}
