#include "4_program/mpris_values.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <sys/stat.h>

namespace {

constexpr int kHighestSongVolume = 256;
constexpr double kSongVolumeOfOne = 128.0;

bool unreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/';
}

// The length of the valid UTF-8 sequence at `s` (of `left` bytes), or 0.
std::size_t utf8_sequence(const unsigned char *s, std::size_t left) {
    std::size_t length;
    std::uint32_t least;
    if (s[0] < 0x80) return 1;
    if ((s[0] & 0xE0) == 0xC0) length = 2, least = 0x80;
    else if ((s[0] & 0xF0) == 0xE0) length = 3, least = 0x800;
    else if ((s[0] & 0xF8) == 0xF0) length = 4, least = 0x10000;
    else return 0;
    if (length > left) return 0;
    std::uint32_t code = s[0] & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        code = code << 6 | (s[i] & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

const char *mpris_playback_status(const PlayerView &view) {
    if (!is_playing(view) || view.ended) return "Stopped";
    return view.paused ? "Paused" : "Playing";
}

double mpris_volume(int song_volume) { return song_volume / kSongVolumeOfOne; }

bool song_volume_from_mpris(double volume, int &song_volume) {
    if (std::isnan(volume)) return false;
    if (volume <= 0) {
        song_volume = 0;
    } else if (volume >= kHighestSongVolume / kSongVolumeOfOne) {
        song_volume = kHighestSongVolume;
    } else {
        song_volume = static_cast<int>(std::lround(volume * kSongVolumeOfOne));
    }
    return true;
}

std::string mpris_track_id(std::uint64_t load_number, int song) {
    if (load_number == 0) return "/org/mpris/MediaPlayer2/TrackList/NoTrack";
    char path[64];
    std::snprintf(path, sizeof path, "/org/xq/track/%llu_%d", static_cast<unsigned long long>(load_number),
                  song < 0 ? 0 : song);
    return path;
}

bool mpris_seek_request(std::int64_t microseconds, bool relative, RemoteRequest &out) {
    if (!relative && microseconds < 0) return false;
    // The magnitude in milliseconds, counted without negating the lowest
    // 64-bit value.
    const std::uint64_t magnitude = microseconds < 0 ? 0 - static_cast<std::uint64_t>(microseconds)
                                                    : static_cast<std::uint64_t>(microseconds);
    const std::uint64_t farthest_ms = static_cast<std::uint64_t>(kMaxRemoteSeekSeconds) * 1000;
    const std::uint64_t ms = std::min<std::uint64_t>(magnitude / 1000, farthest_ms);
    out = RemoteRequest{};
    out.command = RemoteCommand::seek;
    out.seek_sign = relative ? (microseconds < 0 ? '-' : '+') : 0;
    out.seek_seconds = static_cast<long>(ms / 1000);
    out.seek_milliseconds = static_cast<int>(ms % 1000);
    return true;
}

std::string file_url(const std::string &path, const std::string &cwd) {
    std::string whole = path;
    if (path.empty() || path[0] != '/') whole = cwd + (cwd.empty() || cwd.back() != '/' ? "/" : "") + path;
    std::string url = "file://";
    for (unsigned char c : whole) {
        if (unreserved(c)) {
            url += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            url += hex;
        }
    }
    return url;
}

std::string clean_utf8(const std::string &text, std::size_t limit) {
    std::string out;
    const auto *s = reinterpret_cast<const unsigned char *>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8_sequence(s + i, text.size() - i);
        if (out.size() + (length ? length : 1) > limit) break;
        if (length == 0 || (length == 1 && (s[i] < 0x20 || s[i] == 0x7F))) {
            out += '?';
            i += length ? length : 1;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    return out;
}

bool session_bus_may_exist(const char *bus_address, const char *runtime_dir) {
    if (bus_address && *bus_address) return true;
    if (!runtime_dir || !*runtime_dir) return false;
    const std::string socket = std::string(runtime_dir) + "/bus";
    struct stat st {};
    return stat(socket.c_str(), &st) == 0;
}
