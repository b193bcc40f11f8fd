#include "4_program/remote_control.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "1_player/clock.h"
#include "1_player/player_thread.h"
#include "1_player/private_folder.h"
#include "4_program/remote_request.h"
#include "1_player/settings.h"
#include "3_panels/event_loop.h"
#include "3_panels/idle.h"
#include "3_panels/message_box.h"
#include "3_playlist/playlist_playback.h"
#include "3_playlist/playlist_store.h"
#include "4_program/remote_commands.h"
#include "4_program/shutdown.h"

namespace {

constexpr int kListenBacklog = 16;
constexpr int kMostAcceptsPerStep = 2 * kMaxRemoteClients;

struct RemoteClient {
    int fd = -1;
    long long since_ms = 0;
    std::size_t length = 0;
    bool refused = false;  // answered with an error; what it still sends is read and thrown away
    char request[kMaxRemoteRequest];
};

// The most bytes thrown away from one refused client per step.
constexpr std::size_t kMostDiscardedPerStep = 64 * 1024;

// The remote control's socket and clients, owned by this file and used on
// the main path only.
struct RemoteControl {
    int listen_fd = -1;
    char socket_path[kPathCapacity] = "";
    dev_t socket_dev = 0;  // the socket file this xq made, so only that one is removed
    ino_t socket_ino = 0;
    RemoteClient clients[kMaxRemoteClients];
    // Requests being carried out: one carried out inside another (from a
    // message box's idle step) may only ask for the status or quit.
    int acting_depth = 0;
};

RemoteControl remote;

void answer(int fd, const char *text) {
    // The answer is far smaller than a socket's buffer; a client that does
    // not read it loses it rather than holding the player.
    send(fd, text, std::strlen(text), MSG_DONTWAIT | MSG_NOSIGNAL);
}

void answer_and_close(int fd, const char *text) {
    answer(fd, text);
    close(fd);
}

void drop(RemoteClient &c) {
    if (c.fd >= 0) close(c.fd);
    c.fd = -1;
    c.length = 0;
    c.refused = false;
}

// A client that sent too much gets its answer and the end of the
// connection at once; what it is still sending is read and thrown away (a
// little at each step, until it stops or its time is up), so that closing
// on unread bytes does not wipe the answer out before it reads it.
void refuse(RemoteClient &c, const char *text) {
    answer(c.fd, text);
    shutdown(c.fd, SHUT_WR);
    c.refused = true;
}

void discard_input(RemoteClient &c) {
    char sink[4096];
    for (std::size_t total = 0; total < kMostDiscardedPerStep;) {
        const ssize_t n = recv(c.fd, sink, sizeof sink, MSG_DONTWAIT);
        if (n > 0) {
            total += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) drop(c);
        break;
    }
    if (c.fd >= 0 && monotonic_ms() - c.since_ms > kRemoteClientPatienceMs) drop(c);
}

bool same_user(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == geteuid();
}

// True when a client waits to be accepted. A poll costs far less than an
// accept that finds no one: the kernel makes and frees a socket for that.
bool client_waiting() {
    pollfd listening{remote.listen_fd, POLLIN, 0};
    return poll(&listening, 1, 0) > 0 && (listening.revents & POLLIN);
}

void accept_clients() {
    for (int n = 0; n < kMostAcceptsPerStep && client_waiting(); ++n) {
        const int fd = accept4(remote.listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        if (!same_user(fd)) {
            answer_and_close(fd, "error: refused: this xq belongs to another user\n");
            continue;
        }
        RemoteClient *slot = nullptr;
        for (RemoteClient &c : remote.clients)
            if (c.fd < 0 && !slot) slot = &c;
        if (!slot) {
            answer_and_close(fd, "error: busy, try again\n");
            continue;
        }
        slot->fd = fd;
        slot->length = 0;
        slot->refused = false;
        slot->since_ms = monotonic_ms();
    }
}

enum class Reading { waiting, complete, dropped };

// Reads what the client has sent so far; a request is complete at its line
// feed, or when the client has finished sending.
Reading read_request(RemoteClient &c) {
    if (c.refused) {
        discard_input(c);
        return Reading::dropped;
    }
    for (;;) {
        if (c.length == sizeof c.request) {
            refuse(c, "error: the request is too long\n");
            return Reading::dropped;
        }
        const ssize_t n = recv(c.fd, c.request + c.length, sizeof c.request - c.length, MSG_DONTWAIT);
        if (n > 0) {
            const char *line_end = static_cast<const char *>(std::memchr(c.request + c.length, '\n', n));
            c.length += static_cast<std::size_t>(n);
            if (line_end) {
                c.length = static_cast<std::size_t>(line_end - c.request) + 1;
                return Reading::complete;
            }
            continue;
        }
        if (n == 0) {
            if (c.length > 0) return Reading::complete;
            drop(c);
            return Reading::dropped;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            drop(c);
            return Reading::dropped;
        }
        if (monotonic_ms() - c.since_ms > kRemoteClientPatienceMs) {
            answer(c.fd, "error: no request came\n");
            drop(c);
            return Reading::dropped;
        }
        return Reading::waiting;
    }
}

// Takes the next complete request out of its slot (the slot is free again,
// so a request carried out inside this one finds the others in place).
bool next_request(RemoteClient &taken) {
    for (RemoteClient &c : remote.clients) {
        if (c.fd < 0 || read_request(c) != Reading::complete) continue;
        taken = c;
        c.fd = -1;
        c.length = 0;
        c.refused = false;
        return true;
    }
    return false;
}

void answer_status(int fd) {
    const PlayerView &view = current_view();
    RemoteStatus s;
    s.state = play_state(view);
    s.file = view.module ? view.module->path.c_str() : "";
    s.title = view.module ? view.module->title.c_str() : "";
    s.format = view.module ? view.module->type.c_str() : "";
    s.position = view.sngpos < view.numpos ? view.sngpos + 1 : view.numpos;
    s.positions = view.numpos;
    s.row = view.patpos;
    s.pattern = view.pattern;
    s.seconds = static_cast<long>(view.sngtime / 1024);
    s.bpm = view.bpm;
    s.speed = view.sngspd;
    s.volume = view.volume;
    s.playlist_index = playlist_active ? std::min(playlist_index + 1, playlist_count) : 0;
    s.playlist_length = playlist_count;
    s.random = random_mode ? 1 : 0;
    s.length_ms = song_length_ms(view);
    s.subsongs = song_count(view);
    s.subsong = s.subsongs > 0 ? view.subsong + 1 : 0;
    char text[kMaxRemoteReply];
    format_remote_status(text, sizeof text, s);
    answer_and_close(fd, text);
}

// Carries out a request and answers it; the quit is answered first, since
// it does not come back.
void carry_out(const RemoteRequest &r, int fd) {
    if (r.command == RemoteCommand::status) return answer_status(fd);
    if (r.command == RemoteCommand::quit) {
        answer_and_close(fd, "ok\n");
        leave_program(true);
    }
    if (const char *refusal = remote_command_refusal(r, remote.acting_depth > 1)) {
        char text[128];
        std::snprintf(text, sizeof text, "%s\n", refusal);
        return answer_and_close(fd, text);
    }
    // While paused the answer comes first (play ends the pause and goes
    // on with the song); otherwise once the command is done.
    if (keys_held_by_pause()) {
        answer_and_close(fd, "ok\n");
        return carry_out_remote_command(r);
    }
    carry_out_remote_command(r);
    answer_and_close(fd, "ok\n");
}

// Parses the request; a bad one is answered with the error and forgotten.
bool parse(const RemoteClient &c, RemoteRequest &r) {
    char error[128];
    if (parse_remote_request(c.request, c.length, r, error, sizeof error) == 0) return true;
    std::strncat(error, "\n", sizeof error - std::strlen(error) - 1);
    answer_and_close(c.fd, error);
    return false;
}

// True when an xq answers on `address`: a socket nobody listens on is left
// from one that died.
bool another_xq_listens(const sockaddr_un &address) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const int result = connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    const bool listening = result == 0 || errno == EAGAIN || errno == EINPROGRESS;
    close(fd);
    return listening;
}

int bind_private(int fd, const sockaddr_un &address) {
    const mode_t old_mask = umask(0177);
    const int result = bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    const int saved = errno;
    umask(old_mask);
    errno = saved;
    return result;
}

}  // namespace

int open_remote_control(char *message, std::size_t size) {
    if (remote.listen_fd >= 0) return 0;
    char path[kPathCapacity];
    char dir[kPathCapacity];
    // A runtime directory another user could write to is passed over.
    if (remote_socket_path(usable_runtime_dir(std::getenv("XDG_RUNTIME_DIR")), std::getenv("HOME"), path,
                           sizeof path) != 0 ||
        remote_socket_dir(path, dir, sizeof dir) != 0) {
        std::snprintf(message, size, "No remote control: the socket's path would be too long.");
        return -1;
    }
    if (make_own_folder(dir, "No remote control", message, size) != 0) return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // remote_socket_path keeps the path within the address.
    std::memcpy(address.sun_path, path, std::min(std::strlen(path) + 1, sizeof address.sun_path - 1));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        std::snprintf(message, size, "No remote control: %s.", std::strerror(errno));
        return -1;
    }
    int result = bind_private(fd, address);
    if (result != 0 && errno == EADDRINUSE) {
        struct stat info;
        if (lstat(path, &info) == 0 && !S_ISSOCK(info.st_mode)) {
            close(fd);
            std::snprintf(message, size, "No remote control: '%s' is in the way.", path);
            return -1;
        }
        if (another_xq_listens(address)) {
            close(fd);
            std::snprintf(message, size, "Another xq has the remote control: this one runs without it.");
            return -1;
        }
        unlink(path);
        result = bind_private(fd, address);
    }
    struct stat info;
    if (result != 0 || chmod(path, S_IRUSR | S_IWUSR) != 0 || listen(fd, kListenBacklog) != 0 ||
        lstat(path, &info) != 0) {
        std::snprintf(message, size, "No remote control: '%s': %s.", path, std::strerror(errno));
        if (result == 0) unlink(path);
        close(fd);
        return -1;
    }
    remote.listen_fd = fd;
    remote.socket_dev = info.st_dev;
    remote.socket_ino = info.st_ino;
    std::snprintf(remote.socket_path, sizeof remote.socket_path, "%s", path);
    return 0;
}

void close_remote_control() {
    for (RemoteClient &c : remote.clients) drop(c);
    if (remote.listen_fd < 0) return;
    close(remote.listen_fd);
    remote.listen_fd = -1;
    // Only our own socket: another xq may have made its own since.
    struct stat info;
    if (lstat(remote.socket_path, &info) == 0 && info.st_dev == remote.socket_dev && info.st_ino == remote.socket_ino)
        unlink(remote.socket_path);
}

void act_on_remote_commands() {
    if (remote.listen_fd < 0) return;
    accept_clients();
    ++remote.acting_depth;
    RemoteClient c;
    for (int n = 0; n < kMaxRemoteClients && next_request(c); ++n) {
        RemoteRequest r;
        if (parse(c, r)) carry_out(r, c.fd);
    }
    --remote.acting_depth;
    // A client that sends nothing is dropped once its time is up.
    for (const RemoteClient &waiting : remote.clients)
        if (waiting.fd >= 0) wake_at_ms(waiting.since_ms + kRemoteClientPatienceMs + 1);
}

int remote_control_fds(pollfd *fds, int room) {
    int count = 0;
    if (remote.listen_fd >= 0 && count < room) fds[count++] = {remote.listen_fd, POLLIN, 0};
    for (const RemoteClient &c : remote.clients)
        if (c.fd >= 0 && count < room) fds[count++] = {c.fd, POLLIN, 0};
    return count;
}
