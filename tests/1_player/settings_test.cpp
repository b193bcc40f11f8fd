#include "1_player/settings.h"

#include <climits>
#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <mikmod.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "3_panels/panel_positions.h"
#include "file_size_limit.h"
#include "temp_home.h"

namespace {

// Every persisted setting back to its default on an 80x24 terminal.
void reset_settings() {
    output_16bits = 1;
    stereo = 1;
    reverse_stereo = 0;
    surround = 1;
    interpolate = 0;
    hq_mixer = 1;
    loop_module = 0;
    fade_module = 0;
    random_mode = 0;
    refresh_delay = 40;
    separation = 100;
    crossfeed = 0;
    color_scheme = ColorScheme::dark;
    mpris_enabled = 1;
    PanelPositions = default_panel_positions(80, 24);
}

class Settings : public ::testing::Test {
protected:
    void SetUp() override { reset_settings(); }
    void TearDown() override { reset_settings(); }
};

const char kDefaultFile[] =
    "16bits=1\nstereo=1\nreverse_stereo=0\nsurround=1\ninterpolate=0\nhq_mixer=1\n"
    "loop_module=0\nfade_module=0\nrandom_mode=0\ndelay=40\nloops=1\nall_songs=0\ncolors=dark\nmpris=1\nseparation=100\ncrossfeed=0\nAC_X=6\nAC_Y=4\nVPOS_X=6\n"
    "VPOS_Y=4\nVFREQ_X=6\nVFREQ_Y=4\nOPT_X=20\nOPT_Y=2\nEFT_X=20\nEFT_Y=0\n";

}  // namespace

TEST_F(Settings, EachLineSetsItsValueAsTheReaderTakesIt) {
    const struct {
        const char *line;
        int *setting;
        int expected;
    } cases[] = {
        {"16bits=2", &output_16bits, 1},       {"16bits=-1", &output_16bits, 1},
        {"16bit=0", &output_16bits, 0},        {"interpolate=2", &interpolate, 0},
        {"interpolate=1", &interpolate, 1},    {"hq_mixer=-1", &hq_mixer, 0},
        {"loop_module=1", &loop_module, 1},    {"fade_module=7", &fade_module, 0},
        {"random_mode=3", &random_mode, 1},    {"reverse_stereo=1", &reverse_stereo, 1},
        {"surround=0", &surround, 0},          {"stereo=0", &stereo, 0},
        {"mpris=0", &mpris_enabled, 0},        {"mpris=2", &mpris_enabled, 1},
        {"delay=40=15", &refresh_delay, 15},   {"delay=abc", &refresh_delay, 0},
        {"delayed=25", &refresh_delay, 25},    {"Delay=25", &refresh_delay, 40},
        {" delay=25", &refresh_delay, 40},     {"delay=  -7x", &refresh_delay, 0},
        {"delay=+12", &refresh_delay, 12},     {"delay", &refresh_delay, 40},
        {"delay=99999999999", &refresh_delay, kMaxRefreshDelay},
        {"delay=10000", &refresh_delay, 10000},     {"delay=-0", &refresh_delay, 0},
        {"AC_X=-3", &PanelPositions.all_channels.x, -3},
        {"AC_Y=9", &PanelPositions.all_channels.y, 9},
        {"VPOS_X=11", &PanelPositions.voices_position.x, 11},
        {"VPOS_Y=12", &PanelPositions.voices_position.y, 12},
        {"VFREQ_X=13", &PanelPositions.voices_frequency.x, 13},
        {"VFREQ_Y=14", &PanelPositions.voices_frequency.y, 14},
        {"OPT_X=15", &PanelPositions.options.x, 15},
        {"OPT_Y=16", &PanelPositions.options.y, 16},
        {"EFT_X=500", &PanelPositions.effects.x, 500},
        {"EFT_Y=9", &PanelPositions.effects.y, 9},
        // Neither new key begins with an older one, nor an older one with it.
        {"separation=50", &separation, 50},    {"separation=-4", &separation, 0},
        {"separation=250", &separation, 100},  {"separation=0", &stereo, 1},
        {"stereo_separation=0", &stereo, 0},   {"crossfeed=2", &crossfeed, 2},
        {"crossfeed=9", &crossfeed, 3},        {"crossfeed=-1", &crossfeed, 0},
        {"crossfeed=1", &stereo, 1},
    };
    for (const auto &c : cases) {
        reset_settings();
        interpret_options_line(c.line);
        EXPECT_EQ(*c.setting, c.expected) << c.line;
    }
}

TEST_F(Settings, TheColorsLineNamesAScheme) {
    const struct {
        const char *line;
        ColorScheme expected;
    } cases[] = {
        {"colors=light", ColorScheme::light},     {"colors=terminal", ColorScheme::terminal},
        {"colors = light ", ColorScheme::light},  {"colors=light\r", ColorScheme::light},
        {"colors=Light", ColorScheme::terminal},  {"colors=", ColorScheme::terminal},
        {"colors=lights", ColorScheme::terminal}, {"colors=1", ColorScheme::terminal},
        {"colors", ColorScheme::terminal},        {"colors=dark", ColorScheme::dark},
    };
    // Each line after "colors=terminal": a line naming no scheme keeps it.
    for (const auto &c : cases) {
        color_scheme = ColorScheme::terminal;
        interpret_options_line(c.line);
        EXPECT_EQ(color_scheme, c.expected) << c.line;
    }
    // No other key reads a colors line, and it reads no other key's line.
    color_scheme = ColorScheme::light;
    for (const char *line : {"16bits=0", "stereo=0", "delay=7", "OPT_X=3", "random_mode=1"}) interpret_options_line(line);
    EXPECT_EQ(color_scheme, ColorScheme::light);
    interpret_options_line("colors=terminal");
    EXPECT_EQ(output_16bits, 0);
    EXPECT_EQ(refresh_delay, 7);
    EXPECT_EQ(PanelPositions.options.x, 3);
    EXPECT_EQ(random_mode, 1);
}

TEST_F(Settings, SavedRowsThatReachTheLastScreenRowGoBackToTwo) {
    const struct {
        int *row;
        int value;
        int expected;
    } cases[] = {
        {&PanelPositions.all_channels.y, 7, 7},     {&PanelPositions.all_channels.y, 8, 2},
        {&PanelPositions.options.y, 4, 2},          {&PanelPositions.options.y, 3, 3},
        {&PanelPositions.effects.y, 9, 9},          {&PanelPositions.effects.y, 10, 2},
        {&PanelPositions.voices_position.y, 8, 2},  {&PanelPositions.voices_frequency.y, 8, 2},
        {&PanelPositions.effects.y, -5, -5},
        // compared without an overflowing sum
        {&PanelPositions.all_channels.y, INT_MAX, 2}, {&PanelPositions.options.y, INT_MIN, INT_MIN},
    };
    for (const auto &c : cases) {
        reset_settings();
        *c.row = c.value;
        check_saved_rows(24);
        EXPECT_EQ(*c.row, c.expected) << "value " << c.value;
    }
}

TEST_F(Settings, ReadsAFileWithCarriageReturnsAndIgnoresAnUnendedLastLine) {
    TempHome home;
    home.write(".xq/options", "delay=15\r\nsurround=0\r\nOPT_X=3\r\nAC_Y=8\r\nEFT_Y=3");
    read_options(nullptr);
    check_saved_rows(24);
    EXPECT_EQ(refresh_delay, 15);
    EXPECT_EQ(surround, 0);
    EXPECT_EQ(PanelPositions.options.x, 3);
    EXPECT_EQ(PanelPositions.all_channels.y, 2);  // 8 + 16 reaches row 24
    EXPECT_EQ(PanelPositions.effects.y, 0);       // never ended by a line feed
}

TEST_F(Settings, OverlongLinesAreCutAndMissingFilesChangeNothing) {
    TempHome home;
    read_options(nullptr);  // no file yet
    EXPECT_EQ(refresh_delay, 40);
    home.write(".xq/options", "delay=" + std::string(300, '7') + "\nstereo=0\n");
    read_options(nullptr);
    EXPECT_EQ(refresh_delay, kMaxRefreshDelay);
    EXPECT_EQ(stereo, 0);
}

// Only a regular file is read: opening a FIFO never waits for a writer,
// and a device that never ends is not read at all. A huge regular file is
// read only up to its bound.
TEST_F(Settings, ReadsOnlyARegularFileAndABoundedPart) {
    TempHome home;
    home.write(".xq/keep", "");
    const std::string options = home.path() + "/.xq/options";
    ASSERT_EQ(mkfifo(options.c_str(), 0600), 0);
    alarm(5);  // a read that blocks fails the test instead of hanging it
    read_options(nullptr);
    std::remove(options.c_str());
    ASSERT_EQ(symlink("/dev/zero", options.c_str()), 0);
    read_options(nullptr);
    std::remove(options.c_str());
    home.write(".xq/options", std::string(kMaxOptionsFileBytes, '\n') + "delay=15\n");
    read_options(nullptr);
    alarm(0);
    EXPECT_EQ(refresh_delay, 40);
    home.write(".xq/options", std::string(kMaxOptionsFileBytes - 100, '\n') + "delay=15\n");
    read_options(nullptr);
    EXPECT_EQ(refresh_delay, 15);
}

TEST_F(Settings, AnEmptyHomeIsLikeAnUnsetOne) {
    TempHome home;
    setenv("HOME", "", 1);
    char path[kPathCapacity];
    EXPECT_EQ(options_file_path(path), -1);
}

// The saved file keeps the old file's permissions; a new one gets the
// usual ones for the umask, not the temporary file's owner-only ones.
TEST_F(Settings, ASaveKeepsThePermissions) {
    TempHome home;
    home.write(".xq/keep", "");
    char path[kPathCapacity];
    char message[kPathCapacity];
    ASSERT_EQ(options_file_path(path), 0);
    const mode_t old_mask = umask(022);
    ASSERT_EQ(store_options(path, message, sizeof message), 0);
    struct stat info {};
    ASSERT_EQ(stat(path, &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    for (mode_t mode : {0600, 0640, 0664}) {
        ASSERT_EQ(chmod(path, mode), 0);
        ASSERT_EQ(store_options(path, message, sizeof message), 0);
        ASSERT_EQ(stat(path, &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode);
    }
    umask(old_mask);
}

TEST_F(Settings, WritesTheDocumentedFileAndReadsItBack) {
    TempHome home;
    home.write(".xq/keep", "");
    char path[kPathCapacity];
    ASSERT_EQ(options_file_path(path), 0);
    char message[kPathCapacity];
    ASSERT_EQ(store_options(path, message, sizeof message), 0);
    EXPECT_EQ(std::string(message), "'" + home.path() + "/.xq/options' saved.");
    EXPECT_EQ(home.read(".xq/options"), kDefaultFile);

    interpolate = 1;
    refresh_delay = 15;
    PanelPositions.effects = {33, 9};
    PanelPositions.options = {1, 4};  // 4 + 20 reaches the last row
    ASSERT_EQ(store_options(path, message, sizeof message), 0);
    reset_settings();
    read_options(nullptr);
    check_saved_rows(24);
    EXPECT_EQ(interpolate, 1);
    EXPECT_EQ(refresh_delay, 15);
    EXPECT_EQ(PanelPositions.effects.x, 33);
    EXPECT_EQ(PanelPositions.effects.y, 9);
    EXPECT_EQ(PanelPositions.options.x, 1);
    EXPECT_EQ(PanelPositions.options.y, 2);
}

// Every option away from its default, each to its own value: what is
// written reads back as it was, and writes again the same bytes.
TEST_F(Settings, EveryOptionReadsBackAsWritten) {
    TempHome home;
    home.write(".xq/keep", "");
    char path[kPathCapacity];
    ASSERT_EQ(options_file_path(path), 0);
    char message[kPathCapacity];

    int *const flags[] = {&output_16bits, &stereo,      &reverse_stereo, &surround,   &interpolate,
                          &hq_mixer,      &loop_module, &fade_module,    &random_mode, &mpris_enabled};
    for (int *flag : flags) *flag = 1 - *flag;
    refresh_delay = 9999;
    separation = 37;
    crossfeed = 3;
    color_scheme = ColorScheme::terminal;
    PanelCorner *const corners[] = {&PanelPositions.all_channels, &PanelPositions.voices_position,
                                    &PanelPositions.voices_frequency, &PanelPositions.options,
                                    &PanelPositions.effects};
    int value = 0;
    for (PanelCorner *corner : corners) {
        corner->x = 10 + value;
        corner->y = value++;  // rows high enough up for every panel on a 24-row screen
    }
    int written_flags[std::size(flags)];
    for (std::size_t i = 0; i < std::size(flags); ++i) written_flags[i] = *flags[i];

    ASSERT_EQ(store_options(path, message, sizeof message), 0);
    const std::string file = home.read(".xq/options");
    reset_settings();
    read_options(nullptr);
    check_saved_rows(24);
    for (std::size_t i = 0; i < std::size(flags); ++i) EXPECT_EQ(*flags[i], written_flags[i]) << i;
    EXPECT_EQ(refresh_delay, 9999);
    EXPECT_EQ(separation, 37);
    EXPECT_EQ(crossfeed, 3);
    EXPECT_EQ(color_scheme, ColorScheme::terminal);
    EXPECT_NE(file.find("\ncolors=terminal\n"), std::string::npos);
    value = 0;
    for (PanelCorner *corner : corners) {
        EXPECT_EQ(corner->x, 10 + value);
        EXPECT_EQ(corner->y, value++);
    }
    ASSERT_EQ(store_options(path, message, sizeof message), 0);
    EXPECT_EQ(home.read(".xq/options"), file);
}

TEST_F(Settings, AFailedSaveIsReportedAndLeavesTheOldFileWhole) {
    TempHome home;
    char path[kPathCapacity];
    char message[kPathCapacity];
    ASSERT_EQ(options_file_path(path), 0);

    // No configuration directory: the file cannot be created.
    EXPECT_EQ(store_options(path, message, sizeof message), -1);
    EXPECT_EQ(std::string(message), "Can't open '" + std::string(path) + "'.");

    // A full disk, imitated by a file size limit: the write fails.
    home.write(".xq/options", kDefaultFile);
    refresh_delay = 15;
    int result;
    {
        const FileSizeLimit limit(20);
        result = store_options(path, message, sizeof message);
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(std::string(message).rfind("Can't write '" + std::string(path) + "'", 0), 0u) << message;
    EXPECT_EQ(home.read(".xq/options"), kDefaultFile);
}

// ~/.xq/options kept as a link to a file elsewhere stays a link, and a
// link to a device is refused rather than replaced.
TEST_F(Settings, SavesThroughALinkAndRefusesADevice) {
    TempHome home;
    home.write("dotfiles/xq-options", "delay=15\n");
    home.write(".xq/keep", "");
    char path[kPathCapacity];
    char message[kPathCapacity];
    ASSERT_EQ(options_file_path(path), 0);
    ASSERT_EQ(symlink("../dotfiles/xq-options", path), 0);
    ASSERT_EQ(store_options(path, message, sizeof message), 0) << message;
    EXPECT_EQ(home.read("dotfiles/xq-options"), kDefaultFile);
    struct stat info {};
    ASSERT_EQ(lstat(path, &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    std::remove(path);
    ASSERT_EQ(symlink("/dev/null", path), 0);
    EXPECT_EQ(store_options(path, message, sizeof message), -1);
    EXPECT_EQ(std::string(message), "Can't save '" + std::string(path) + "': not a regular file.");
}

// The options are saved only into a "~/.xq" of the user's own: through a
// folder others may write to (or a link to one), another user could send
// the save on to any file of the user's.
TEST_F(Settings, TheOptionsAreNotSavedThroughAFolderThatIsNotTheUsersOwn) {
    TempHome home;
    const std::string dir = home.path() + "/.xq";
    home.write("elsewhere/keep", "");
    const struct {
        const char *what;
        std::function<void()> make;
        const char *reason;
    } cases[] = {
        {"a link to a folder others may write",
         [&] {
             ASSERT_EQ(chmod((home.path() + "/elsewhere").c_str(), 0777), 0);
             ASSERT_EQ(symlink((home.path() + "/elsewhere").c_str(), dir.c_str()), 0);
         },
         "can be written by other users"},
        {"open to others",
         [&] {
             home.write(".xq/keep", "");
             ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
         },
         "can be written by other users"},
    };
    char path[kPathCapacity];
    ASSERT_EQ(options_file_path(path), 0);
    for (const auto &c : cases) {
        c.make();
        char message[2 * kPathCapacity];
        EXPECT_EQ(write_options(message, sizeof message), -1) << c.what;
        EXPECT_EQ(std::string(message), "Can't save '" + std::string(path) + "': '" + dir + "' " + c.reason + ".")
            << c.what;
        EXPECT_FALSE(std::filesystem::exists(path)) << c.what;
        std::filesystem::remove_all(dir);
    }
    char message[2 * kPathCapacity];
    home.write(".xq/keep", "");
    EXPECT_EQ(write_options(message, sizeof message), 0) << message;

    // Through a link to a folder of the user's own (dotfiles kept elsewhere)
    // the options are saved into that folder.
    std::filesystem::remove_all(dir);
    ASSERT_EQ(chmod((home.path() + "/elsewhere").c_str(), 0700), 0);
    ASSERT_EQ(symlink((home.path() + "/elsewhere").c_str(), dir.c_str()), 0);
    EXPECT_EQ(write_options(message, sizeof message), 0) << message;
    EXPECT_TRUE(std::filesystem::exists(home.path() + "/elsewhere/options"));
}

TEST_F(Settings, OptionsPathMustFitItsBuffer) {
    TempHome home;
    std::string long_home = "/tmp/" + std::string(250, 'h');
    setenv("HOME", long_home.c_str(), 1);
    char path[kPathCapacity];
    EXPECT_EQ(options_file_path(path), -1);
    setenv("HOME", "/tmp/h", 1);
    ASSERT_EQ(options_file_path(path), 0);
    EXPECT_STREQ(path, "/tmp/h/.xq/options");
}

TEST_F(Settings, OutputModeReplacesOnlyTheSixOptionBits) {
    const unsigned others = DMODE_SOFT_MUSIC | DMODE_SOFT_SNDFX | DMODE_FLOAT | DMODE_SIMDMIXER;
    EXPECT_EQ(output_mode(others | DMODE_INTERP | DMODE_REVERSE),
              others | DMODE_16BITS | DMODE_STEREO | DMODE_HQMIXER | DMODE_SURROUND);

    output_16bits = stereo = hq_mixer = surround = 0;
    interpolate = 1;
    reverse_stereo = 1;  // set on its own, without stereo
    EXPECT_EQ(output_mode(0xFFFFu), (0xFFFFu & 0xF8ECu) | DMODE_INTERP | DMODE_REVERSE);
}
