#include "1_player/sound_output.h"

#include <gtest/gtest.h>
#include <mikmod.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "1_player/module_loader.h"
#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "1_player/player_view.h"
#include "silent_player.h"

namespace {

const std::string kSong = std::string(XQ_FIXTURE_DIR) + "/eight.mod";

// A module played on the silent driver, as load_module leaves it.
class Restart : public ::testing::Test {
protected:
    static void SetUpTestSuite() { start_silent_player(); }
    static void TearDownTestSuite() { stop_silent_player(); }

    MODULE *module = nullptr;

    void SetUp() override {
        module = Player_Load(kSong.c_str(), 64, 0);
        ASSERT_NE(module, nullptr);
        adopt_module(module);
        remember_module_data(file_bytes(kSong));
    }
    void TearDown() override {
        player_unload();
        md_mixfreq = 44100;
    }

    void play_until(int position, int row) {
        for (int i = 0; i < 100000 && (module->sngpos < position || module->patpos < row); ++i) MikMod_Update();
    }
};

}  // namespace

TEST_F(Restart, GoesOnFromTheSameRowWithTheSameSettings) {
    play_until(1, 20);
    module->bpm = 90;
    module->sngspd = 7;
    module->volume = 77;
    module->loop = 1;
    module->wrap = 1;
    Player_Mute(2);
    MODULE *before = module;
    const int row = module->patpos;
    const unsigned long song_time = module->sngtime;

    md_mixfreq = 22050;
    ASSERT_EQ(restart_output(), 0) << MikMod_strerror(MikMod_errno);
    EXPECT_EQ(md_mixfreq, 22050);
    EXPECT_EQ(module, before);
    EXPECT_EQ(Player_GetModule(), module);
    EXPECT_TRUE(is_playing(player_view()));
    EXPECT_EQ(module->sngpos, 1);
    EXPECT_EQ(module->patpos, row);
    EXPECT_EQ(module->sngtime, song_time);
    EXPECT_EQ(module->bpm, 90);
    EXPECT_EQ(module->sngspd, 7);
    EXPECT_EQ(module->volume, 77);
    EXPECT_TRUE(module->loop);
    EXPECT_TRUE(module->wrap);
    EXPECT_TRUE(Player_Muted(2));
    EXPECT_FALSE(Player_Muted(1));

    // The samples are back in the driver: the notes of the next rows sound.
    play_until(1, row + 3);
    bool sounding = false;
    for (int v = 0; v < module->numvoices; ++v) sounding = sounding || !Voice_Stopped(static_cast<SBYTE>(v));
    EXPECT_TRUE(sounding);
}

TEST_F(Restart, APausedModuleStaysPaused) {
    play_until(0, 10);
    Player_TogglePause();
    ASSERT_EQ(restart_output(), 0);
    EXPECT_TRUE(Player_Paused());
    Player_TogglePause();
}

TEST_F(Restart, AStoppedModuleStaysStopped) {
    play_until(0, 10);
    Player_Stop();
    ASSERT_EQ(restart_output(), 0);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(Player_GetModule(), nullptr);
    Player_Start(module);  // and plays when started again
    play_until(0, 3);
    EXPECT_EQ(module->sngpos, 0);
}

TEST_F(Restart, ADriverThatFailsToStartLeavesTheSilentDriverPlaying) {
    play_until(0, 10);
    MODULE *before = module;
    const UWORD device = md_device;
    md_device = 200;  // no such driver: the restart fails
    EXPECT_EQ(restart_output(), -1);
    EXPECT_NE(MikMod_errno, 0);
    md_device = device;
    EXPECT_EQ(module, before);
    EXPECT_EQ(Player_GetModule(), module);
    ASSERT_NE(md_driver, nullptr);
    EXPECT_STREQ(md_driver->Alias, "nosound");
    play_until(0, 14);  // the song goes on
    EXPECT_GE(module->patpos, 14);
    EXPECT_EQ(restart_output(), 0);  // and a later restart succeeds
}

// The samples come back from the bytes kept at the load, so a module file
// moved or deleted since does not matter.
TEST_F(Restart, NeedsNoFileOnceLoaded) {
    const std::string copy = ::testing::TempDir() + "xq_restart_copy.mod";
    {
        const std::vector<char> bytes = file_bytes(kSong);
        std::FILE *f = std::fopen(copy.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        std::fclose(f);
    }
    std::vector<char> data;
    char message[256];
    ASSERT_EQ(read_module_file(copy.c_str(), data, message, sizeof message), 0) << message;
    remember_module_data(std::move(data));
    std::remove(copy.c_str());
    play_until(0, 10);
    md_mixfreq = 22050;
    ASSERT_EQ(restart_output(), 0) << MikMod_strerror(MikMod_errno);
    play_until(0, 14);
    bool sounding = false;
    for (int v = 0; v < module->numvoices; ++v) sounding = sounding || !Voice_Stopped(static_cast<SBYTE>(v));
    EXPECT_TRUE(sounding);
}

// What is not a regular file is refused without blocking: a FIFO with no
// writer would hold a blocking open for ever.
TEST(ModuleFile, RefusesWhatIsNotARegularFile) {
    const std::string fifo = ::testing::TempDir() + "xq_module_fifo";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::vector<char> data;
    char message[256];
    for (const std::string &path : {fifo, ::testing::TempDir(), std::string("/nonexistent/x.mod")}) {
        EXPECT_EQ(read_module_file(path.c_str(), data, message, sizeof message), -1) << path;
        EXPECT_NE(message[0], '\0');
    }
    std::remove(fifo.c_str());
    ASSERT_EQ(read_module_file(kSong.c_str(), data, message, sizeof message), 0);
    EXPECT_EQ(data, file_bytes(kSong));
}

// A snapshot reads each channel's voice once: taken with the voices, the
// channels take their values from the voices read; taken without, from the
// library. Either way a channel shows what the library says of its voice,
// at every place of the song.
TEST_F(Restart, ASnapshotShowsEachChannelsVoiceWithOrWithoutTheVoices) {
    const int rows[] = {2, 7, 13, 21, 30};
    for (int row : rows) {
        play_until(0, row);
        PlayerView with;
        PlayerView without;
        capture_player_view(with, true);
        capture_player_view(without, false);
        ASSERT_EQ(with.voice_count, kPlayerChannels);
        ASSERT_EQ(without.voice_count, 0);
        int sounding = 0;
        for (int c = 0; c < module->numchn; ++c) {
            SCOPED_TRACE("row " + std::to_string(row) + ", channel " + std::to_string(c));
            const ChannelView &a = with.channels[c];
            const ChannelView &b = without.channels[c];
            EXPECT_EQ(a.period, b.period);
            EXPECT_EQ(a.period, Player_GetChannelPeriod(static_cast<UBYTE>(c)));
            if (a.period == 0) continue;
            ++sounding;
            const SBYTE v = static_cast<SBYTE>(Player_GetChannelVoice(static_cast<UBYTE>(c)));
            for (const ChannelView *ch : {&a, &b}) {
                EXPECT_EQ(ch->voice, v);
                EXPECT_EQ(ch->volume, Voice_GetVolume(v));
                EXPECT_EQ(ch->frequency, Voice_GetFrequency(v));
                EXPECT_EQ(ch->position, Voice_GetPosition(v));
                EXPECT_EQ(ch->panning, Voice_GetPanning(v));
                EXPECT_EQ(ch->real_volume, Voice_RealVolume(v));
            }
            EXPECT_EQ(a.volume, with.voices[v].volume);
            EXPECT_EQ(a.real_volume, with.voices[v].real_volume);
        }
        EXPECT_GT(sounding, 0);
    }
}

// The snapshot's names are copied whole when they fit and cut, always
// terminated, when they do not.
TEST(SnapshotText, IsCopiedWholeOrCutToFit) {
    struct Case {
        const char *text;
        const char *expected;
    };
    const Case cases[] = {
        {"", ""}, {"Pulse", "Pulse"}, {"1234567", "1234567"}, {"12345678", "1234567"}, {"a longer driver name", "a longe"},
    };
    for (const Case &c : cases) {
        char out[8];
        std::memset(out, 'x', sizeof out);
        copy_text(out, c.text);
        EXPECT_STREQ(out, c.expected) << c.text;
    }
    char one[1] = {'x'};
    copy_text(one, "anything");
    EXPECT_EQ(one[0], '\0');
    char untouched = 'x';
    copy_text(&untouched, 0, "anything");
    EXPECT_EQ(untouched, 'x');
}
