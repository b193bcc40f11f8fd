#include "3_playlist/playlist_formats.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <strings.h>
#include <unistd.h>
#include <vector>

#include "1_player/atomic_save.h"
#include "1_player/regular_file.h"
#include "3_filesel/directory_path.h"
#include "3_playlist/playlist_store.h"

namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
// A PLS line holds "FileN=" before the path.
constexpr std::size_t kLineCapacity = 2 * kPathCapacity;

bool starts_with_nocase(const char *text, std::size_t length, const char *prefix) {
    const std::size_t n = std::strlen(prefix);
    return length >= n && strncasecmp(text, prefix, n) == 0;
}

bool ends_with_nocase(const char *text, const char *suffix) {
    const std::size_t length = std::strlen(text);
    const std::size_t n = std::strlen(suffix);
    return length >= n && strcasecmp(text + length - n, suffix) == 0;
}

// Opens a regular file for reading without waiting on a FIFO or a device.
std::FILE *open_regular(const char *path) {
    int failure = 0;
    return open_regular_file(path, failure);
}

// The folder a playlist's relative entries are taken from: its own, made
// absolute with the working directory when the playlist's path is relative.
int folder_of(const char *path, char (&folder)[kPathCapacity]) {
    char here[kPathCapacity];
    if (!getcwd(here, sizeof here)) std::snprintf(here, sizeof here, "/");
    char absolute[kPathCapacity];
    if (std::strlen(path) >= kPathCapacity || normalise_path(absolute, path, here) != 0) return -1;
    std::memcpy(folder, absolute, sizeof folder);
    parent_path(folder);
    return 0;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "file:///a%20b.xm" (or "file://localhost/...") to "/a b.xm", in place.
// False for a URL that names no local file.
bool file_url_to_path(char *text) {
    char *rest = text + 7;  // after "file://"
    if (strncasecmp(rest, "localhost/", 10) == 0) rest += 9;
    if (rest[0] != '/') return false;
    char *out = text;
    for (const char *in = rest; *in; ++in) {
        const int high = in[0] == '%' ? hex_value(in[1]) : -1;
        const int low = high >= 0 ? hex_value(in[2]) : -1;
        if (low >= 0 && (high | low) != 0) {
            *out++ = static_cast<char>(high * 16 + low);
            in += 2;
        } else {
            *out++ = *in;
        }
    }
    *out = '\0';
    return true;
}

// One PLS entry waiting for its turn.
struct NumberedEntry {
    long number;
    char path[kPathCapacity];
};

class EntryReader {
public:
    EntryReader(PlaylistKind kind, EntrySink sink, void *context, const char (&folder)[kPathCapacity])
        : kind_(kind), sink_(sink), context_(context), folder_(folder) {}

    void line(char *text, std::size_t length, bool first) {
        if (length > 0 && text[length - 1] == '\r') text[--length] = '\0';
        if (first && std::strncmp(text, kUtf8Mark, 3) == 0) {
            text += 3;
            length -= 3;
        }
        switch (kind_) {
        case PlaylistKind::m3u: m3u_line(text); break;
        case PlaylistKind::pls: pls_line(text); break;
        case PlaylistKind::xq:
            if (length > 0) entry(text);
            break;
        case PlaylistKind::none: break;
        }
    }

    void skip() { ++reading.skipped; }

    // Hands on the PLS entries in the order of their numbers, those of one
    // number in the file's order.
    void finish() {
        if (kind_ != PlaylistKind::pls) return;
        std::vector<std::size_t> order(pls_entries_.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(),
                         [this](std::size_t a, std::size_t b) { return pls_entries_[a].number < pls_entries_[b].number; });
        for (std::size_t i : order) hand_on(pls_entries_[i].path);
    }

    EntryReading reading{0, 0, 0, 0};

private:
    void m3u_line(char *text) {
        while (*text == ' ' || *text == '\t') ++text;
        if (text[0] == '\0' || text[0] == '#') return;
        if (!local_path(text)) return skip();
        entry(text);
    }

    // A "file://" URL becomes its path, in place; other URLs name streams,
    // not files: false.
    static bool local_path(char *text) {
        if (strncasecmp(text, "file://", 7) == 0) return file_url_to_path(text);
        return std::strstr(text, "://") == nullptr;
    }

    void pls_line(char *text) {
        if (strncasecmp(text, "file", 4) != 0) return;
        char *end = nullptr;
        const long number = std::strtol(text + 4, &end, 10);
        if (end == text + 4 || *end != '=') return;
        char path[kPathCapacity];
        if (!local_path(end + 1) || make_path(end + 1, path) != 0) return skip();
        if (pls_entries_.size() >= static_cast<std::size_t>(kPlaylistCapacity)) {
            ++reading.left_out;
            return;
        }
        NumberedEntry &slot = pls_entries_.emplace_back();
        slot.number = number;
        std::memcpy(slot.path, path, sizeof slot.path);
    }

    int make_path(const char *text, char (&path)[kPathCapacity]) const {
        // normalise_path takes texts of at most 255 characters.
        if (text[0] == '\0' || std::strlen(text) >= kPathCapacity) return -1;
        return normalise_path(path, text, folder_);
    }

    void entry(const char *text) {
        char path[kPathCapacity];
        if (make_path(text, path) != 0) return skip();
        hand_on(path);
    }

    void hand_on(const char *path) {
        switch (sink_(path, context_)) {
        case AddResult::added: ++reading.taken; break;
        case AddResult::full: ++reading.left_out; break;
        default: ++reading.skipped; break;
        }
    }

    PlaylistKind kind_;
    EntrySink sink_;
    void *context_;
    const char (&folder_)[kPathCapacity];
    // The PLS entries kept so far (at most kPlaylistCapacity), in the
    // file's order.
    std::vector<NumberedEntry> pls_entries_;
};

// The panel's load: the first entry replaces the old list.
struct Replacing {
    bool cleared = false;
};

AddResult replace_list(const char *path, void *context) {
    auto *replacing = static_cast<Replacing *>(context);
    if (!replacing->cleared) {
        playlist_clear();
        replacing->cleared = true;
    }
    return playlist_add_path(path);
}

}  // namespace

PlaylistKind recognise_playlist(const char *head, std::size_t length, const char *name) {
    if (length >= sizeof playlist_magic && std::memcmp(head, playlist_magic, sizeof playlist_magic) == 0)
        return PlaylistKind::xq;
    std::size_t start = 0;
    if (length >= 3 && std::memcmp(head, kUtf8Mark, 3) == 0) start = 3;
    while (start < length && (head[start] == ' ' || head[start] == '\t')) ++start;
    if (starts_with_nocase(head + start, length - start, "#EXTM3U")) return PlaylistKind::m3u;
    if (starts_with_nocase(head + start, length - start, "[playlist]")) return PlaylistKind::pls;
    if (names_m3u(name)) return PlaylistKind::m3u;
    if (ends_with_nocase(name, ".pls")) return PlaylistKind::pls;
    return PlaylistKind::none;
}

PlaylistKind playlist_kind(const char *path) {
    std::FILE *file = open_regular(path);
    if (!file) return PlaylistKind::none;
    char head[64];
    const std::size_t length = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return recognise_playlist(head, length, path);
}

bool names_m3u(const char *path) { return ends_with_nocase(path, ".m3u") || ends_with_nocase(path, ".m3u8"); }

EntryReading read_playlist_entries(const char *path, PlaylistKind kind, EntrySink sink, void *context) {
    char folder[kPathCapacity];
    std::FILE *file = kind == PlaylistKind::none || folder_of(path, folder) != 0 ? nullptr : open_regular(path);
    if (!file) return EntryReading{-1, 0, 0, 0};
    if (kind == PlaylistKind::xq) {
        char magic[sizeof playlist_magic + 1];
        if (std::fread(magic, 1, sizeof magic, file) != sizeof magic) {
            std::fclose(file);
            return EntryReading{0, 0, 0, 0};
        }
    }
    EntryReader reader(kind, sink, context, folder);
    char line[kLineCapacity];
    std::size_t length = 0;
    bool unusable = false;  // too long, or holding a zero byte
    bool first = true;
    int c;
    // A last line without a line feed still counts in M3U and PLS files,
    // which editors often leave that way; our own format drops it.
    for (bool more = true; more;) {
        c = std::fgetc(file);
        more = c != EOF;
        if (more && c != '\n') {
            if (c == '\0' || length >= sizeof line - 1)
                unusable = true;
            else
                line[length++] = static_cast<char>(c);
            continue;
        }
        if (!more && (kind == PlaylistKind::xq || (length == 0 && !unusable))) break;
        line[length] = '\0';
        if (unusable)
            reader.skip();
        else
            reader.line(line, length, first);
        first = false;
        length = 0;
        unusable = false;
    }
    std::fclose(file);
    reader.finish();
    return reader.reading;
}

bool load_foreign_playlist(const char *path, char *message, std::size_t message_size, int &result) {
    const PlaylistKind kind = playlist_kind(path);
    if (kind != PlaylistKind::m3u && kind != PlaylistKind::pls) return false;
    message[0] = '\0';
    Replacing replacing;
    const EntryReading reading = read_playlist_entries(path, kind, replace_list, &replacing);
    result = reading.status;
    if (reading.status != 0) {
        format_with_path(message, message_size, "Can't open '", path, "'.");
        return true;
    }
    if (!replacing.cleared) playlist_clear();
    if (reading.left_out > 0)
        std::snprintf(message, message_size, "The playlist is full: loaded the first %d entries, %d more left out.",
                      kPlaylistCapacity, reading.left_out);
    else if (reading.skipped > 0)
        std::snprintf(message, message_size, "Skipped %d entr%s: too long, not a file or not text.", reading.skipped,
                      reading.skipped == 1 ? "y" : "ies");
    return true;
}

namespace {

// "#EXTM3U", then every entry with its absolute path.
bool write_m3u_lines(std::FILE *file, const void *) {
    char here[kPathCapacity];
    if (!getcwd(here, sizeof here)) std::snprintf(here, sizeof here, "/");
    if (std::fputs("#EXTM3U\n", file) < 0) return false;
    for (int i = 0; i < playlist_count; ++i) {
        const char *entry = playlist[i].path;
        const int written = entry[0] == '/' ? std::fprintf(file, "%s\n", entry) : std::fprintf(file, "%s/%s\n", here, entry);
        if (written < 0) return false;
    }
    return true;
}

}  // namespace

int store_m3u_playlist(const char *path, char *message, std::size_t message_size) {
    return save_with_message(path, write_m3u_lines, nullptr, message, message_size);
}
