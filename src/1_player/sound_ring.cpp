#include "1_player/sound_ring.h"

#include <algorithm>

namespace {

constexpr std::size_t kMask = kSoundRingFrames - 1;
static_assert((kSoundRingFrames & kMask) == 0, "the ring's size is a power of two");

std::int16_t sample_at(const void *sound, std::size_t index, SampleFormat format) {
    switch (format) {
    case SampleFormat::u8: return static_cast<std::int16_t>((static_cast<const std::uint8_t *>(sound)[index] - 128) * 256);
    case SampleFormat::s16: return static_cast<const std::int16_t *>(sound)[index];
    case SampleFormat::f32: {
        const float sample = static_cast<const float *>(sound)[index] * 32768.0f;
        return static_cast<std::int16_t>(std::clamp(sample, -32768.0f, 32767.0f));
    }
    }
    return 0;
}

std::size_t sample_bytes(SampleFormat format) {
    switch (format) {
    case SampleFormat::u8: return 1;
    case SampleFormat::s16: return 2;
    case SampleFormat::f32: return 4;
    }
    return 1;
}

}  // namespace

void SoundRing::write(const void *sound, std::size_t bytes, SampleFormat format, bool stereo, unsigned rate) {
    const std::size_t channels = stereo ? 2 : 1;
    const std::size_t frames = bytes / (sample_bytes(format) * channels);
    // Only the newest ring's worth can be kept.
    const std::size_t first = frames > kSoundRingFrames ? frames - kSoundRingFrames : 0;
    std::uint64_t at = written_.load(std::memory_order_relaxed) + first;
    for (std::size_t i = first; i < frames; ++i, ++at) {
        const std::int16_t left = sample_at(sound, i * channels, format);
        const std::int16_t right = stereo ? sample_at(sound, i * channels + 1, format) : left;
        left_[at & kMask].store(left, std::memory_order_relaxed);
        right_[at & kMask].store(right, std::memory_order_relaxed);
    }
    rate_.store(rate, std::memory_order_relaxed);
    written_.store(at, std::memory_order_release);
}

unsigned SoundRing::read_heard(float *left, float *right, std::size_t frames) const {
    frames = std::min(frames, kSoundRingFrames / 2);
    const std::uint64_t written = written_.load(std::memory_order_acquire);
    const unsigned rate = rate_.load(std::memory_order_relaxed);
    if (written == 0 || rate == 0) {
        std::fill(left, left + frames, 0.0f);
        std::fill(right, right + frames, 0.0f);
        return 0;
    }
    // What is heard lies the output's buffer behind what was written, but
    // never further back than the ring holds the frames asked for.
    const std::uint64_t ahead = std::min<std::uint64_t>(
        static_cast<std::uint64_t>(ahead_ms_.load(std::memory_order_relaxed)) * rate / 1000, kSoundRingFrames - frames);
    const std::uint64_t end = written > ahead ? written - ahead : 0;
    for (std::size_t i = 0; i < frames; ++i) {
        const std::uint64_t back = frames - i;
        if (back > end) {
            left[i] = right[i] = 0.0f;
            continue;
        }
        const std::uint64_t at = end - back;
        left[i] = left_[at & kMask].load(std::memory_order_relaxed) / 32768.0f;
        right[i] = right_[at & kMask].load(std::memory_order_relaxed) / 32768.0f;
    }
    return rate;
}

namespace {

// Set up before the program starts: the sound thread's first write takes
// no lock to make it.
constinit SoundRing output_ring;

}  // namespace

SoundRing &output_sound_ring() { return output_ring; }
