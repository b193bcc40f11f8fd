#include "1_player/mixed_sound.h"

#include <mikmod.h>

#include "1_player/crossfeed.h"
#include "1_player/settings.h"
#include "1_player/sound_ring.h"

namespace {

SampleFormat mixed_format() {
    if (md_mode & DMODE_FLOAT) return SampleFormat::f32;
    return (md_mode & DMODE_16BITS) ? SampleFormat::s16 : SampleFormat::u8;
}

// The sound thread's filter, opened with the program.
Crossfeed output_filter;

}  // namespace

void pass_mixed_sound(void *sound, std::size_t bytes) {
    const SampleFormat format = mixed_format();
    const bool stereo = (md_mode & DMODE_STEREO) != 0;
    output_filter.apply(sound, bytes, format, stereo, md_mixfreq, output_crossfeed());
    output_sound_ring().write(sound, bytes, format, stereo, md_mixfreq);
}

void crossfeed_rendered(Crossfeed &filter, void *sound, std::size_t bytes) {
    filter.apply(sound, bytes, mixed_format(), (md_mode & DMODE_STEREO) != 0, md_mixfreq, crossfeed);
}
