#include "3_panels/instruments_panel.h"

#include <gtest/gtest.h>
#include <string>

#include "1_player/module_loader.h"
#include "2_screen/colors.h"
#include "3_panels/panel_positions.h"
#include "4_program/startup.h"
#include "headless_screen.h"
#include "record_browser_fixture.h"
#include "silent_player.h"

namespace {

class InstrumentsPanel : public RecordBrowserTest {};

}  // namespace

TEST_F(InstrumentsPanel, WalksTheInstrumentsOfAnXm) {
    load("instruments12.xm");
    browser = open_instruments_panel();
    WINDOW *win = browser.pw.win;
    ASSERT_NE(win, nullptr);
    EXPECT_EQ(getbegx(win), 13);
    EXPECT_EQ(getbegy(win), 6);
    EXPECT_EQ(getmaxy(win), 13);
    EXPECT_EQ(cells_text(win, 0, 0, 18), "+-[ Instruments ]-");
    EXPECT_EQ(cell_attr(win, 0, 4), bold_pair(kYellowOnBlack));
    EXPECT_EQ(row_text(win, 8), "+" + std::string(52, '-') + "+");
    EXPECT_EQ(cells_text(win, 10, 5, 8), "[ Next ]");
    EXPECT_EQ(cell_attr(win, 10, 5), kReverse);

    const INSTRUMENT &first = player_module()->instruments[0];
    EXPECT_EQ(field(2), padded("     #: 1   /  12"));
    EXPECT_EQ(field(3), padded("  Name: instrument 01"));
    char text[64];
    std::snprintf(text, sizeof text, " Flags: 0x%04x", first.flags);
    EXPECT_EQ(field(4), padded(text));
    std::snprintf(text, sizeof text, "   Pan: %-3d", first.panning);
    EXPECT_EQ(field(5), padded(text));
    std::snprintf(text, sizeof text, "   Vol: %-4d", first.globvol);
    EXPECT_EQ(field(6), padded(text));

    for (int i = 0; i < 11; ++i) ASSERT_TRUE(record_browser_key(browser, '\n'));
    EXPECT_EQ(field(2), padded("     #: 12  /  12"));
    EXPECT_EQ(field(3), padded("  Name: instrument 12"));
    ASSERT_TRUE(record_browser_key(browser, '\n'));
    EXPECT_EQ(field(3), padded("  Name: instrument 12"));
    ASSERT_TRUE(record_browser_key(browser, KEY_RIGHT));
    ASSERT_TRUE(record_browser_key(browser, '\n'));
    EXPECT_EQ(field(2), padded("     #: 11  /  12"));
    EXPECT_EQ(field(3), padded("  Name: instrument 11"));

    // m has no binding here: nothing is read, nothing moves.
    press_keys({KEY_RIGHT, '\n', 'z'});
    ASSERT_TRUE(record_browser_key(browser, 'm'));
    EXPECT_EQ(getbegx(win), 13);
    EXPECT_EQ(wgetch(win), KEY_RIGHT);
    flushinp();
    ASSERT_TRUE(record_browser_key(browser, KEY_RIGHT));
    EXPECT_FALSE(record_browser_key(browser, '\n'));
}

TEST_F(InstrumentsPanel, AModWithoutInstrumentsShowsTheNoticeThenWaitsForQuit) {
    load("samples31.mod");
    EXPECT_EQ(player_module()->instruments, nullptr);
    press_keys({'x', '\n'});  // the notice ignores x and closes on Enter
    browser = open_instruments_panel();
    ASSERT_NE(browser.pw.win, nullptr);
    for (int row = 2; row <= 6; ++row) EXPECT_EQ(field(row), padded("")) << row;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(record_browser_key(browser, '\n'));
    ASSERT_TRUE(record_browser_key(browser, KEY_RIGHT));
    ASSERT_TRUE(record_browser_key(browser, '\n'));
    EXPECT_EQ(field(2), padded(""));
    EXPECT_FALSE(record_browser_key(browser, 'q'));
}
