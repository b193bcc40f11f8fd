#include "3_playlist/playlist_keys.h"

#include "3_playlist/playlist_panel.h"
#include "3_playlist/playlist_playback.h"

namespace {

constexpr KeyBinding kPlaylistKeyBindings[] = {
    {'l', run_step<playlist_panel>},
    {'N', run_step<playlist_next>},
    {'V', run_step<playlist_previous>},
};

}  // namespace

const KeyTable kPlaylistKeys = kPlaylistKeyBindings;
