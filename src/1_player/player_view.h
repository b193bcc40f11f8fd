// What the screens show of the player: a snapshot the player takes in one
// go. The sound thread takes it after it carried out commands, when the
// state of the playback changed, and once a frame while the song moves; the
// screens draw from their copy of it and never call the sound library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "1_player/module_info.h"

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
    // The module loaded, or null before the first load. Its description
    // stays valid for as long as a screen holds it.
    ModuleInfoPtr module;
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
    // The state of the playback.
    bool stopped = false;  // the stop command ran: nothing plays until play or restart
    bool started = false;  // the module is the library's (started, not stopped since)
    bool paused = false;
    bool ended = false;    // a song that does not wrap has played past its last position
    int song_position = 0;         // the position last reached by the position keys; 0 after a load
    int subsong = 0;               // the song of the module playing (module->songs), 0-based
    std::uint64_t muted = 0;       // bit c set: channel c is muted
    bool mute_all_next = true;     // the next mute-all mutes (else it unmutes)
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
    // Counts the snapshots taken: a screen that follows the music draws
    // when it changes.
    std::uint64_t number = 0;
};

// A module is loaded and not stopped: the live screen follows it.
inline bool is_playing(const PlayerView &view) { return view.module && !view.stopped; }

// The song moves: playing, neither paused, ended nor waiting for a lost
// output.
inline bool song_moves(const PlayerView &view) {
    return is_playing(view) && view.started && !view.paused && !view.ended && !view.output_lost;
}

// The number of the module loaded in `view` (0 for none): another load
// gives another number, even where its memory is the freed one's.
inline std::uint64_t loaded_module_number(const PlayerView &view) { return view.module ? view.module->load_number : 0; }

// The number of songs of the module loaded (0 without one).
inline int song_count(const PlayerView &view) { return view.module ? static_cast<int>(view.module->songs.size()) : 0; }

// The length of the song playing, in milliseconds, or -1 when it is not
// known (no module, or longer than its walk follows).
inline long long song_length_ms(const PlayerView &view) {
    if (view.subsong < 0 || view.subsong >= song_count(view)) return -1;
    const SongLength &song = view.module->songs[static_cast<std::size_t>(view.subsong)];
    return song.known ? song.length_ms : -1;
}

// True when channel `channel` is muted.
inline bool channel_is_muted(const PlayerView &view, int channel) {
    return channel >= 0 && channel < kPlayerChannels && (view.muted >> channel & 1u) != 0;
}

// Copies `text` into `out`, cut to fit with its terminating nul: what a
// snapshot's names and reasons are copied with, at every snapshot.
void copy_text(char *out, std::size_t size, const char *text);

template <std::size_t N>
void copy_text(char (&out)[N], const char *text) {
    copy_text(out, N, text);
}

// Fills `view` from the library and the player's state (the output's
// state and `applied` are left as they are); the voices only `with_voices`
// (voice_count is then kPlayerChannels, else 0). Only the code that owns
// the library calls it: the sound thread, or the main path while no thread
// runs.
void capture_player_view(PlayerView &view, bool with_voices = true);
