// The sound card's mixer device (Open Sound System): master volume, bass
// and treble. A missing device is not an error; the levels then stay 0 and
// writes do nothing.
#pragma once

inline constexpr const char *mixer_device = "/dev/mixer";

// The mixer's state, owned by the functions below (the main path's only):
// the Effects panel and the main screen's keys read the levels and change
// them through write_mixer_level.
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
// It is sent also when the device did not open (the request then fails at
// once: nothing blocks or waits).
void write_mixer_level(MixerControl control);

// The write request for a control, or 0 where the system has no OSS mixer
// interface (writes are then never sent).
unsigned long mixer_write_request(MixerControl control);

// Every request to the device goes through this function: ioctl(fd,
// request, level) by default. Tests put their own here to watch what is
// sent without a sound card.
using MixerRequest = int (*)(int fd, unsigned long request, int *level);
extern MixerRequest mixer_request;  // owned by this file; replaced only by tests
