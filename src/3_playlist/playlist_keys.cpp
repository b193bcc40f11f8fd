#include "3_playlist/playlist_keys.h"

#include "3_playlist/playlist_panel.h"
#include "3_playlist/playlist_playback.h"

namespace {

// The `l` key has no use for how the panel was left.
void open_playlist_panel() { playlist_panel(); }

constexpr KeyBinding kPlaylistKeyBindings[] = {
    {'l', run_step<open_playlist_panel>},
    {'N', run_step<playlist_next>},
    {'V', run_step<playlist_previous>},
};

}  // namespace

const KeyTable kPlaylistKeys = kPlaylistKeyBindings;
