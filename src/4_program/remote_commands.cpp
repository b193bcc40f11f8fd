#include "4_program/remote_commands.h"

#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "1_player/setting_bounds.h"
#include "3_panels/command_keys.h"
#include "3_panels/idle.h"
#include "3_panels/message_box.h"
#include "3_playlist/playlist_playback.h"

namespace {

// What `p` would do now: true when it would pause.
bool p_would_pause() {
    const PlayerView &view = current_view();
    return is_playing(view) && !view.ended && !view.paused;
}

void play_or_pause() {
    request_frame();
    player_play_or_pause();
}

void set_volume(const RemoteRequest &request) {
    request_frame();
    player_change_setting(PlayerSetting::song_volume, [request](int value, int) {
        const SettingBounds bounds = setting_bounds(Setting::song_volume);
        const int wanted = requested_volume(request, value);
        return wanted < bounds.low ? bounds.low : wanted > bounds.high ? bounds.high : wanted;
    });
}

// Commands that work on the module being played do nothing without one.
bool module_loaded() { return current_view().module != nullptr; }

}  // namespace

const char *play_state(const PlayerView &view) {
    if (!is_playing(view)) return "stopped";
    if (view.ended) return "ended";
    if (view.paused) return "paused";
    return "playing";
}

const PlayerView &current_view() {
    refresh_player_view();
    player_catch_up();
    return player_view();
}

const char *remote_command_refusal(const RemoteRequest &request, bool inside_another) {
    if (request.command == RemoteCommand::status || request.command == RemoteCommand::quit) return nullptr;
    if (inside_another || message_boxes_waiting > 0) return "error: xq waits for Enter in a message box";
    if (!keys_held_by_pause()) return nullptr;
    switch (request.command) {
    case RemoteCommand::play:
    case RemoteCommand::pause:
    case RemoteCommand::toggle: return nullptr;
    default: return "error: paused: play or toggle ends the pause first";
    }
}

void carry_out_remote_command(const RemoteRequest &request) {
    if (keys_held_by_pause()) {
        // Only `p` acts while paused: play and toggle end the pause.
        if (request.command == RemoteCommand::play || request.command == RemoteCommand::toggle) play_or_pause();
        return;
    }
    switch (request.command) {
    case RemoteCommand::play:
        if (!p_would_pause()) play_or_pause();
        break;
    case RemoteCommand::pause:
    case RemoteCommand::toggle:
        if (p_would_pause() || request.command == RemoteCommand::toggle) play_or_pause();
        break;
    case RemoteCommand::stop:
        request_frame();
        stop_playback();
        break;
    case RemoteCommand::next:
        request_frame();
        playlist_next();
        break;
    case RemoteCommand::prev:
        request_frame();
        playlist_previous();
        break;
    case RemoteCommand::forward:
        request_frame();
        if (module_loaded()) player_next_position();
        break;
    case RemoteCommand::back:
        request_frame();
        if (module_loaded()) player_previous_position();
        break;
    case RemoteCommand::volume:
        if (module_loaded()) set_volume(request);
        break;
    case RemoteCommand::seek: {
        request_frame();
        if (!module_loaded()) break;
        const long long ms = 1000LL * request.seek_seconds + request.seek_milliseconds;
        if (request.seek_sign)
            player_seek_time(request.seek_sign == '-' ? -ms : ms, true);
        else
            player_seek_time(ms, false);
        break;
    }
    case RemoteCommand::quit:
    case RemoteCommand::status: break;
    }
}
