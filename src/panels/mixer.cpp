#include "panels/mixer.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#if defined(XQ_HAVE_SYS_SOUNDCARD_H)
#include <sys/soundcard.h>
#elif defined(XQ_HAVE_LINUX_SOUNDCARD_H)
#include <linux/soundcard.h>
#endif

int mixer_fd = -1;
bool mixer_open = false;
int mixer_volume = 0;
int mixer_bass = 0;
int mixer_treble = 0;

namespace {

#if defined(SOUND_MIXER_READ_VOLUME)
void request(unsigned long code, int *level) {
    if (mixer_fd >= 0) ioctl(mixer_fd, code, level);
}
#endif

}  // namespace

void open_mixer() {
    mixer_fd = open(mixer_device, O_RDWR | O_CLOEXEC);
    mixer_open = mixer_fd != -1;
#if defined(SOUND_MIXER_READ_VOLUME)
    request(SOUND_MIXER_READ_VOLUME, &mixer_volume);
    request(SOUND_MIXER_READ_BASS, &mixer_bass);
    request(SOUND_MIXER_READ_TREBLE, &mixer_treble);
#endif
}

void close_mixer() {
    if (mixer_open) close(mixer_fd);
    mixer_open = false;
    mixer_fd = -1;
}

void write_mixer_level(MixerControl control) {
#if defined(SOUND_MIXER_WRITE_VOLUME)
    switch (control) {
    case MixerControl::volume: request(SOUND_MIXER_WRITE_VOLUME, &mixer_volume); break;
    case MixerControl::bass: request(SOUND_MIXER_WRITE_BASS, &mixer_bass); break;
    case MixerControl::treble: request(SOUND_MIXER_WRITE_TREBLE, &mixer_treble); break;
    }
#else
    (void)control;
#endif
}
