// The remote control's words: the one-line requests `xq --remote` sends,
// the status it gets back, and where the control socket lives. Pure
// helpers, shared by the running xq and the client that talks to it.
#pragma once

#include <cstddef>

// The longest request line, its line feed included. A longer one is refused.
inline constexpr std::size_t kMaxRemoteRequest = 256;

// The longest answer: the status lines with every text at its longest.
inline constexpr std::size_t kMaxRemoteReply = 4096;

// The highest volume the keys reach (and so a request may name).
inline constexpr int kMaxRemoteVolume = 256;

enum class RemoteCommand { play, pause, toggle, stop, next, prev, forward, back, volume, seek, quit, status };

// The farthest a seek may name, in seconds.
inline constexpr long kMaxRemoteSeekSeconds = 99 * 60 + 59;

struct RemoteRequest {
    RemoteCommand command = RemoteCommand::status;
    char volume_sign = 0;   // '+' or '-' for a step, 0 for a volume to set
    int volume_amount = 0;  // 0 to kMaxRemoteVolume
    char seek_sign = 0;     // '+' or '-' for a seek from where the song is, 0 for a time from its start
    long seek_seconds = 0;  // 0 to kMaxRemoteSeekSeconds
    int seek_milliseconds = 0;  // 0 to 999 more (the desktop seeks finer than the socket)
};

// Reads one request: a command word, for `volume` one argument ("+N", "-N"
// or "N"), for `seek` one ("+N" or "-N" seconds from where the song is,
// "M:SS" or "N" seconds from its start), separated by blanks; a final line feed (and carriage return) is
// allowed. Returns 0, or -1 with an error text for the client in `error`
// (an unknown command, a missing, extra or bad argument, bytes that are
// not text).
int parse_remote_request(const char *text, std::size_t length, RemoteRequest &out, char *error,
                         std::size_t error_size);

// The volume `request` asks for when the volume is `current`: a step from
// it or a volume of its own, kept within 0 and kMaxRemoteVolume.
int requested_volume(const RemoteRequest &request, int current);

// What `status` reports: every field as the main screen shows it.
struct RemoteStatus {
    const char *state = "";   // playing, paused, stopped or ended
    const char *file = "";    // the path the module was loaded from
    const char *title = "";   // the module's song name
    const char *format = "";  // the module's type
    int position = 0;         // song position, 1-based as on the status row
    int positions = 0;
    int row = 0;
    int pattern = 0;          // 1-based, as on the status row
    long seconds = 0;         // song time in whole seconds, as in the time box
    int bpm = 0;
    int speed = 0;
    int volume = 0;
    int playlist_index = 0;   // the footer's entry number, 0 while no playlist plays
    int playlist_length = 0;
    int random = 0;           // the random_mode option
    long long length_ms = -1; // the song's length, -1 when not known (no module, or over an hour)
    int subsong = 0;          // the song of the module playing, 1-based as the time box shows it
    int subsongs = 0;
};

// The status as "key=value" lines ("length" in seconds with one decimal,
// empty when not known), each ended by a line feed, into `out`
// (always terminated). Control characters of the texts are written as "?"
// so that each value stays on its line. Returns the length written.
std::size_t format_remote_status(char *out, std::size_t size, const RemoteStatus &status);

// The control socket's path: "RUNTIME_DIR/xq/control" when `runtime_dir`
// is set and not empty, else "HOME/.xq/control". Returns -1 when neither is
// set, or when the path would not fit a socket address (or `size`).
int remote_socket_path(const char *runtime_dir, const char *home, char *out, std::size_t size);

// The directory part of remote_socket_path's result.
int remote_socket_dir(const char *socket_path, char *out, std::size_t size);
