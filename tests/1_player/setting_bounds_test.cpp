#include "1_player/setting_bounds.h"

#include <gtest/gtest.h>

TEST(SettingBounds, AStepThatWouldPassABoundDoesNothing) {
    const SettingBounds reverb = setting_bounds(Setting::reverb);
    const SettingBounds frequency = setting_bounds(Setting::mixing_frequency);
    const struct {
        int value;
        int step;
        SettingBounds bounds;
        int expected;
    } cases[] = {
        {14, +1, reverb, 15},
        {15, +1, reverb, 15},
        {1, -1, reverb, 0},
        {0, -1, reverb, 0},
        {-3, +1, reverb, -2},     // below the bounds: it rises toward them
        {-3, -1, reverb, -3},
        {300, -1, reverb, 299},   // above them: it falls toward them
        {300, +1, reverb, 300},
        {59900, +100, frequency, 60000},
        {59901, +100, frequency, 59901},
        {4100, -100, frequency, 4000},
        {4099, -100, frequency, 4099},
        {0, 0, reverb, 0},
        {2147483647, +1, {0, 2147483647}, 2147483647},  // no overflow at the top of int
        {-2147483647 - 1, -1, {-2147483647 - 1, 0}, -2147483647 - 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(step_within(c.value, c.step, c.bounds), c.expected) << c.value << " " << c.step;
}

TEST(SettingBounds, EveryPercentOfSeparationHasItsOwnPansepAndComesBack) {
    const struct {
        int percent, pansep;
    } cases[] = {{0, 0}, {1, 1}, {2, 3}, {50, 64}, {99, 127}, {100, 128}, {-5, 0}, {150, 128}};
    for (const auto &c : cases) EXPECT_EQ(pansep_of_separation(c.percent), c.pansep) << c.percent;
    for (int percent = 0; percent <= 100; ++percent)
        EXPECT_EQ(separation_of_pansep(pansep_of_separation(percent)), percent);
    EXPECT_EQ(separation_of_pansep(64), 50);
    EXPECT_EQ(separation_of_pansep(200), 100);
}
