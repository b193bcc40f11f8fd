// The player's state: the module the sound library plays and what the
// player keeps about it. It belongs to whoever owns the library: the sound
// thread while it runs, the main path before it starts and after it stops.
// Only the player's own code includes this; the screens see the state
// through the snapshot.
#pragma once

#include <cstdint>
#include <mikmod.h>

#include "1_player/module_info.h"
#include "1_player/song_seek.h"
#include "1_player/song_walk.h"

struct PlayerCore {
    MODULE *module = nullptr;   // the module loaded, or none before the first load
    ModuleInfoPtr info;         // its description, handed to the snapshots
    bool stopped = false;       // the stop command ran: play or restart starts the module again
    int song_position = 0;      // the position last reached by the position keys; 0 after a load
    std::uint64_t muted = 0;    // bit c set: channel c is muted
    bool mute_all_next = true;  // the next mute-all mutes (else it unmutes)
    std::uint64_t loads = 0;    // modules loaded so far: the next load's number less one
    SongWalks songs;            // the walks of the module's songs, found at its load
    int tune_start = -1;        // the tune of the file `module` holds alone (SongWalk::tune_start), -1: the file as it is
    int subsong = 0;            // the song playing, an index into `songs`
    SongEnding ending;          // how the song playing ends
    int loops = 1;              // passes of a song that does not loop before it ends
    bool fade = false;          // the last pass fades out
    SeekVoices seek_voices;     // the voices a seek starts at the next tick
    bool all_songs = false;     // a song that ends is followed by the module's next song
};

// When every song of the module is asked for and the one that just ended
// has a next, starts that; returns true when it did. Runs with the library,
// outside its mixing (the sound loop).
bool play_next_song_at_end();

// The walk of the song playing, or null when the module has none.
inline const SongWalk *playing_song(const PlayerCore &core) {
    return core.subsong >= 0 && core.subsong < static_cast<int>(core.songs.size()) ? &core.songs[core.subsong] : nullptr;
}

// The one PlayerCore of the program.
PlayerCore &player_core();
