// Every command of xq, described once: the word the control socket and the
// desktop use for it, what it does, its default keys, the screens where
// those keys act, and its row in the Help panel. The key tables bind
// handlers to command names and take the keys from here (bind_commands),
// the Help panel draws its rows from here, and tests check the control
// socket's words and the manual page against it.
#pragma once

#include <array>
#include <cstddef>
#include <iterator>
#include <span>
#include <string>
#include <string_view>

#include "2_screen/key_table.h"
#include "2_screen/keys.h"

// The screens where a command's keys act, as bits.
enum CommandScreen : unsigned {
    kOnMainScreen = 1u << 0,
    kOnCommentPanel = 1u << 1,
    kOnVolumeMonitors = 1u << 2,  // All channels and All voices
    kOnVoiceMonitors = 1u << 3,   // Voices position and Voices frequency
    kOnPatternView = 1u << 4,
    kOnSpectrumPanel = 1u << 5,
};

// The screens that pass every key they do not read to the command keys.
inline constexpr unsigned kOnLiveScreens =
    kOnMainScreen | kOnCommentPanel | kOnVolumeMonitors | kOnPatternView | kOnSpectrumPanel;

inline constexpr std::size_t kMostKeysPerCommand = 4;

struct Command {
    const char *name;      // the command's word
    const char *argument;  // what the socket's request takes after the word, or null
    const char *does;      // what it does, in a few words
    std::array<int, kMostKeysPerCommand> keys;  // its default keys; 0 ends the list
    unsigned screens;      // where the keys act (CommandScreen bits)
    bool from_outside;     // the control socket and the desktop may send it
};

// The table. A command without keys is one that only comes from outside.
inline constexpr Command kCommands[] = {
    // Playback.
    {"toggle", nullptr, "play or pause", {'p'}, kOnLiveScreens | kOnVoiceMonitors, true},
    {"play", nullptr, "play, or end the pause", {}, 0, true},
    {"pause", nullptr, "pause", {}, 0, true},
    {"stop", nullptr, "stop at the song's start", {'t'}, kOnLiveScreens, true},
    {"restart_pattern", nullptr, "play the pattern again from its first row", {'a'}, kOnLiveScreens, false},
    {"restart", nullptr, "play the module again from its start", {'A'}, kOnLiveScreens, false},
    {"forward", nullptr, "the next order position", {'n'}, kOnLiveScreens, true},
    {"back", nullptr, "the previous order position", {'v'}, kOnLiveScreens, true},
    {"next", nullptr, "the next playlist entry", {'N'}, kOnLiveScreens, true},
    {"prev", nullptr, "the previous playlist entry", {'V'}, kOnLiveScreens, true},
    {"seek_back", nullptr, "seek back 5 s", {KEY_LEFT}, kOnMainScreen, false},
    {"seek_forward", nullptr, "seek forward 5 s", {KEY_RIGHT}, kOnMainScreen, false},
    {"seek_back_minute", nullptr, "seek back a minute", {','}, kOnLiveScreens, false},
    {"seek_forward_minute", nullptr, "seek forward a minute", {'.'}, kOnLiveScreens, false},
    {"seek", "+N|-N|M:SS", "seek by N seconds, or to a time", {}, 0, true},
    {"previous_song", nullptr, "the module's previous song", {'('}, kOnLiveScreens, false},
    {"next_song", nullptr, "the module's next song", {')'}, kOnLiveScreens, false},
    {"status", nullptr, "tell what plays", {}, 0, true},
    {"quit", nullptr, "quit xq (a panel: close it)", {'q'}, kOnMainScreen, true},
    // The module's settings.
    {"bpm_down", nullptr, "BPM down", {'b'}, kOnLiveScreens, false},
    {"bpm_up", nullptr, "BPM up", {'B'}, kOnLiveScreens, false},
    {"tempo_down", nullptr, "tempo down", {'k'}, kOnLiveScreens, false},
    {"tempo_up", nullptr, "tempo up", {'K'}, kOnLiveScreens, false},
    {"speed_down", nullptr, "speed down", {'s'}, kOnLiveScreens, false},
    {"speed_up", nullptr, "speed up", {'S'}, kOnLiveScreens, false},
    {"volume_up", nullptr, "volume up", {'+'}, kOnLiveScreens, false},
    {"volume_down", nullptr, "volume down", {'-'}, kOnLiveScreens, false},
    {"volume", "+N|-N|N", "set the volume (0 to 256) or step it", {}, 0, true},
    {"reverb_down", nullptr, "reverb down", {'r'}, kOnLiveScreens, false},
    {"reverb_up", nullptr, "reverb up", {'R'}, kOnLiveScreens, false},
    {"reverse_stereo", nullptr, "swap left and right", {'!'}, kOnLiveScreens, false},
    {"mute_all", nullptr, "mute every channel, or unmute them all", {'M'}, kOnLiveScreens, false},
    // The screen.
    {"volume_display", nullptr, "switch the volume column between set and real volume", {'u'}, kOnLiveScreens, false},
    {"spinner", nullptr, "switch the title bar's spinner off or on", {KEY_F(12)}, kOnLiveScreens, false},
    {"meter_style", nullptr, "the level bars' next style", {'*'}, kOnMainScreen | kOnVolumeMonitors, false},
    {"channel_up", nullptr, "the channel cursor up", {KEY_UP}, kOnMainScreen, false},
    {"channel_down", nullptr, "the channel cursor down", {KEY_DOWN}, kOnMainScreen, false},
    {"channel_page_up", nullptr, "the channel cursor a page up", {KEY_PPAGE}, kOnMainScreen, false},
    {"channel_page_down", nullptr, "the channel cursor a page down", {KEY_NPAGE}, kOnMainScreen, false},
    {"mute_channel", nullptr, "mute or unmute the channel under the cursor", {'\n', KEY_ENTER}, kOnMainScreen, false},
    {"bass_down", nullptr, "the mixer's bass down", {'<'}, kOnMainScreen, false},
    {"bass_up", nullptr, "the mixer's bass up", {'>'}, kOnMainScreen, false},
    {"treble_down", nullptr, "the mixer's treble down", {'x'}, kOnMainScreen, false},
    {"treble_up", nullptr, "the mixer's treble up", {'X'}, kOnMainScreen, false},
    // Panels.
    {"help", nullptr, "the Help panel", {'h', 'H'}, kOnLiveScreens, false},
    {"about", nullptr, "the About panel", {'?'}, kOnLiveScreens, false},
    {"comment", nullptr, "the module's comment", {'i'}, kOnLiveScreens, false},
    {"playlist", nullptr, "the Playlist panel", {'l'}, kOnLiveScreens, false},
    {"file_selector", nullptr, "the file selector", {'f'}, kOnMainScreen, false},
    {"all_channels", nullptr, "the All channels monitor", {'c', 'C'}, kOnMainScreen, false},
    {"all_voices", nullptr, "the All voices monitor", {'T'}, kOnMainScreen, false},
    {"voices_position", nullptr, "the Voices position monitor", {'Y'}, kOnMainScreen, false},
    {"voices_frequency", nullptr, "the Voices frequency monitor", {'y'}, kOnMainScreen, false},
    {"spectrum", nullptr, "the Spectrum panel (it closes it again)", {'F'}, kOnLiveScreens | kOnVoiceMonitors, false},
    {"pattern_view", nullptr, "the pattern view", {'P'}, kOnMainScreen | kOnVolumeMonitors | kOnVoiceMonitors, false},
    {"effects", nullptr, "the Effects panel", {'e'}, kOnMainScreen | kOnVolumeMonitors | kOnVoiceMonitors, false},
    {"options", nullptr, "the Options panel", {'o'}, kOnMainScreen | kOnVolumeMonitors | kOnVoiceMonitors, false},
    {"instruments", nullptr, "the Instruments panel", {'W'}, kOnMainScreen, false},
    {"samples", nullptr, "the Samples panel", {'w'}, kOnMainScreen, false},
};

// A row of the Help panel: its label and the commands whose first keys it
// shows, "/" between them.
struct HelpRow {
    int row;     // 1 and up, inside the frame
    int column;  // 0 the left column, 1 the right one
    const char *label;
    std::array<const char *, 2> commands;  // the second may be null
};

inline constexpr HelpRow kHelpRows[] = {
    {1, 0, "Play or pause", {"toggle"}},
    {2, 0, "Stop module", {"stop"}},
    {3, 0, "Module comment", {"comment"}},
    {4, 0, "Restart pattern", {"restart_pattern"}},
    {5, 0, "Restart module", {"restart"}},
    {6, 0, "Seek back/forward 5 s", {"seek_back", "seek_forward"}},
    {7, 0, "Next position", {"forward"}},
    {8, 0, "Next module", {"next"}},
    {9, 0, "Prev position", {"back"}},
    {10, 0, "Prev module", {"prev"}},
    {11, 0, "Seek back/forward 60 s", {"seek_back_minute", "seek_forward_minute"}},
    {12, 0, "File selector", {"file_selector"}},
    {13, 0, "Quit XQ or close panel", {"quit"}},
    {14, 0, "Prev/next song of module", {"previous_song", "next_song"}},
    {15, 0, "Show all channels", {"all_channels"}},
    {16, 0, "Show all voices", {"all_voices"}},
    {17, 0, "Voices position", {"voices_position"}},
    {18, 0, "Voices frequency", {"voices_frequency"}},
    {14, 1, "Pattern view", {"pattern_view"}},
    {1, 1, "Bpm down/up", {"bpm_down", "bpm_up"}},
    {2, 1, "Reverb down/up", {"reverb_down", "reverb_up"}},
    {3, 1, "Tempo down/up", {"tempo_down", "tempo_up"}},
    {4, 1, "Speed down/up", {"speed_down", "speed_up"}},
    {5, 1, "Volume up/down", {"volume_up", "volume_down"}},
    {6, 1, "Reverse stereo", {"reverse_stereo"}},
    {7, 1, "Switch volume display", {"volume_display"}},
    {8, 1, "Spectrum", {"spectrum"}},
    {9, 1, "Playlist panel", {"playlist"}},
    {10, 1, "Effects panel", {"effects"}},
    {11, 1, "Options panel", {"options"}},
    {12, 1, "Samples panel", {"samples"}},
    {13, 1, "Instruments panel", {"instruments"}},
    {15, 1, "Select channel", {"channel_up", "channel_down"}},
    {16, 1, "Mute/unmute channel", {"mute_channel"}},
    {17, 1, "Mute/unmute all channels", {"mute_all"}},
    {18, 1, "About", {"about"}},
};

// The place of the command named `name` in the table, or -1. (The key
// tables are made from places, not pointers: a sanitizing build does not
// take a comparison of pointers as constant.)
constexpr int command_index(std::string_view name) {
    for (std::size_t i = 0; i < std::size(kCommands); ++i)
        if (name == kCommands[i].name) return static_cast<int>(i);
    return -1;
}

// The command named `name`, or null.
constexpr const Command *find_command(std::string_view name) {
    const int i = command_index(name);
    return i < 0 ? nullptr : &kCommands[i];
}

// How many keys `command` has.
constexpr std::size_t key_count(const Command &command) {
    std::size_t n = 0;
    while (n < command.keys.size() && command.keys[n] != 0) ++n;
    return n;
}

// A handler for the keys of a command, named by its word.
struct CommandBinding {
    const char *command;
    KeyHandler handler;
};

// The number of key bindings `bindings` makes: one for each key of each
// command named. A name that is no command's stops the build.
template <std::size_t N>
consteval std::size_t binding_count(const CommandBinding (&bindings)[N]) {
    std::size_t count = 0;
    for (const CommandBinding &b : bindings) {
        const int i = command_index(b.command);
        if (i < 0) throw "a key table names a command that is not in the table";
        count += key_count(kCommands[i]);
    }
    return count;
}

// A key table: every key of each command of `bindings`, to its handler, in
// the order of `bindings`. Use as
//   constexpr auto kTable = bind_commands<binding_count(kBindings)>(kBindings);
template <std::size_t K, std::size_t N>
consteval std::array<KeyBinding, K> bind_commands(const CommandBinding (&bindings)[N]) {
    std::array<KeyBinding, K> table{};
    std::size_t at = 0;
    for (const CommandBinding &b : bindings) {
        const Command &c = kCommands[command_index(b.command)];
        for (std::size_t i = 0; i < key_count(c); ++i) table[at++] = {c.keys[i], b.handler};
    }
    return table;
}

// A key as the Help panel writes it: its character, or a name ("UP",
// "ENTER", "F12").
std::string key_notation(int key);

// The Help row's keys column: the first key of each of its commands, "/"
// between them.
std::string help_keys(const HelpRow &row);

// The commands that come from outside, as the control socket's help lists
// them: each word with its argument, ", " between them and " or " before
// the last ("play, pause, ..., volume +N|-N|N or status").
std::string outside_command_list();
