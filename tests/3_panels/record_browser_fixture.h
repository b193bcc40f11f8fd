// What the Instruments and Samples panel tests share: a module from the
// fixtures loaded on libmikmod's silent driver, an 80x24 headless main
// screen, and the browser under test, closed after each test.
#pragma once

#include <gtest/gtest.h>
#include <mikmod.h>
#include <string>

#include "1_player/player.h"
#include "3_panels/record_browser.h"
#include "4_program/startup.h"
#include "headless_screen.h"
#include "silent_player.h"

class RecordBrowserTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { start_silent_player(); }
    static void TearDownTestSuite() { stop_silent_player(); }

    HeadlessScreen screen{24, 80};
    MODULE *loaded = nullptr;
    RecordBrowser browser;

    void SetUp() override { create_test_main_window(); }
    void TearDown() override {
        close_record_browser(browser);
        player_unload();
        loaded = nullptr;
        destroy_test_main_window();
    }
    // The player holds `name`, loaded but not started, as the browsers
    // show it.
    void load(const char *name) {
        loaded = Player_Load((std::string(XQ_FIXTURE_DIR) + "/" + name).c_str(), 64, 0);
        ASSERT_NE(loaded, nullptr) << MikMod_strerror(MikMod_errno);
        adopt_module(loaded, false);
    }
    // The fields' area of the browser's row.
    std::string field(int row) { return cells_text(browser.pw.win, row, 1, 52); }
    // A field's text as the panel pads it to the fields' width.
    static std::string padded(const std::string &text, std::size_t width = 52) {
        return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
    }
};
