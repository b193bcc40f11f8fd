#include "4_program/mpris.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include "1_player/settings.h"
#include "3_panels/event_loop.h"
#include "3_playlist/playlist_playback.h"
#include "3_playlist/playlist_store.h"
#include "4_program/mpris_values.h"
#include "4_program/remote_commands.h"
#include "4_program/shutdown.h"

namespace {

constexpr const char *kObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char *kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char *kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char *kBusName = "org.mpris.MediaPlayer2.xq";
constexpr const char *kRefusedError = "org.mpris.MediaPlayer2.xq.Refused";

// The most messages read at one step, and the calls waiting to be carried
// out after them: a flood is answered a step at a time.
constexpr int kMostMessagesPerStep = 64;
constexpr int kMostWaitingCalls = 16;

// What the desktop was last told, to tell it only what changed.
struct Told {
    std::string status;
    int volume = -1;
    std::uint64_t load_number = ~std::uint64_t{0};
    int song = -1;
    long long length_ms = -2;
    bool can_go_next = false;
    bool can_go_previous = false;
    bool can_play = false;
};

// The bus connection and what goes with it, owned by this file and used on
// the main path only.
struct Mpris {
    sd_bus *bus = nullptr;
    sd_bus_slot *name_request = nullptr;
    std::string name;  // the name held, once the bus gave it
    bool quit_asked = false;
    RemoteRequest waiting[kMostWaitingCalls];
    int waiting_count = 0;
    int serving_depth = 0;
    bool seeked = false;  // a seek from the bus was carried out: the desktop hears where it landed
    Told told;
};

Mpris mpris;

void drop_bus() {
    if (mpris.name_request) mpris.name_request = sd_bus_slot_unref(mpris.name_request);
    // Closed without waiting on what is still unsent: a bus that stopped
    // reading must not hold the player.
    if (mpris.bus) mpris.bus = sd_bus_close_unref(mpris.bus);
    mpris.name.clear();
    mpris.waiting_count = 0;
}

// -- what the properties read --------------------------------------------------

bool can_go_next() { return playlist_active && playlist_index < playlist_count - 1; }
bool can_go_previous() { return playlist_active && playlist_index > 0; }

int append_metadata(sd_bus_message *reply, const PlayerView &view) {
    const std::uint64_t load = view.module ? view.module->load_number : 0;
    const std::string track = mpris_track_id(load, view.subsong);
    if (!view.module) return sd_bus_message_append(reply, "a{sv}", 1, "mpris:trackid", "o", track.c_str());
    const ModuleInfo &m = *view.module;
    const std::string title = clean_utf8(m.title.empty() ? std::string(file_name_of(m.path.c_str())) : m.title);
    char cwd[4096] = "";
    if (!getcwd(cwd, sizeof cwd)) cwd[0] = '\0';
    const std::string url = file_url(m.path, cwd);
    const long long length_ms = song_length_ms(view);
    if (length_ms < 0)
        return sd_bus_message_append(reply, "a{sv}", 3, "mpris:trackid", "o", track.c_str(), "xesam:title", "s",
                                     title.c_str(), "xesam:url", "s", url.c_str());
    return sd_bus_message_append(reply, "a{sv}", 4, "mpris:trackid", "o", track.c_str(), "xesam:title", "s",
                                 title.c_str(), "xesam:url", "s", url.c_str(), "mpris:length", "x",
                                 static_cast<std::int64_t>(length_ms) * 1000);
}

int get_property(sd_bus *, const char *, const char *, const char *property, sd_bus_message *reply, void *,
                 sd_bus_error *) {
    const PlayerView &view = current_view();
    const std::string_view p = property;
    if (p == "PlaybackStatus") return sd_bus_message_append(reply, "s", mpris_playback_status(view));
    if (p == "Metadata") return append_metadata(reply, view);
    if (p == "Volume") return sd_bus_message_append(reply, "d", mpris_volume(view.volume));
    if (p == "Position") return sd_bus_message_append(reply, "x", mpris_position_us(view.sngtime));
    if (p == "CanGoNext") return sd_bus_message_append(reply, "b", can_go_next());
    if (p == "CanGoPrevious") return sd_bus_message_append(reply, "b", can_go_previous());
    if (p == "CanPlay" || p == "CanPause" || p == "CanSeek") return sd_bus_message_append(reply, "b", view.module != nullptr);
    return -ENOENT;
}

int get_true(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply, void *, sd_bus_error *) {
    return sd_bus_message_append(reply, "b", 1);
}
int get_false(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply, void *, sd_bus_error *) {
    return sd_bus_message_append(reply, "b", 0);
}
int get_one(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply, void *, sd_bus_error *) {
    return sd_bus_message_append(reply, "d", 1.0);
}
int get_identity(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply, void *, sd_bus_error *) {
    return sd_bus_message_append(reply, "s", "xq");
}
int get_empty_text(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply, void *,
                   sd_bus_error *) {
    return sd_bus_message_append(reply, "s", "");
}
int get_no_texts(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply, void *, sd_bus_error *) {
    return sd_bus_message_append(reply, "as", 0);
}

// -- the calls -------------------------------------------------------------------

// Queues `command` to be carried out once this step's messages are read,
// or refuses it with the reason the control socket would give.
int take_call(RemoteRequest request, sd_bus_error *error) {
    if (const char *refusal = remote_command_refusal(request, mpris.serving_depth > 1))
        return sd_bus_error_set(error, kRefusedError, refusal);
    if (mpris.waiting_count == kMostWaitingCalls)
        return sd_bus_error_set(error, kRefusedError, "error: busy, try again");
    mpris.waiting[mpris.waiting_count++] = request;
    return 1;
}

template <RemoteCommand kCommand>
int command_call(sd_bus_message *call, void *, sd_bus_error *error) {
    RemoteRequest request;
    request.command = kCommand;
    const int r = take_call(request, error);
    return r < 0 ? r : sd_bus_reply_method_return(call, "");
}

int quit_call(sd_bus_message *call, void *, sd_bus_error *) {
    mpris.quit_asked = true;
    return sd_bus_reply_method_return(call, "");
}

int nothing_call(sd_bus_message *call, void *, sd_bus_error *) { return sd_bus_reply_method_return(call, ""); }

// A seek by an offset from where the song is; the player never seeks past
// the song's end nor before its start.
int seek_call(sd_bus_message *call, void *, sd_bus_error *error) {
    std::int64_t offset = 0;
    const int r = sd_bus_message_read(call, "x", &offset);
    if (r < 0) return r;
    RemoteRequest request;
    if (current_view().module && mpris_seek_request(offset, true, request)) {
        const int taken = take_call(request, error);
        if (taken < 0) return taken;
    }
    return sd_bus_reply_method_return(call, "");
}

// A seek to a time of the song playing; a track that no longer plays, or a
// time outside the song, changes nothing, as the interface asks.
int set_position_call(sd_bus_message *call, void *, sd_bus_error *error) {
    const char *track = nullptr;
    std::int64_t position = 0;
    const int r = sd_bus_message_read(call, "ox", &track, &position);
    if (r < 0) return r;
    const PlayerView &view = current_view();
    const long long length_ms = song_length_ms(view);
    RemoteRequest request;
    if (view.module && track && mpris_track_id(view.module->load_number, view.subsong) == track &&
        (length_ms < 0 || position / 1000 <= length_ms) && mpris_seek_request(position, false, request)) {
        const int taken = take_call(request, error);
        if (taken < 0) return taken;
    }
    return sd_bus_reply_method_return(call, "");
}

int open_uri_call(sd_bus_message *, void *, sd_bus_error *error) {
    return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED, "xq opens no addresses");
}

int set_volume(sd_bus *, const char *, const char *, const char *, sd_bus_message *value, void *,
               sd_bus_error *error) {
    double volume = 0;
    const int r = sd_bus_message_read(value, "d", &volume);
    if (r < 0) return r;
    int song_volume = 0;
    if (!song_volume_from_mpris(volume, song_volume))
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "the volume is no number");
    if (!current_view().module) return 1;
    RemoteRequest request;
    request.command = RemoteCommand::volume;
    request.volume_amount = song_volume;
    return take_call(request, error);
}

constexpr std::uint64_t kConst = SD_BUS_VTABLE_PROPERTY_CONST;
constexpr std::uint64_t kChanges = SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE;
constexpr std::uint64_t kAnyone = SD_BUS_VTABLE_UNPRIVILEGED;

const sd_bus_vtable kRootTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", nothing_call, kAnyone),
    SD_BUS_METHOD("Quit", "", "", quit_call, kAnyone),
    SD_BUS_PROPERTY("CanQuit", "b", get_true, 0, kConst),
    SD_BUS_PROPERTY("CanRaise", "b", get_false, 0, kConst),
    SD_BUS_PROPERTY("HasTrackList", "b", get_false, 0, kConst),
    SD_BUS_PROPERTY("Identity", "s", get_identity, 0, kConst),
    SD_BUS_PROPERTY("DesktopEntry", "s", get_empty_text, 0, kConst),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", get_no_texts, 0, kConst),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", get_no_texts, 0, kConst),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kPlayerTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", command_call<RemoteCommand::next>, kAnyone),
    SD_BUS_METHOD("Previous", "", "", command_call<RemoteCommand::prev>, kAnyone),
    SD_BUS_METHOD("Pause", "", "", command_call<RemoteCommand::pause>, kAnyone),
    SD_BUS_METHOD("PlayPause", "", "", command_call<RemoteCommand::toggle>, kAnyone),
    SD_BUS_METHOD("Stop", "", "", command_call<RemoteCommand::stop>, kAnyone),
    SD_BUS_METHOD("Play", "", "", command_call<RemoteCommand::play>, kAnyone),
    SD_BUS_METHOD("Seek", "x", "", seek_call, kAnyone),
    SD_BUS_METHOD("SetPosition", "ox", "", set_position_call, kAnyone),
    SD_BUS_METHOD("OpenUri", "s", "", open_uri_call, kAnyone),
    SD_BUS_PROPERTY("PlaybackStatus", "s", get_property, 0, kChanges),
    SD_BUS_PROPERTY("Rate", "d", get_one, 0, kConst),
    SD_BUS_PROPERTY("Metadata", "a{sv}", get_property, 0, kChanges),
    SD_BUS_WRITABLE_PROPERTY("Volume", "d", get_property, set_volume, 0, kChanges | kAnyone),
    SD_BUS_PROPERTY("Position", "x", get_property, 0, 0),
    SD_BUS_PROPERTY("MinimumRate", "d", get_one, 0, kConst),
    SD_BUS_PROPERTY("MaximumRate", "d", get_one, 0, kConst),
    SD_BUS_PROPERTY("CanGoNext", "b", get_property, 0, kChanges),
    SD_BUS_PROPERTY("CanGoPrevious", "b", get_property, 0, kChanges),
    SD_BUS_PROPERTY("CanPlay", "b", get_property, 0, kChanges),
    SD_BUS_PROPERTY("CanPause", "b", get_property, 0, kChanges),
    SD_BUS_PROPERTY("CanSeek", "b", get_property, 0, kChanges),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("CanControl", "b", get_true, 0, kConst),
    SD_BUS_VTABLE_END,
};

// -- the name ----------------------------------------------------------------------

int name_answered(sd_bus_message *reply, void *userdata, sd_bus_error *) {
    const bool second_try = userdata != nullptr;
    mpris.name_request = sd_bus_slot_unref(mpris.name_request);
    std::uint32_t outcome = 0;
    if (sd_bus_message_is_method_error(reply, nullptr) || sd_bus_message_read(reply, "u", &outcome) < 0) outcome = 0;
    static char instance[64];
    if (outcome == 1 || outcome == 4) {  // the primary owner (or already was)
        mpris.name = second_try ? instance : kBusName;
        return 0;
    }
    if (second_try) return 0;  // no name: the bus is kept, but nobody finds this xq
    std::snprintf(instance, sizeof instance, "%s.instance%ld", kBusName, static_cast<long>(getpid()));
    sd_bus_request_name_async(mpris.bus, &mpris.name_request, instance, 0, name_answered, instance);
    return 0;
}

// -- telling what changed -----------------------------------------------------------

void tell_changes() {
    if (mpris.name.empty()) return;
    const PlayerView &view = current_view();
    Told now;
    now.status = mpris_playback_status(view);
    now.volume = view.volume;
    now.load_number = view.module ? view.module->load_number : 0;
    now.song = view.subsong;
    now.length_ms = song_length_ms(view);
    now.can_go_next = can_go_next();
    now.can_go_previous = can_go_previous();
    now.can_play = view.module != nullptr;
    if (mpris.seeked) {
        mpris.seeked = false;
        sd_bus_emit_signal(mpris.bus, kObjectPath, kPlayerInterface, "Seeked", "x", mpris_position_us(view.sngtime));
    }
    const char *changed[10];
    int count = 0;
    if (now.status != mpris.told.status) changed[count++] = "PlaybackStatus";
    if (now.load_number != mpris.told.load_number || now.song != mpris.told.song || now.length_ms != mpris.told.length_ms)
        changed[count++] = "Metadata";
    if (now.volume != mpris.told.volume) changed[count++] = "Volume";
    if (now.can_go_next != mpris.told.can_go_next) changed[count++] = "CanGoNext";
    if (now.can_go_previous != mpris.told.can_go_previous) changed[count++] = "CanGoPrevious";
    if (now.can_play != mpris.told.can_play) {
        changed[count++] = "CanPlay";
        changed[count++] = "CanPause";
        changed[count++] = "CanSeek";
    }
    if (count == 0) return;
    changed[count] = nullptr;
    mpris.told = now;
    char **names = const_cast<char **>(changed);
    sd_bus_emit_properties_changed_strv(mpris.bus, kObjectPath, kPlayerInterface, names);
}

}  // namespace

void open_mpris() {
    if (mpris.bus || !mpris_enabled) return;
    // Without a bus to reach (a login over SSH, say) the bus library is not
    // even started: opening a connection that fails costs a few hundred KB
    // of its code for nothing.
    if (!session_bus_may_exist(std::getenv("DBUS_SESSION_BUS_ADDRESS"), std::getenv("XDG_RUNTIME_DIR"))) return;
    sd_bus *bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) return;
    mpris.bus = bus;
    if (sd_bus_add_object_vtable(bus, nullptr, kObjectPath, kRootInterface, kRootTable, nullptr) < 0 ||
        sd_bus_add_object_vtable(bus, nullptr, kObjectPath, kPlayerInterface, kPlayerTable, nullptr) < 0 ||
        sd_bus_request_name_async(bus, &mpris.name_request, kBusName, 0, name_answered, nullptr) < 0) {
        drop_bus();
        return;
    }
}

void close_mpris() { drop_bus(); }

const char *mpris_bus_name() { return mpris.name.c_str(); }

int mpris_fds(pollfd *fds, int room) {
    if (!mpris.bus || room < 1) return 0;
    const int fd = sd_bus_get_fd(mpris.bus);
    const int events = sd_bus_get_events(mpris.bus);
    if (fd < 0 || events < 0) return 0;
    std::uint64_t until_us = UINT64_MAX;
    if (sd_bus_get_timeout(mpris.bus, &until_us) >= 0 && until_us != UINT64_MAX)
        wake_at_ms(static_cast<long long>(until_us / 1000) + 1);
    fds[0] = {fd, static_cast<short>(events), 0};
    return 1;
}

void serve_mpris() {
    if (!mpris.bus) return;
    ++mpris.serving_depth;
    for (int n = 0; n < kMostMessagesPerStep; ++n) {
        const int r = sd_bus_process(mpris.bus, nullptr);
        if (r < 0) {  // the bus went away: play on without it
            --mpris.serving_depth;
            drop_bus();
            return;
        }
        if (r == 0) break;
    }
    if (mpris.quit_asked) leave_program(true);  // its answer is written already
    // Carried out once read, outside the bus's own processing: a command
    // may open a message box whose steps come back here.
    RemoteRequest calls[kMostWaitingCalls];
    const int count = mpris.waiting_count;
    std::copy(mpris.waiting, mpris.waiting + count, calls);
    mpris.waiting_count = 0;
    for (int i = 0; i < count; ++i) {
        carry_out_remote_command(calls[i]);
        if (calls[i].command == RemoteCommand::seek) mpris.seeked = true;
    }
    --mpris.serving_depth;
    // What the bus cannot take at once is written as it drains: the wait
    // watches for that.
    if (mpris.bus) tell_changes();
}
