// The single-key playback commands shared by the main screen and the panels
// that pass keys on.
#pragma once

#include "2_screen/key_table.h"

// The command keys, each handled by its own step, which sends its command
// to the player. The keys that work on the module being played do nothing
// without one, silently, as a key at its bound does.
extern const KeyTable kCommandKeys;

// Carries out one key (ERR for a timeout) through kCommandKeys, then the
// loop context's further command keys (the playlist's), and asks for a
// frame for every key read; returns passed for the keys no table binds
// (and for ERR), which do nothing. It may open the Help, About or Comment
// panel and run that panel's key loop before it returns.
KeyResult handle_command_key(int key);

// Stops the player under the "Stopping..." notice, shown for half a second
// (cut short by a quit signal), so the live display stands still until `p`
// or `A`.
void stop_playback();

// How long the stop notice stays, in milliseconds.
inline constexpr long long kStopNoticeMs = 500;

// How far Left and Right (on the main screen) and `,` and `.` (everywhere
// the command keys work) seek back and forward, in milliseconds.
inline constexpr long long kShortSeekMs = 5000;
inline constexpr long long kLongSeekMs = 60000;
