#include "1_player/module_loader.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string>

#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "1_player/settings.h"
#include "2_screen/channel_table.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "3_panels/command_keys.h"
#include "3_panels/module_loading.h"
#include "4_program/startup.h"
#include "headless_screen.h"
#include "silent_player.h"

TEST(ModuleLoader, FileNameIsThePartAfterTheLastSlash) {
    EXPECT_STREQ(file_name_of("/music/mods/song.xm"), "song.xm");
    EXPECT_STREQ(file_name_of("song.xm"), "song.xm");
    EXPECT_STREQ(file_name_of("dir/"), "");
}

TEST(ModuleLoader, FileInfoShowsBytesAndKilobytes) {
    char text[256];
    format_file_info(text, sizeof text, "a.mod", 31, 31, 512);
    EXPECT_STREQ(text, "a.mod  [ 31 smp, 31 ins, 512 bytes, 0.5 KB ]");
    format_file_info(text, sizeof text, "big.it", 3, 0, 3'000'000'000LL);
    EXPECT_STREQ(text, "big.it  [ 3 smp, 0 ins, 3000000000 bytes, 2929687.5 KB ]");
}

TEST(ModuleLoader, AFailedLoadNamesTheFile) {
    const struct {
        const char *path;
        const char *text;
    } cases[] = {
        {"/m/notes.txt", "'notes.txt': Module format not recognized."},
        {"song.xm", "'song.xm': Module format not recognized."},
        {"/m/a-name-of-fifty-characters-that-is-far-too-long.xm",
         "'~ifty-characters-that-is-far-too-long.xm': Module format not recognized."},
    };
    for (const auto &c : cases) {
        char text[256];
        format_load_failure(text, sizeof text, c.path, "Module format not recognized.");
        EXPECT_STREQ(text, c.text);
    }
}

namespace {

const std::string kFixtures = XQ_FIXTURE_DIR;

// Loads into libmikmod's silent driver on a headless 80x24 main screen.
class Loading : public ::testing::Test {
protected:
    static void SetUpTestSuite() { start_silent_player(); }
    static void TearDownTestSuite() { stop_silent_player(); }

    HeadlessScreen screen{24, 80};

    void SetUp() override {
        create_test_main_window();
        save_marker_cells();
    }
    void TearDown() override {
        player_unload();
        loop_module = fade_module = 0;
        destroy_test_main_window();
    }
};

}  // namespace

TEST_F(Loading, ShowsTheFileAndTitleRowsAndStartsPlaying) {
    const std::string path = kFixtures + "/percent.xm";
    const auto bytes = std::filesystem::file_size(path);
    loop_module = 1;
    ASSERT_EQ(load_module(path.c_str()), 0);
    MODULE *module = player_module();
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(is_playing(player_view()));
    EXPECT_TRUE(module->loop);
    EXPECT_TRUE(module->wrap);  // a finished song starts again
    EXPECT_FALSE(module->fadeout);
    char kb[32];
    std::snprintf(kb, sizeof kb, "%.1f", static_cast<double>(static_cast<float>(bytes) * (1.0f / 1024.0f)));
    std::string file_row = "File   : percent.xm  [ " + std::to_string(module->numsmp) + " smp, " +
                           std::to_string(module->numins) + " ins, " + std::to_string(bytes) + " bytes, " + kb +
                           " KB ]";
    EXPECT_EQ(cells_text(shown(), 1, 1, static_cast<int>(file_row.size())), file_row);
    const std::string title_row = "Title  : 100% %s %d %n - Type: " + std::string(module->modtype);
    EXPECT_EQ(cells_text(shown(), 2, 1, static_cast<int>(title_row.size())), title_row);
    EXPECT_EQ(cell_attr(shown(), 2, 10), pair(kCyanOnBlack));
    EXPECT_EQ(cell_attr(shown(), 2, 1), kBold);
}

TEST_F(Loading, ANewModuleReplacesTheOldAndResetsTheTable) {
    ASSERT_EQ(load_module((kFixtures + "/eight.mod").c_str()), 0);
    const std::uint64_t first = player_view().module->load_number;
    cursor_channel = 5;
    channel_page = 1;
    player_toggle_mute(3);
    player_next_position();
    voice_volume_peak[2] = 999;
    ASSERT_TRUE(channel_is_muted(player_view(), 3));
    ASSERT_EQ(player_view().song_position, 1);
    ASSERT_EQ(load_module((kFixtures + "/percent.xm").c_str()), 0);
    EXPECT_GT(player_view().module->load_number, first);  // the first one was freed; the sanitizers catch a second free
    EXPECT_EQ(cursor_channel, 0);
    EXPECT_EQ(channel_page, 0);
    EXPECT_FALSE(channel_is_muted(player_view(), 3));
    EXPECT_EQ(player_view().song_position, 0);
    EXPECT_EQ(voice_volume_peak[2], 256);
}

TEST_F(Loading, FailuresKeepTheOldModule) {
    ASSERT_EQ(load_module((kFixtures + "/eight.mod").c_str()), 0);
    MODULE *old = player_module();
    const std::string file_row = row_text(main_win, 1);

    const std::string text_file = std::filesystem::temp_directory_path() / "xq-not-a-module.txt";
    std::FILE *f = std::fopen(text_file.c_str(), "w");
    std::fputs("just some words, not music\n", f);
    std::fclose(f);

    const std::string fifo = std::filesystem::temp_directory_path() / "xq-fifo";
    std::filesystem::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

    // Whatever the reason, the old module plays on.
    const std::string cases[] = {text_file, "/nonexistent/song.xm", kFixtures, fifo};
    const char *reasons[] = {"Module format not recognized.", "File can't be read.", "Not a file.", "Not a file."};
    int k = 0;
    alarm(5);  // a FIFO that blocks fails the test instead of hanging it
    for (const auto &path : cases) {
        press_keys({'\n'});  // closes the message box
        EXPECT_EQ(load_module(path.c_str()), -1) << path;
        EXPECT_EQ(player_module(), old) << path;
        EXPECT_TRUE(is_playing(player_view())) << path;
        EXPECT_EQ(row_text(main_win, 1), file_row) << path;
        EXPECT_EQ(std::string(last_load_failure().path), path);
        EXPECT_STREQ(last_load_failure().reason, reasons[k++]) << path;
    }
    alarm(0);
    // What standard error says once the screen is restored after a start
    // that played nothing.
    EXPECT_STREQ(failed_start_text(1).text, ("XQ: Can't load '" + fifo + "': Not a file.\n").c_str());
    EXPECT_STREQ(failed_start_text(3).text,
                 ("XQ: Can't load '" + fifo + "': Not a file.\nXQ: None of the 3 modules could be played.\n").c_str());
    std::filesystem::remove(fifo);
    std::filesystem::remove(text_file);
}

TEST_F(Loading, ALongNameIsShortenedSoTheSizesStayWholeInsideTheBorder) {
    const std::string name = std::string(60, 'n') + ".xm";
    const std::string path = std::filesystem::temp_directory_path() / name;
    std::filesystem::copy_file(kFixtures + "/percent.xm", path, std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(load_module(path.c_str()), 0);
    std::filesystem::remove(path);
    char sizes[128];
    format_file_sizes(sizes, sizeof sizes, player_module()->numsmp, player_module()->numins,
                      static_cast<long long>(std::filesystem::file_size(kFixtures + "/percent.xm")));
    const std::string row = row_text(shown(), 1);
    const std::string tail = std::string("~") + sizes + "|";
    ASSERT_GE(row.size(), tail.size());
    EXPECT_EQ(row.substr(row.size() - tail.size()), tail) << row;
    EXPECT_EQ(row.substr(0, 14), "|File   : nnnn") << row;
}
