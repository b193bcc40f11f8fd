// The playlist's command keys, which every panel that passes keys on
// passes them to after the other command keys: `l` opens the playlist
// panel, `N` and `V` play the next and the previous entry.
#pragma once

#include "2_screen/key_table.h"

extern const KeyTable kPlaylistKeys;
