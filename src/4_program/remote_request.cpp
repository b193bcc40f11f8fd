#include "4_program/remote_request.h"

#include <cstdio>
#include <cstring>
#include <sys/un.h>

namespace {

struct CommandWord {
    const char *word;
    RemoteCommand command;
};

constexpr CommandWord kCommands[] = {
    {"play", RemoteCommand::play},       {"pause", RemoteCommand::pause}, {"toggle", RemoteCommand::toggle},
    {"stop", RemoteCommand::stop},       {"next", RemoteCommand::next},   {"prev", RemoteCommand::prev},
    {"forward", RemoteCommand::forward}, {"back", RemoteCommand::back},   {"volume", RemoteCommand::volume},
    {"seek", RemoteCommand::seek},
    {"quit", RemoteCommand::quit},       {"status", RemoteCommand::status},
};

constexpr int kMaxWords = 3;
constexpr std::size_t kMaxWordShown = 32;

bool blank(char c) { return c == ' ' || c == '\t'; }

// "+N", "-N" or "N", N of at most three digits and at most kMaxRemoteVolume.
bool parse_volume(const char *word, RemoteRequest &out) {
    char sign = 0;
    if (word[0] == '+' || word[0] == '-') sign = *word++;
    const std::size_t digits = std::strlen(word);
    if (digits == 0 || digits > 3) return false;
    int amount = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        if (word[i] < '0' || word[i] > '9') return false;
        amount = amount * 10 + (word[i] - '0');
    }
    if (amount > kMaxRemoteVolume) return false;
    out.volume_sign = sign;
    out.volume_amount = amount;
    return true;
}

// Digits only, at most `most` of them, as a number.
bool parse_digits(const char *text, std::size_t length, std::size_t most, long &value) {
    if (length == 0 || length > most) return false;
    value = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// "+N" or "-N" seconds, "M:SS" or "N" seconds.
bool parse_seek(const char *word, RemoteRequest &out) {
    char sign = 0;
    if (word[0] == '+' || word[0] == '-') sign = *word++;
    long seconds = 0;
    const char *colon = std::strchr(word, ':');
    if (colon && !sign) {
        long minutes = 0;
        long rest = 0;
        if (!parse_digits(word, static_cast<std::size_t>(colon - word), 2, minutes) ||
            std::strlen(colon + 1) != 2 || !parse_digits(colon + 1, 2, 2, rest) || rest > 59)
            return false;
        seconds = minutes * 60 + rest;
    } else if (!parse_digits(word, std::strlen(word), 4, seconds)) {
        return false;
    }
    if (seconds > kMaxRemoteSeekSeconds) return false;
    out.seek_sign = sign;
    out.seek_seconds = seconds;
    return true;
}

// Copies `text` into `out`, control characters as "?".
void put_clean(char *&at, const char *end, const char *text) {
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text ? text : ""); *p && at + 1 < end; ++p)
        *at++ = (*p < 0x20 || *p == 0x7f) ? '?' : static_cast<char>(*p);
    *at = '\0';
}

}  // namespace

int parse_remote_request(const char *text, std::size_t length, RemoteRequest &out, char *error,
                         std::size_t error_size) {
    if (length > 0 && text[length - 1] == '\n') --length;
    if (length > 0 && text[length - 1] == '\r') --length;
    if (length >= kMaxRemoteRequest) {
        std::snprintf(error, error_size, "error: the request is longer than %zu bytes", kMaxRemoteRequest - 1);
        return -1;
    }
    char line[kMaxRemoteRequest];
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\t') || c == 0x7f) {
            std::snprintf(error, error_size, "error: the request is not a line of text");
            return -1;
        }
        line[i] = text[i];
    }
    line[length] = '\0';

    const char *words[kMaxWords] = {};
    int count = 0;
    for (char *p = line; *p;) {
        while (blank(*p)) *p++ = '\0';
        if (!*p) break;
        if (count == kMaxWords) {
            ++count;
            break;
        }
        words[count++] = p;
        while (*p && !blank(*p)) ++p;
    }
    if (count == 0) {
        std::snprintf(error, error_size, "error: no command");
        return -1;
    }
    const CommandWord *found = nullptr;
    for (const CommandWord &c : kCommands)
        if (std::strcmp(words[0], c.word) == 0) found = &c;
    if (!found) {
        std::snprintf(error, error_size, "error: unknown command '%.*s'", static_cast<int>(kMaxWordShown), words[0]);
        return -1;
    }
    RemoteRequest request;
    request.command = found->command;
    if (found->command == RemoteCommand::volume) {
        if (count < 2) {
            std::snprintf(error, error_size, "error: volume needs +N, -N or N (0 to %d)", kMaxRemoteVolume);
            return -1;
        }
        if (count > 2) {
            std::snprintf(error, error_size, "error: volume takes one argument");
            return -1;
        }
        if (!parse_volume(words[1], request)) {
            std::snprintf(error, error_size, "error: bad volume '%.*s': use +N, -N or N (0 to %d)",
                          static_cast<int>(kMaxWordShown), words[1], kMaxRemoteVolume);
            return -1;
        }
    } else if (found->command == RemoteCommand::seek) {
        if (count != 2 || !parse_seek(words[1], request)) {
            std::snprintf(error, error_size, "error: seek needs +N, -N (seconds) or M:SS");
            return -1;
        }
    } else if (count > 1) {
        std::snprintf(error, error_size, "error: %s takes no argument", found->word);
        return -1;
    }
    out = request;
    return 0;
}

int requested_volume(const RemoteRequest &request, int current) {
    int wanted = request.volume_amount;
    if (request.volume_sign == '+') wanted = current + request.volume_amount;
    if (request.volume_sign == '-') wanted = current - request.volume_amount;
    return wanted < 0 ? 0 : wanted > kMaxRemoteVolume ? kMaxRemoteVolume : wanted;
}

std::size_t format_remote_status(char *out, std::size_t size, const RemoteStatus &s) {
    if (size == 0) return 0;
    char *at = out;
    const char *end = out + size;
    *at = '\0';
    auto text = [&](const char *key, const char *value) {
        const int n = std::snprintf(at, static_cast<std::size_t>(end - at), "%s=", key);
        if (n < 0 || at + n >= end) return;
        at += n;
        put_clean(at, end - 1, value);
        *at++ = '\n';
        *at = '\0';
    };
    auto number = [&](const char *key, long value) {
        const int n = std::snprintf(at, static_cast<std::size_t>(end - at), "%s=%ld\n", key, value);
        if (n > 0) at = (at + n < end) ? at + n : const_cast<char *>(end - 1);
    };
    text("state", s.state);
    text("file", s.file);
    text("title", s.title);
    text("format", s.format);
    number("position", s.position);
    number("positions", s.positions);
    number("row", s.row);
    number("pattern", s.pattern);
    number("time", s.seconds);
    number("bpm", s.bpm);
    number("speed", s.speed);
    number("volume", s.volume);
    number("playlist_index", s.playlist_index);
    number("playlist_length", s.playlist_length);
    number("random", s.random);
    if (s.length_ms >= 0) {
        const int n = std::snprintf(at, static_cast<std::size_t>(end - at), "length=%lld.%lld\n", s.length_ms / 1000,
                                    s.length_ms % 1000 / 100);
        if (n > 0) at = (at + n < end) ? at + n : const_cast<char *>(end - 1);
    } else {
        text("length", "");
    }
    number("subsong", s.subsong);
    number("subsongs", s.subsongs);
    return static_cast<std::size_t>(at - out);
}

int remote_socket_path(const char *runtime_dir, const char *home, char *out, std::size_t size) {
    int n;
    if (runtime_dir && runtime_dir[0])
        n = std::snprintf(out, size, "%s/xq/control", runtime_dir);
    else if (home && home[0])
        n = std::snprintf(out, size, "%s/.xq/control", home);
    else
        return -1;
    const std::size_t limit = sizeof(sockaddr_un{}.sun_path);
    if (n < 0 || static_cast<std::size_t>(n) >= size || static_cast<std::size_t>(n) >= limit) return -1;
    return 0;
}

int remote_socket_dir(const char *socket_path, char *out, std::size_t size) {
    const char *slash = std::strrchr(socket_path, '/');
    if (!slash || slash == socket_path) return -1;
    const int n = std::snprintf(out, size, "%.*s", static_cast<int>(slash - socket_path), socket_path);
    return (n < 0 || static_cast<std::size_t>(n) >= size) ? -1 : 0;
}
