// What the screens show of the player, read from the sound library in one
// go: the sound thread takes this snapshot after every update and the
// screens draw from their copy of it, so no screen ever calls the library
// while a module plays.
#pragma once

#include <cstddef>
#include <mikmod.h>

#include "1_player/settings.h"

// The most channels and voices a module is loaded with, and so the most the
// snapshot holds.
inline constexpr int kPlayerChannels = 64;

// One module channel: its period and, while it sounds, the voice that plays
// it with that voice's values (all 0, panning 128, while it is silent).
struct ChannelView {
    int period = 0;
    int voice = -1;
    unsigned volume = 0;
    unsigned long frequency = 0;
    long position = 0;
    unsigned long panning = 128;
    unsigned long real_volume = 0;
};

// One of the library's voices, by number.
struct VoiceView {
    unsigned volume = 0;
    unsigned long real_volume = 0;
    unsigned long frequency = 0;
    long position = 0;
    unsigned long panning = 128;
};

struct PlayerView {
    bool has_module = false;
    // The module's place and settings, under their libmikmod names.
    int sngpos = 0;
    int numpos = 0;
    int patpos = 0;
    int pattern = 0;  // the pattern number shown: positions[sngpos] + 1
    int realchn = 0;
    int numchn = 0;
    int bpm = 0;
    int sngspd = 0;
    int inittempo = 0;
    int volume = 0;
    unsigned long sngtime = 0;
    bool started = false;  // the module is the player's (Player_Start ran, no Player_Stop since)
    bool paused = false;
    bool ended = false;    // a song that does not wrap has played past its last position
    // The mixer's settings.
    int reverb = 0;
    int pansep = 0;
    int mix_volume = 0;  // md_volume
    unsigned mode = 0;
    unsigned mixfreq = 0;
    char driver_name[64] = "";
    // The sound output.
    bool output_lost = false;
    char lost_reason[128] = "";
    int voice_count = 0;  // voices filled in below (only while a screen shows them)
    ChannelView channels[kPlayerChannels];
    VoiceView voices[kPlayerChannels];
    // How many commands the player has carried out: a screen that sent one
    // knows from this when the snapshot shows its effect.
    unsigned long long applied = 0;
};

// The pattern playing at the song position, 1-based, read from the order
// list and never outside it; numpos once the position is past the end.
int current_pattern_number(const MODULE &m);

// True when the module has played past its last position without wrapping
// round: the player has nothing more to play.
bool song_has_ended(const MODULE &m);

// The number of the library's voices the player uses for `m`.
int song_voice_count(const MODULE &m);

// Copies `text` into `out`, cut to fit with its terminating nul: what a
// snapshot's names and reasons are copied with, at every snapshot.
void copy_text(char *out, std::size_t size, const char *text);

template <std::size_t N>
void copy_text(char (&out)[N], const char *text) {
    copy_text(out, N, text);
}

// Fills `view` from the library and `module` (the output's state and
// `applied` are left as they are); the voices only `with_voices` (voice_count
// is then kPlayerChannels, else 0). Only the code that owns the library
// calls it: the sound thread, or the main path while no thread runs.
void capture_player_view(PlayerView &view, bool with_voices = true);
