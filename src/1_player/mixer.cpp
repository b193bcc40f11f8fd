#include "1_player/mixer.h"

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

int device_request(int fd, unsigned long request, int *level) { return ioctl(fd, request, level); }

#if defined(SOUND_MIXER_READ_VOLUME)
void request(unsigned long code, int *level) { mixer_request(mixer_fd, code, level); }
#endif

}  // namespace

MixerRequest mixer_request = device_request;

void open_mixer() {
    mixer_fd = open(mixer_device, O_RDWR | O_NONBLOCK | O_CLOEXEC);
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

unsigned long mixer_write_request(MixerControl control) {
#if defined(SOUND_MIXER_WRITE_VOLUME)
    switch (control) {
    case MixerControl::volume: return SOUND_MIXER_WRITE_VOLUME;
    case MixerControl::bass: return SOUND_MIXER_WRITE_BASS;
    case MixerControl::treble: return SOUND_MIXER_WRITE_TREBLE;
    }
#endif
    (void)control;
    return 0;
}

void write_mixer_level(MixerControl control) {
    const unsigned long code = mixer_write_request(control);
    if (code == 0) return;
    switch (control) {
    case MixerControl::volume: mixer_request(mixer_fd, code, &mixer_volume); break;
    case MixerControl::bass: mixer_request(mixer_fd, code, &mixer_bass); break;
    case MixerControl::treble: mixer_request(mixer_fd, code, &mixer_treble); break;
    }
}
