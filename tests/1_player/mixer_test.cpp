#include "1_player/mixer.h"

#include <gtest/gtest.h>
#include <vector>

#include "4_program/main_loop.h"

namespace {

struct MixerWrite {
    unsigned long request;
    int level;
};

std::vector<MixerWrite> sent;

int record(int, unsigned long request, int *level) {
    sent.push_back({request, *level});
    return -1;
}

class MixerKeys : public ::testing::Test {
protected:
    void SetUp() override {
        if (mixer_write_request(MixerControl::bass) == 0) GTEST_SKIP() << "no OSS mixer interface here";
        saved_ = mixer_request;
        mixer_request = record;
        sent.clear();
    }
    void TearDown() override {
        if (saved_) mixer_request = saved_;
        mixer_bass = mixer_treble = 0;
    }

private:
    MixerRequest saved_ = nullptr;
};

}  // namespace

TEST_F(MixerKeys, StepBassAndTrebleAndSendNothingAtABound) {
    const struct {
        int key;
        int bass, treble;  // before
        int *level;
        MixerControl control;
        int after;
        bool writes;
    } cases[] = {
        {'<', 5, 0, &mixer_bass, MixerControl::bass, 4, true},
        {'<', 0, 0, &mixer_bass, MixerControl::bass, 0, false},
        {'>', 255, 0, &mixer_bass, MixerControl::bass, 256, true},
        {'>', 256, 0, &mixer_bass, MixerControl::bass, 256, false},
        {'x', 0, 7, &mixer_treble, MixerControl::treble, 6, true},
        {'x', 0, 0, &mixer_treble, MixerControl::treble, 0, false},
        {'X', 0, 10, &mixer_treble, MixerControl::treble, 11, true},
        {'X', 0, 256, &mixer_treble, MixerControl::treble, 256, false},
    };
    for (const auto &c : cases) {
        sent.clear();
        mixer_bass = c.bass;
        mixer_treble = c.treble;
        handle_main_key(c.key);
        EXPECT_EQ(*c.level, c.after) << static_cast<char>(c.key);
        if (c.writes) {
            ASSERT_EQ(sent.size(), 1u) << static_cast<char>(c.key);
            EXPECT_EQ(sent[0].request, mixer_write_request(c.control));
            EXPECT_EQ(sent[0].level, c.after);
        } else {
            EXPECT_TRUE(sent.empty()) << static_cast<char>(c.key);
        }
    }
}

TEST(Mixer, AMissingDeviceLeavesTheLevelsAtZeroAndWritesFailAtOnce) {
    mixer_volume = mixer_bass = mixer_treble = 0;
    open_mixer();
    if (mixer_open) {
        close_mixer();
        GTEST_SKIP() << "this machine has a mixer device";
    }
    EXPECT_EQ(mixer_fd, -1);
    EXPECT_EQ(mixer_volume, 0);
    EXPECT_EQ(mixer_bass, 0);
    EXPECT_EQ(mixer_treble, 0);
    mixer_bass = 3;
    write_mixer_level(MixerControl::bass);  // fails on the closed descriptor, without blocking
    EXPECT_EQ(mixer_bass, 3);
    close_mixer();
}
