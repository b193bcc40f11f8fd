#include <gtest/gtest.h>
#include <string>

#include "2_screen/channel_table.h"
#include "2_screen/colors.h"
#include "4_program/startup.h"
#include "headless_screen.h"

TEST(MainWindow, TitleRowHintAndHeader) {
    HeadlessScreen screen(24, 80);
    create_test_main_window();
    EXPECT_EQ(row_text(shown(), 0), " :: XQ v0.6 ::" + std::string(46, ' ') + "Press 'h' for help  ");
    EXPECT_EQ(cell_attr(shown(), 0, 1), bold_pair(kCyanOnBlue));
    EXPECT_EQ(cell_attr(shown(), 0, 13), bold_pair(kCyanOnBlue));
    EXPECT_EQ(cell_attr(shown(), 0, 14), bold_pair(kGreenOnBlue));
    EXPECT_EQ(cell_attr(shown(), 0, 70), bold_pair(kGreenOnBlue));
    std::string header = " Ch  Period  Vc    Freq     Pos    Panning    Volume       Real volume";
    header.resize(80, ' ');
    EXPECT_EQ(row_text(shown(), 5), header);
    for (int col : {0, 40, 79}) EXPECT_EQ(cell_attr(shown(), 5, col), kReverse) << col;
    EXPECT_EQ(row_text(shown(), 23), "+" + std::string(78, '-') + "+");
    EXPECT_EQ(row_text(shown(), 3).front(), '|');
    destroy_test_main_window();
}

TEST(MainWindow, NarrowAndWideTerminals) {
    {
        HeadlessScreen screen(24, 40);
        create_test_main_window();
        EXPECT_EQ(row_text(shown(), 0), " :: XQ v0.6 ::                          ");
        EXPECT_EQ(row_text(shown(), 5), " Ch  Period  Vc    Freq     Pos    Panni");
        destroy_test_main_window();
    }
    {
        HeadlessScreen screen(30, 100);
        create_test_main_window();
        EXPECT_EQ(cells_text(shown(), 0, 60, 20), "Press 'h' for help  ");
        EXPECT_EQ(cells_text(shown(), 0, 80, 20), std::string(19, '-') + "+");
        destroy_test_main_window();
    }
}
