// The last stretch of sound mixed, for the screens to picture it: the sound
// thread writes every stretch it mixes into a ring, the screens copy the
// latest part out. Neither side locks or waits, and the sound thread never
// allocates: a reader that is overtaken while it copies gets a picture
// mixed from two moments, never a held-up sound.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "1_player/crossfeed.h"

// Frames the ring holds: over a third of a second at 44.1 kHz, room for
// a transform's frames behind the output's buffer.
inline constexpr std::size_t kSoundRingFrames = 16384;

class SoundRing {
public:
    // The writer's side: appends `bytes` of sound in `format`, interleaved
    // stereo or mono (kept as two equal sides), mixed at `rate` Hz.
    void write(const void *sound, std::size_t bytes, SampleFormat format, bool stereo, unsigned rate);

    // How far the sound written runs ahead of what is heard, in
    // milliseconds (the output's buffer); the readers skip that much.
    void set_ahead_ms(unsigned ms) { ahead_ms_.store(ms, std::memory_order_relaxed); }

    // Frames written since the start.
    std::uint64_t written() const { return written_.load(std::memory_order_acquire); }

    // The readers' side: copies the `frames` frames (at most half the
    // ring) that end where the sound being heard is (or as near it as the
    // ring reaches back), each side from -1 to 1, into `left` and `right`;
    // frames before the first written are silence. Returns the rate they
    // were mixed at, 0 while nothing was written.
    unsigned read_heard(float *left, float *right, std::size_t frames) const;

private:
    // 16-bit samples: plenty for a picture, half the memory of floats.
    std::atomic<std::int16_t> left_[kSoundRingFrames] = {};
    std::atomic<std::int16_t> right_[kSoundRingFrames] = {};
    std::atomic<std::uint64_t> written_{0};
    std::atomic<unsigned> rate_{0};
    std::atomic<unsigned> ahead_ms_{0};
};

// The ring of the sound the player writes to its output.
SoundRing &output_sound_ring();
