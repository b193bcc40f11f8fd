#include "1_player/crossfeed.h"

#include <atomic>
#include <bs2b/bs2b.h>
#include <cstdlib>

namespace {

std::atomic<int> wanted_preset{0};  // the sound thread's preset, set by any thread

t_bs2bdp as_filter(void *filter) { return static_cast<t_bs2bdp>(filter); }

}  // namespace

const char *crossfeed_name(int preset) {
    switch (preset) {
    case 1: return "default";
    case 2: return "Chu Moy";
    case 3: return "Jan Meier";
    default: return "off";
    }
}

std::uint32_t crossfeed_level(int preset) {
    switch (preset) {
    case 1: return BS2B_DEFAULT_CLEVEL;
    case 2: return BS2B_CMOY_CLEVEL;
    case 3: return BS2B_JMEIER_CLEVEL;
    default: return 0;
    }
}

// Zeroed rather than opened: opening works the coefficients out at once,
// touching the maths library's tables in every run, though most never turn
// the filter on. With no rate set, the first stretch crossfed sets one and
// the library works them out then (as it does for any change of rate or
// level), before it filters anything.
Crossfeed::Crossfeed() : filter_(std::calloc(1, sizeof(t_bs2bd))) {}

Crossfeed::~Crossfeed() {
    if (filter_) bs2b_close(as_filter(filter_));
}

void Crossfeed::apply(void *sound, std::size_t bytes, SampleFormat format, bool stereo, unsigned rate, int preset) {
    const std::uint32_t level = crossfeed_level(preset);
    if (!filter_ || !stereo || rate < BS2B_MINSRATE || rate > BS2B_MAXSRATE) return;
    if (level == 0) {
        level_ = 0;
        return;
    }
    t_bs2bdp filter = as_filter(filter_);
    if (rate != rate_) {
        bs2b_set_srate(filter, rate);
        rate_ = rate;
    }
    if (level != level_) {
        if (level_ == 0) bs2b_clear(filter);
        bs2b_set_level(filter, level);
        level_ = level;
    }
    switch (format) {
    case SampleFormat::u8:
        bs2b_cross_feed_u8(filter, static_cast<std::uint8_t *>(sound), static_cast<int>(bytes / 2));
        break;
    case SampleFormat::s16:
        bs2b_cross_feed_s16(filter, static_cast<std::int16_t *>(sound), static_cast<int>(bytes / 4));
        break;
    case SampleFormat::f32:
        bs2b_cross_feed_f(filter, static_cast<float *>(sound), static_cast<int>(bytes / 8));
        break;
    }
}

void set_output_crossfeed(int preset) { wanted_preset.store(preset, std::memory_order_relaxed); }

int output_crossfeed() { return wanted_preset.load(std::memory_order_relaxed); }
