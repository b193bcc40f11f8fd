// What the desktop's media player interface says of the playback, worked
// out from the player's snapshot: pure helpers, testable without a bus.
#pragma once

#include <cstdint>
#include <string>

#include "1_player/player_view.h"
#include "4_program/remote_request.h"

// "Playing", "Paused" or "Stopped" (a song that ended is stopped).
const char *mpris_playback_status(const PlayerView &view);

// The song volume (0 to 256, 128 the module's own level) as the desktop
// counts it: 1.0 for 128.
double mpris_volume(int song_volume);

// The song volume a desktop volume asks for: false for a value that is no
// number; otherwise kept within 0 and 256 (a volume below 0 is silence, as
// the interface has it).
bool song_volume_from_mpris(double volume, int &song_volume);

// The object path that names song `song` (0-based) of the module loaded
// `load_number`-th; the interface's "no track" path without a module (load
// number 0).
std::string mpris_track_id(std::uint64_t load_number, int song = 0);

// A seek of `microseconds` as a request: from where the song is when
// `relative`, else from its start. False for a time from the start below 0;
// a seek further than the socket's farthest is cut to it.
bool mpris_seek_request(std::int64_t microseconds, bool relative, RemoteRequest &out);

// "file://" and `path` with every byte outside the unreserved characters
// and "/" written as %XX; a relative path is taken from `cwd`.
std::string file_url(const std::string &path, const std::string &cwd);

// `text` as valid UTF-8: a byte that starts no valid sequence, and a
// control character, becomes "?". At most `limit` bytes.
std::string clean_utf8(const std::string &text, std::size_t limit = 1024);

// Whether a session bus may be there to connect to: its address is given
// (`bus_address`, the value of DBUS_SESSION_BUS_ADDRESS), or
// `runtime_dir` (XDG_RUNTIME_DIR) holds an entry "bus", the socket. Either may be
// null. The bus library looks in the same places; without either there is
// nothing to connect to, and xq does not touch the library at all.
bool session_bus_may_exist(const char *bus_address, const char *runtime_dir);

// The song time (1/1024 s) in microseconds.
inline std::int64_t mpris_position_us(long song_time) {
    return static_cast<std::int64_t>(song_time) * 1'000'000 / 1024;
}
