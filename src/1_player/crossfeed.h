// The headphone crossfeed: a little of each side, low-passed and delayed as
// a listener's head would make it, fed into the other side, so that a
// module panned hard left and right stops tiring the ears. The filter is
// Bauer's stereophonic-to-binaural one (libbs2b) with its three presets.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int kCrossfeedPresets = 4;  // off and three presets

// The name the Options panel shows for `preset`: "off", "default",
// "Chu Moy", "Jan Meier"; "off" for a value out of range.
const char *crossfeed_name(int preset);

// The filter's level (cut frequency in Hz, feed in tenths of a dB in the
// high half) for `preset`, 0 for off or a value out of range.
std::uint32_t crossfeed_level(int preset);

// How the mixed sound is laid out, as the sound library mixes it.
enum class SampleFormat { u8, s16, f32 };

// One crossfeed filter, with the state that carries from one stretch of
// sound to the next. Opened on the thread that starts the sound; run on the
// sound thread, where it neither allocates nor waits.
class Crossfeed {
public:
    Crossfeed();
    ~Crossfeed();
    Crossfeed(const Crossfeed &) = delete;
    Crossfeed &operator=(const Crossfeed &) = delete;

    // Crossfeeds `bytes` of interleaved stereo sound in `format` at `rate`
    // Hz in place with `preset`; with preset 0, mono sound, a rate the
    // filter does not take or no filter, the sound is left as it is. A
    // change of preset or rate takes effect at once; turned on again, the
    // filter starts from silence.
    void apply(void *sound, std::size_t bytes, SampleFormat format, bool stereo, unsigned rate, int preset);

private:
    void *filter_;  // the library's filter, or null when it could not be opened
    std::uint32_t level_ = 0;
    unsigned rate_ = 0;
};

// The preset the sound thread applies to what it writes, set from the
// Options panel and the options file (any thread); 0 is off.
void set_output_crossfeed(int preset);
int output_crossfeed();
