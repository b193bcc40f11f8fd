#include "1_player/crossfeed.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace {

// A sine of `hz` on the left side alone, `frames` long, 16-bit.
std::vector<std::int16_t> left_sine(double hz, int frames, unsigned rate) {
    std::vector<std::int16_t> sound(2 * frames, 0);
    for (int i = 0; i < frames; ++i)
        sound[2 * i] = static_cast<std::int16_t>(10000 * std::sin(2 * M_PI * hz * i / rate));
    return sound;
}

double side_rms(const std::vector<std::int16_t> &sound, int side) {
    double sum = 0;
    const std::size_t frames = sound.size() / 2;
    for (std::size_t i = frames / 2; i < frames; ++i) sum += double(sound[2 * i + side]) * sound[2 * i + side];
    return std::sqrt(sum / double(frames - frames / 2));
}

}  // namespace

TEST(Crossfeed, EachPresetFeedsTheLeftIntoTheRightByItsOwnAmount) {
    const unsigned rate = 44100;
    double last_db = 0;
    for (int preset = 1; preset < kCrossfeedPresets; ++preset) {
        Crossfeed filter;
        std::vector<std::int16_t> sound = left_sine(300, 8820, rate);
        // In pieces, as the sound thread writes it: the state carries over.
        for (std::size_t at = 0; at < sound.size(); at += 2 * 441)
            filter.apply(sound.data() + at, 441 * 4, SampleFormat::s16, true, rate, preset);
        const double db = 20 * std::log10(side_rms(sound, 1) / side_rms(sound, 0));
        // The presets feed 4.5, 6 and 9.5 dB below the direct side at low
        // frequencies: each one less than the one before.
        EXPECT_LT(db, -3.0) << preset;
        if (preset > 1) {
            EXPECT_LT(db, last_db) << preset;
        }
        last_db = db;
    }
}

TEST(Crossfeed, OffMonoOrAnUnusableRateLeaveTheSoundAlone) {
    const struct {
        int preset;
        bool stereo;
        unsigned rate;
    } cases[] = {{0, true, 44100}, {2, false, 44100}, {2, true, 1000}, {7, true, 44100}, {-1, true, 44100}};
    for (const auto &c : cases) {
        Crossfeed filter;
        std::vector<std::int16_t> sound = left_sine(440, 4410, 44100);
        const std::vector<std::int16_t> before = sound;
        filter.apply(sound.data(), sound.size() * 2, SampleFormat::s16, c.stereo, c.rate, c.preset);
        EXPECT_EQ(sound, before) << c.preset << " " << c.stereo << " " << c.rate;
    }
}

TEST(Crossfeed, NamesAndLevelsOfThePresets) {
    const struct {
        int preset;
        const char *name;
        std::uint32_t cut_hz, feed_tenths_db;
    } cases[] = {{0, "off", 0, 0},          {1, "default", 700, 45}, {2, "Chu Moy", 700, 60},
                 {3, "Jan Meier", 650, 95}, {4, "off", 0, 0}};
    for (const auto &c : cases) {
        EXPECT_STREQ(crossfeed_name(c.preset), c.name);
        EXPECT_EQ(crossfeed_level(c.preset) & 0xffff, c.cut_hz) << c.preset;
        EXPECT_EQ(crossfeed_level(c.preset) >> 16, c.feed_tenths_db) << c.preset;
    }
}
