#include "1_player/settings.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mikmod.h>
#include <sys/stat.h>
#include <unistd.h>

#include "1_player/atomic_save.h"
#include "1_player/panel_corners.h"
#include "1_player/private_folder.h"
#include "1_player/quit_request.h"
#include "1_player/regular_file.h"

int output_16bits = 1;
int stereo = 1;
int reverse_stereo = 0;
int surround = 1;
int interpolate = 0;
int hq_mixer = 1;
int loop_module = 0;
int fade_module = 0;
int random_mode = 0;
int song_loops = 1;
int all_songs = 0;
int refresh_delay = 40;
int separation = 100;
int crossfeed = 0;
ColorScheme color_scheme = ColorScheme::dark;
int mpris_enabled = 1;

namespace {

// How a value read from the file is stored, and how it is written.
enum class Reading {
    nonzero_flag,      // any value but 0 reads as 1; written as 0 or 1
    exactly_one_flag,  // only 1 reads as 1; written as 0 or 1
    integer,           // stored and written as it is
    bounded,           // kept within the setting's bounds; written as it is
    scheme,            // a colour scheme's name; any other text changes nothing
};

// One setting of the options file, described once for reading and writing.
struct OptionKey {
    const char *name;   // the key written
    const char *match;  // the text a line must begin with, when not the name
    Reading reading;
    int *target;
    Setting setting;    // the bounds of a bounded setting
};

// Written in this order. A line is matched against the keys in this order
// too, and the first key it begins with wins; no key begins with another,
// so the order decides nothing. "16bit" deliberately matches lines written
// as "16bits".
const OptionKey kKeys[] = {
    {"16bits", "16bit", Reading::nonzero_flag, &output_16bits, Setting::count},
    {"stereo", nullptr, Reading::nonzero_flag, &stereo, Setting::count},
    {"reverse_stereo", nullptr, Reading::nonzero_flag, &reverse_stereo, Setting::count},
    {"surround", nullptr, Reading::nonzero_flag, &surround, Setting::count},
    {"interpolate", nullptr, Reading::exactly_one_flag, &interpolate, Setting::count},
    {"hq_mixer", nullptr, Reading::exactly_one_flag, &hq_mixer, Setting::count},
    {"loop_module", nullptr, Reading::exactly_one_flag, &loop_module, Setting::count},
    {"fade_module", nullptr, Reading::exactly_one_flag, &fade_module, Setting::count},
    {"random_mode", nullptr, Reading::nonzero_flag, &random_mode, Setting::count},
    {"delay", nullptr, Reading::bounded, &refresh_delay, Setting::refresh_delay},
    {"loops", nullptr, Reading::bounded, &song_loops, Setting::song_loops},
    {"all_songs", nullptr, Reading::exactly_one_flag, &all_songs, Setting::count},
    {"colors", nullptr, Reading::scheme, nullptr, Setting::count},
    {"mpris", nullptr, Reading::nonzero_flag, &mpris_enabled, Setting::count},
    {"separation", nullptr, Reading::bounded, &separation, Setting::separation},
    {"crossfeed", nullptr, Reading::bounded, &crossfeed, Setting::crossfeed},
};

// The colour scheme named by `text`, blanks around the name ignored.
void read_color_scheme(const char *text) {
    while (*text == ' ' || *text == '\t') ++text;
    std::size_t length = std::strlen(text);
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t' || text[length - 1] == '\r')) --length;
    char name[16] = {};
    if (length >= sizeof name) return;
    std::memcpy(name, text, length);
    parse_color_scheme(name, color_scheme);
}

bool is_flag(Reading reading) { return reading == Reading::nonzero_flag || reading == Reading::exactly_one_flag; }

// Leading blanks, an optional sign, then digits up to the first other
// character; no digits give 0. Values beyond int saturate.
int decimal_value(const char *text) {
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\v' || *text == '\f' ||
           *text == '\r')
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = (*text++ == '-');
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

int options_file_path(char (&path)[kPathCapacity]) {
    const char *home = std::getenv("HOME");
    if (!home || home[0] == '\0') return -1;
    int n = std::snprintf(path, sizeof path, "%s/%s", home, ".xq/options");
    return (n < 0 || static_cast<std::size_t>(n) >= sizeof path) ? -1 : 0;
}

void interpret_options_line(const char *line) {
    const char *equals = std::strrchr(line, '=');
    if (!equals) return;
    const auto begins_with = [line](const char *key) { return std::strncmp(line, key, std::strlen(key)) == 0; };
    for (const OptionKey &key : kKeys) {
        const char *match = key.match ? key.match : key.name;
        if (!begins_with(match)) continue;
        if (key.reading == Reading::scheme) {
            read_color_scheme(equals + 1);
            return;
        }
        int value = decimal_value(equals + 1);
        switch (key.reading) {
        case Reading::nonzero_flag: *key.target = value != 0 ? 1 : 0; break;
        case Reading::exactly_one_flag: *key.target = value == 1 ? 1 : 0; break;
        case Reading::integer: *key.target = value; break;
        case Reading::scheme: break;
        case Reading::bounded: {
            const SettingBounds bounds = setting_bounds(key.setting);
            *key.target = std::clamp(value, bounds.low, bounds.high);
            break;
        }
        }
        return;
    }
    // The saved panel corners.
    for (const SavedCorner &saved : kSavedCorners) {
        PanelCorner &corner = PanelPositions.*saved.corner;
        if (begins_with(saved.x_key)) {
            corner.x = decimal_value(equals + 1);
            return;
        }
        if (begins_with(saved.y_key)) {
            corner.y = decimal_value(equals + 1);
            return;
        }
    }
}

void read_options(std::FILE *errors) {
    char path[kPathCapacity];
    if (options_file_path(path) != 0) return;
    int failure = 0;
    std::FILE *file = open_regular_file(path, failure);
    if (!file) {
        if (errors && failure != ENOENT)
            std::fprintf(errors, "XQ: Can't read '%s': %s; the options are left at their defaults.\n", path,
                         file_failure_text(failure));
        return;
    }
    char line[kPathCapacity] = {};
    std::size_t length = 0;
    std::size_t bytes_read = 0;
    int c;
    while (bytes_read++ < kMaxOptionsFileBytes && !quit_requested && (c = std::getc(file)) != EOF) {
        if (c == '\n') {
            interpret_options_line(line);
            std::memset(line, 0, sizeof line);
            length = 0;
        } else if (length < sizeof line - 1) {
            line[length++] = static_cast<char>(c);  // longer lines are cut
        }
    }
    // A last line without its line feed is not taken.
    std::fclose(file);
}

namespace {

bool write_option_lines(std::FILE *file, const void *) {
    for (const OptionKey &key : kKeys) {
        if (key.reading == Reading::scheme) {
            if (std::fprintf(file, "%s=%s\n", key.name, color_scheme_name(color_scheme)) < 0) return false;
            continue;
        }
        const int value = is_flag(key.reading) ? (*key.target ? 1 : 0) : *key.target;
        if (std::fprintf(file, "%s=%d\n", key.name, value) < 0) return false;
    }
    for (const SavedCorner &saved : kSavedCorners) {
        const PanelCorner &corner = PanelPositions.*saved.corner;
        if (std::fprintf(file, "%s=%d\n%s=%d\n", saved.x_key, corner.x, saved.y_key, corner.y) < 0) return false;
    }
    return true;
}

}  // namespace

int store_options(const char *path, char *message, std::size_t message_size) {
    return save_with_message(path, write_option_lines, nullptr, message, message_size);
}

int write_options(char *message, std::size_t message_size) {
    char path[kPathCapacity];
    if (options_file_path(path) != 0) {
        std::snprintf(message, message_size, "Can't open the options file: HOME is unset or too long.");
        return -1;
    }
    // Through a folder another user can write to, the save could be sent
    // on to any file of the user's.
    char dir[kPathCapacity];
    std::snprintf(dir, sizeof dir, "%s", path);
    if (char *slash = std::strrchr(dir, '/')) *slash = '\0';
    const FolderTrust trust = examine_own_folder(dir);
    if (trust != FolderTrust::own && trust != FolderTrust::missing) {
        std::snprintf(message, message_size, "Can't save '%s': '%s' %s.", path, dir, folder_trust_text(trust));
        return -1;
    }
    return store_options(path, message, message_size);
}

unsigned output_mode(unsigned current_mode) {
    unsigned mode = current_mode & 0xF8ECu;
    if (output_16bits == 1) mode |= DMODE_16BITS;
    if (stereo == 1) mode |= DMODE_STEREO;
    if (hq_mixer == 1) mode |= DMODE_HQMIXER;
    if (surround == 1) mode |= DMODE_SURROUND;
    if (interpolate == 1) mode |= DMODE_INTERP;
    if (reverse_stereo == 1) mode |= DMODE_REVERSE;
    return mode;
}

char config_dir_path[kPathCapacity] = {};

int build_config_dir_path() {
    const char *home = std::getenv("HOME");
    if (!home || home[0] == '\0') return -1;
    char options_path[kPathCapacity];
    int n = std::snprintf(config_dir_path, sizeof config_dir_path, "%s/.xq", home);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof config_dir_path) return -1;
    return options_file_path(options_path);
}
