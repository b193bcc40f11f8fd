#include "1_player/sound_ring.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<SoundRing> new_ring() { return std::make_unique<SoundRing>(); }

}  // namespace

TEST(SoundRing, GivesTheLatestFramesOfEveryFormatAsTwoSides) {
    {
        auto ring = new_ring();
        const std::int16_t stereo[] = {16384, -16384, 8192, 0, -32768, 32767};
        ring->write(stereo, sizeof stereo, SampleFormat::s16, true, 44100);
        float left[2], right[2];
        EXPECT_EQ(ring->read_heard(left, right, 2), 44100u);
        EXPECT_FLOAT_EQ(left[0], 0.25f);
        EXPECT_FLOAT_EQ(right[0], 0.0f);
        EXPECT_FLOAT_EQ(left[1], -1.0f);
        EXPECT_NEAR(right[1], 1.0f, 1e-4);
    }
    {
        auto ring = new_ring();
        const std::uint8_t mono[] = {128, 192, 0};  // one side, kept as two equal ones
        ring->write(mono, sizeof mono, SampleFormat::u8, false, 22050);
        float left[4], right[4];
        EXPECT_EQ(ring->read_heard(left, right, 4), 22050u);
        const float expected[] = {0.0f, 0.0f, 0.5f, -1.0f};  // the first is before anything written
        for (int i = 0; i < 4; ++i) {
            EXPECT_FLOAT_EQ(left[i], expected[i]) << i;
            EXPECT_FLOAT_EQ(right[i], expected[i]) << i;
        }
    }
    {
        auto ring = new_ring();
        const float f32[] = {0.5f, -0.5f};
        ring->write(f32, sizeof f32, SampleFormat::f32, true, 48000);
        float left[1], right[1];
        ring->read_heard(left, right, 1);
        EXPECT_FLOAT_EQ(left[0], 0.5f);
        EXPECT_FLOAT_EQ(right[0], -0.5f);
    }
}

TEST(SoundRing, NothingWrittenReadsAsSilenceAtNoRate) {
    auto ring = new_ring();
    float left[3] = {1, 1, 1}, right[3] = {1, 1, 1};
    EXPECT_EQ(ring->read_heard(left, right, 3), 0u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(left[i] + right[i], 0.0f);
}

TEST(SoundRing, WrapsRoundAndSkipsWhatTheOutputStillHolds) {
    auto ring = new_ring();
    // Frame n carries n on the left: more than the ring holds, in pieces.
    std::vector<std::int16_t> piece(2 * 1000);
    int n = 0;
    for (int round = 0; round < 40; ++round) {
        for (int i = 0; i < 1000; ++i, ++n) {
            piece[2 * i] = static_cast<std::int16_t>(n % 30000);
            piece[2 * i + 1] = 0;
        }
        ring->write(piece.data(), piece.size() * 2, SampleFormat::s16, true, 1000);
    }
    EXPECT_EQ(ring->written(), 40000u);
    float left[4], right[4];
    ring->read_heard(left, right, 4);
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(left[i] * 32768.0f, float((39996 + i) % 30000)) << i;
    // At 1000 Hz, 250 ms ahead is 250 frames.
    ring->set_ahead_ms(250);
    ring->read_heard(left, right, 4);
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(left[i] * 32768.0f, float((39746 + i) % 30000)) << i;
    // An output that holds more than the ring: the oldest frames it keeps.
    ring->set_ahead_ms(60000);
    ring->read_heard(left, right, 4);
    const int oldest = 40000 - static_cast<int>(kSoundRingFrames);
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(left[i] * 32768.0f, float((oldest + i) % 30000)) << i;
}
