// The sound card's mixer device (Open Sound System): master volume, bass
// and treble. A missing device is not an error; the levels then stay 0 and
// writes do nothing.
#pragma once

inline constexpr const char *mixer_device = "/dev/mixer";

extern int mixer_fd;       // descriptor of the open device, -1 when closed
extern bool mixer_open;    // the device was opened
extern int mixer_volume;   // stereo level word, 0x6464 = both channels at 100
extern int mixer_bass;     // 0 to 256
extern int mixer_treble;   // 0 to 256

// Opens the device and reads the three levels into the variables above.
void open_mixer();

// Closes the device if it was opened.
void close_mixer();

// Which level a write sends.
enum class MixerControl { volume, bass, treble };

// Sends the current value of a level to the device; the result is ignored.
void write_mixer_level(MixerControl control);
