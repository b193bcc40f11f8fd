// What happens to each stretch of sound the sound thread mixes before it is
// written to the output: the headphone crossfeed, then a copy into the ring
// the Spectrum panel pictures.
#pragma once

#include <cstddef>

// Crossfeeds `bytes` of sound just mixed in the library's output mode, in
// place, and keeps a copy in output_sound_ring(). Runs on the sound thread,
// with the library: it neither allocates nor waits.
void pass_mixed_sound(void *sound, std::size_t bytes);

// The same as a render does it: `bytes` of 16-bit or 8-bit sound in the
// output mode, crossfed with `filter`'s own state (a render keeps its own
// filter). Returns nothing; mono sound is left as it is.
class Crossfeed;
void crossfeed_rendered(Crossfeed &filter, void *sound, std::size_t bytes);
