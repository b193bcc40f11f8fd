#include "3_playlist/playlist_keys.h"

#include "2_screen/commands.h"
#include "3_playlist/playlist_panel.h"
#include "3_playlist/playlist_playback.h"

namespace {

// The `l` key has no use for how the panel was left.
void open_playlist_panel() { playlist_panel(); }

constexpr CommandBinding kPlaylistHandlers[] = {
    {"playlist", run_step<open_playlist_panel>},
    {"next", run_step<playlist_next>},
    {"prev", run_step<playlist_previous>},
};

constexpr auto kPlaylistKeyBindings = bind_commands<binding_count(kPlaylistHandlers)>(kPlaylistHandlers);

}  // namespace

const KeyTable kPlaylistKeys = kPlaylistKeyBindings;
