// The single-key playback commands shared by the main screen and the panels
// that pass keys on.
#pragma once

#include "1_player/module_loader.h"  // the state the keys change
#include "2_screen/key_table.h"

// The command keys, each handled by its own step. The keys that work on
// the module being played do nothing without one, silently, as a key at its
// bound does.
extern const KeyTable kCommandKeys;

// What the playlist's keys run: `l` opens the playlist panel, `N` and `V`
// play the next and the previous entry. The playlist stands above the keys
// every panel passes on, so start-up hands these over; until then the three
// keys do nothing.
struct PlaylistCommands {
    void (*open_panel)();
    void (*next)();
    void (*previous)();
};
void set_playlist_commands(const PlaylistCommands &commands);

// Carries out one key (ERR for a timeout) through kCommandKeys and asks for
// a frame for every key read; returns passed for the keys the table does
// not bind (and for ERR), which do nothing. It may open the Help, About or
// Comment panel and run that panel's key loop before it returns.
KeyResult handle_command_key(int key);

// Pauses a running module under the "Paused..." notice until `p` is typed
// (or the remote control's play or toggle comes); every other key is
// discarded and the player is not fed meanwhile. A quit signal still ends
// the program within refresh_delay milliseconds. When
// nothing is running (playing clear), starts the player instead.
void pause_playback();

// Stops the player under the "Stopping..." notice, shown for half a second
// (cut short by a quit signal); playing is cleared and stopped set, so the
// live display stands still until `p` or `A`.
void stop_playback();

// The longest the stop notice stays, in microseconds.
inline constexpr long kStopNoticeMicroseconds = 500000;
