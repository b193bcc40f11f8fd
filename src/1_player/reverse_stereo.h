// Swapping the left and right channels, as the `!` key and the options
// panel's "Reverse stereo" box both do it.
#pragma once

// On a stereo output (as the player reports it), flips reverse_stereo and
// makes the player mix reversed to match; the change is heard at
// once, with no restart of the driver. On a mono output it changes nothing
// and returns false.
bool switch_reverse_stereo();
