#include "1_player/crossfeed.h"

#include <bs2b/bs2b.h>
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

// The filter works its coefficients out only once it is turned on; what it
// makes of the sound is the library's own filter, opened at that rate and
// level, sample for sample, also after a change of preset and when turned
// on again.
TEST(Crossfeed, FiltersAsTheLibraryOpenedAtThatRateAndLevel) {
    for (const unsigned rate : {44100u, 48000u, 22050u}) {
        for (int preset = 1; preset < kCrossfeedPresets; ++preset) {
            const int later = preset % (kCrossfeedPresets - 1) + 1;  // another preset
            Crossfeed filter;
            std::vector<std::int16_t> sound = left_sine(300, 4410, rate);
            std::vector<std::int16_t> expected = sound;
            const int steps[] = {0, preset, preset, later, 0, later};
            t_bs2bdp library = bs2b_open();
            ASSERT_NE(library, nullptr);
            std::uint32_t library_level = 0;
            for (int step = 0; step < 6; ++step) {
                const std::size_t at = step * 2 * 735;
                filter.apply(sound.data() + at, 735 * 4, SampleFormat::s16, true, rate, steps[step]);
                const std::uint32_t level = crossfeed_level(steps[step]);
                if (level == 0) {
                    library_level = 0;
                    continue;
                }
                if (library_level == 0) {
                    bs2b_set_srate(library, rate);
                    bs2b_clear(library);
                }
                bs2b_set_level(library, level);
                library_level = level;
                bs2b_cross_feed_s16(library, expected.data() + at, 735);
            }
            bs2b_close(library);
            EXPECT_EQ(sound, expected) << rate << " " << preset;
        }
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
