#include "3_panels/samples_panel.h"

#include <gtest/gtest.h>
#include <panel.h>
#include <string>
#include <utility>

#include "1_player/module_loader.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "3_panels/panel_positions.h"
#include "headless_screen.h"
#include "record_browser_fixture.h"
#include "silent_player.h"

namespace {

// A module without any record (no SAMPLE array at all), held by the player
// while it lives.
struct EmptyModule {
    MODULE song{};
    EmptyModule() { adopt_module(&song, false); }
    ~EmptyModule() { forget_module(); }
    EmptyModule(const EmptyModule &) = delete;
    EmptyModule &operator=(const EmptyModule &) = delete;
};

}  // namespace

namespace {

class SamplesPanel : public RecordBrowserTest {
protected:
    void press(int key, int times = 1) {
        for (int i = 0; i < times; ++i) ASSERT_TRUE(record_browser_key(browser, key));
    }
};

}  // namespace

TEST_F(SamplesPanel, WalksThirtyOneSamplesWithNextAndPrev) {
    load("samples31.mod");
    browser = open_samples_panel();
    WINDOW *win = browser.pw.win;
    ASSERT_NE(win, nullptr);
    EXPECT_EQ(getbegx(win), 13);
    EXPECT_EQ(getbegy(win), 5);
    EXPECT_EQ(getmaxy(win), 15);
    EXPECT_EQ(getmaxx(win), 54);
    EXPECT_EQ(cells_text(win, 0, 0, 14), "+-[ Samples ]-");
    EXPECT_EQ(row_text(win, 10), "+" + std::string(52, '-') + "+");
    EXPECT_EQ(cells_text(win, 12, 5, 8), "[ Next ]");
    EXPECT_EQ(cell_attr(win, 12, 5), kReverse);
    EXPECT_EQ(cells_text(win, 12, 23, 8), "[ Prev ]");
    EXPECT_EQ(cell_attr(win, 12, 23), kNormal);
    EXPECT_EQ(cells_text(win, 12, 41, 8), "[ Quit ]");

    EXPECT_EQ(field(2), padded("     #: 1   /  31"));
    EXPECT_EQ(cell_attr(win, 2, 1), kBold);
    EXPECT_EQ(cell_attr(win, 2, 9), kNormal);
    EXPECT_EQ(field(3), padded("  Name: sample 01"));
    EXPECT_EQ(field(5), padded("Length: 32"));
    EXPECT_EQ(field(8), padded("   Vol: 10   (glob. 64  )"));

    press('\n', 30);
    EXPECT_EQ(field(2), padded("     #: 31  /  31"));
    EXPECT_EQ(field(3), padded("  Name: sample 31"));
    EXPECT_EQ(field(5), padded("Length: 92"));
    press('\n');
    EXPECT_EQ(field(2), padded("     #: 31  /  31"));

    press(KEY_RIGHT);
    EXPECT_EQ(cell_attr(win, 12, 5), kNormal);
    EXPECT_EQ(cell_attr(win, 12, 23), kReverse);
    press('\n');
    EXPECT_EQ(field(2), padded("     #: 30  /  31"));
    EXPECT_EQ(field(3), padded("  Name: sample 30"));
    press(KEY_RIGHT, 3);  // stays at Quit
    EXPECT_EQ(cell_attr(win, 12, 41), kReverse);
    press(KEY_LEFT, 4);  // stays at Next
    EXPECT_EQ(cell_attr(win, 12, 5), kReverse);
    EXPECT_EQ(cell_attr(win, 12, 41), kNormal);
    press(KEY_RIGHT);
    press('\n', 40);  // Prev down to the first and no further
    EXPECT_EQ(field(2), padded("     #: 1   /  31"));
    press(KEY_RIGHT);
    EXPECT_FALSE(record_browser_key(browser, '\n'));  // Quit
}

TEST_F(SamplesPanel, FlagWordsInOrderThenTheWholeFlagWord) {
    const struct {
        unsigned flags;
        const char *text;
    } cases[] = {
        {SF_16BITS | SF_SIGNED | SF_LOOP, "16bit signed loop (0x0105)"},
        {SF_BIDI | SF_LOOP, "bidir loop (0x0300)"},
        {0, "(0x0000)"},
        {SF_OWNPAN | SF_REVERSE | SF_ITPACKED | SF_STEREO | SF_DELTA,
         "stereo IT_packed reverse own_pan (0x1432)"},
    };
    char words[128];
    for (const auto &c : cases) {
        sample_flag_words(c.flags, words, sizeof words);
        EXPECT_STREQ(words, c.text);
    }
    sample_flag_words(0xFFFF, words, 12);
    EXPECT_STREQ(words, "16bit ");  // cut, never overflowed

    const EmptyModule song;
    press_keys({'\n'});  // the notice of a module without samples
    browser = open_samples_panel();
    WINDOW *win = browser.pw.win;
    SampleInfo sample;
    sample.name = "looped";
    sample.flags = SF_16BITS | SF_SIGNED | SF_LOOP | SF_BIDI | SF_REVERSE | SF_OWNPAN | SF_ITPACKED | SF_STEREO;
    draw_sample(win, sample, 1, 1);
    // Too long for the row: cut at the border.
    EXPECT_EQ(field(4), " Flags: 16bit stereo signed IT_packed bidir loop rev");
    EXPECT_EQ(cells_text(win, 4, 53, 1), "|");  // the border stays
    sample.flags = SF_BIDI | SF_LOOP;
    draw_sample(win, sample, 1, 1);
    EXPECT_EQ(field(4), padded(" Flags: bidir loop (0x0300)"));  // the longer words are gone
    EXPECT_EQ(cell_attr(win, 4, 1), kBold);
    EXPECT_EQ(cell_attr(win, 4, 9), kNormal);
    EXPECT_EQ(cell_attr(win, 4, 40), kBold);
}

TEST_F(SamplesPanel, SpeedIsShownSigned) {
    const EmptyModule song;
    press_keys({'\n'});  // the notice of a module without samples
    browser = open_samples_panel();
    SampleInfo sample;
    for (const auto &c : {std::pair{-27, "-27"}, std::pair{8363, "8363"}, std::pair{0, "0"}}) {
        sample.speed = c.first;
        draw_sample(browser.pw.win, sample, 1, 1);
        EXPECT_EQ(field(7), padded(std::string(" Speed: ") + c.second)) << c.first;
    }
}

TEST_F(SamplesPanel, NamesAreClippedAtTheBorderWithControlBytesAsPlaceholders) {
    const EmptyModule song;
    press_keys({'\n'});  // the notice of a module without samples
    browser = open_samples_panel();
    WINDOW *win = browser.pw.win;
    SampleInfo sample;
    sample.name = "tab\there\x1b[31m escape and a name far too long for the row: it goes on and on";
    draw_sample(win, sample, 1, 1);
    EXPECT_EQ(field(3), "  Name: tab.here.[31m escape and a name far too long");
    EXPECT_EQ(cells_text(win, 3, 53, 1), "|");
    EXPECT_EQ(cell_attr(win, 3, 20), kNormal);
    sample.name.clear();  // the library may leave a sample unnamed
    draw_sample(win, sample, 2, 2);
    EXPECT_EQ(field(3), padded("  Name:"));
}

TEST_F(SamplesPanel, AModuleWithoutSamplesShowsANoticeAndNothingToWalk) {
    const EmptyModule song;  // no SAMPLE records at all
    press_keys({'\n'});  // closes the notice
    browser = open_samples_panel();
    ASSERT_NE(browser.pw.win, nullptr);
    for (int row = 2; row <= 8; ++row) EXPECT_EQ(field(row), padded("")) << row;
    press('\n', 3);
    press(KEY_RIGHT);
    press('\n', 3);
    EXPECT_EQ(field(2), padded(""));
    EXPECT_EQ(cells_text(browser.pw.win, 12, 23, 8), "[ Prev ]");
}

TEST_F(SamplesPanel, MIsRememberedForTheNextOpening) {
    load("samples31.mod");
    const PanelCorner start = PanelPositions.samples;
    browser = open_samples_panel();
    press_keys({KEY_RIGHT, KEY_RIGHT, KEY_DOWN, '\n'});
    press('m');
    EXPECT_EQ(getbegx(browser.pw.win), start.x + 2);
    EXPECT_EQ(getbegy(browser.pw.win), start.y + 1);
    EXPECT_FALSE(record_browser_key(browser, 'q'));
    close_record_browser(browser);
    browser = open_samples_panel();
    EXPECT_EQ(getbegx(browser.pw.win), start.x + 2);
    EXPECT_EQ(getbegy(browser.pw.win), start.y + 1);
    EXPECT_FALSE(record_browser_key(browser, 27));
    PanelPositions.samples = start;
}

TEST_F(SamplesPanel, AnotherModuleUnderThePanelStartsAgainAtItsFirstSample) {
    load("samples31.mod");
    browser = open_samples_panel();
    press('\n', 20);
    EXPECT_EQ(field(2), padded("     #: 21  /  31"));
    load("instruments12.xm");  // as the playlist does between two keys
    press(ERR);
    EXPECT_EQ(field(2), padded("     #: 1   /  12"));
    press('\n', 20);
    EXPECT_EQ(field(2), padded("     #: 12  /  12"));
}

TEST_F(SamplesPanel, AWindowResizedWithTheScreenIsDrawnAgainWhole) {
    load("samples31.mod");
    browser = open_samples_panel();
    press('\n', 2);
    press(KEY_RIGHT);
    WINDOW *win = browser.pw.win;
    // What a change of the screen's size does to an open panel.
    wresize(win, 14, 54);
    werase(win);
    wborder(win, 0, 0, 0, 0, 0, 0, 0, 0);
    press(ERR);
    EXPECT_EQ(cells_text(win, 0, 0, 14), "+-[ Samples ]-");
    EXPECT_EQ(field(2), padded("     #: 3   /  31"));
    EXPECT_EQ(field(3), padded("  Name: sample 03"));
    EXPECT_EQ(row_text(win, 10), "+" + std::string(52, '-') + "+");
    EXPECT_EQ(cells_text(win, 12, 23, 8), "[ Prev ]");
    EXPECT_EQ(cell_attr(win, 12, 23), kReverse);
}

TEST_F(SamplesPanel, RunsUntilQuitAndRepaintsTheMainScreen) {
    load("samples31.mod");
    for (int closing : {int{'q'}, 27}) {
        browser = open_samples_panel();
        press_keys({'\n', 'x', closing, 'z'});
        run_record_browser(browser);
        EXPECT_EQ(browser.pw.win, nullptr);
        EXPECT_EQ(wgetch(main_win), 'z');
        EXPECT_EQ(panel_below(nullptr), main_panel);
    }
    browser = open_samples_panel();
    press_keys({KEY_RIGHT, KEY_RIGHT, '\n', 'z'});
    run_record_browser(browser);
    EXPECT_EQ(wgetch(main_win), 'z');
}
