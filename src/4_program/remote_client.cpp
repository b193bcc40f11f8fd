#include "4_program/remote_client.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "1_player/clock.h"
#include "1_player/private_folder.h"
#include "2_screen/commands.h"
#include "4_program/remote_request.h"
#include "1_player/settings.h"

namespace {

constexpr int kFailure = 1;

// The words as one request line; -1 when they do not fit.
int join_words(int count, char *const *words, char (&line)[kMaxRemoteRequest]) {
    std::size_t length = 0;
    line[0] = '\0';
    for (int i = 0; i < count; ++i) {
        const std::size_t n = std::strlen(words[i]);
        if (length + n + 2 > sizeof line) return -1;
        if (i > 0) line[length++] = ' ';
        std::memcpy(line + length, words[i], n);
        length += n;
    }
    line[length++] = '\n';
    line[length] = '\0';
    return 0;
}

bool send_all(int fd, const char *text, std::size_t length) {
    while (length > 0) {
        const ssize_t n = send(fd, text, length, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

// Reads the answer until xq closes the connection, for at most
// kRemoteAnswerWaitMs. Returns its length, or -1 when none came in time.
long read_answer(int fd, char *out, std::size_t size) {
    std::size_t length = 0;
    const long long deadline = monotonic_ms() + kRemoteAnswerWaitMs;
    for (;;) {
        const long long left = deadline - monotonic_ms();
        if (left <= 0) return -1;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return -1;
        const ssize_t n = recv(fd, out + length, size - 1 - length, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || length + static_cast<std::size_t>(n) >= size - 1) {
            if (n > 0) length += static_cast<std::size_t>(n);
            out[length] = '\0';
            return static_cast<long>(length);
        }
        length += static_cast<std::size_t>(n);
    }
}

bool served_by_this_user(int fd) {
    if (geteuid() == 0) return true;
    ucred peer{};
    socklen_t size = sizeof peer;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == geteuid();
}

}  // namespace

int remote_main(int count, char *const *words, FILE *out, FILE *errors) {
    char line[kMaxRemoteRequest];
    if (count < 1) {
        std::fprintf(errors, "error: --remote needs a command: %s\n", outside_command_list().c_str());
        return kFailure;
    }
    char error[128];
    RemoteRequest request;
    if (join_words(count, words, line) != 0) {
        std::fputs("error: the request is too long\n", errors);
        return kFailure;
    }
    if (parse_remote_request(line, std::strlen(line), request, error, sizeof error) != 0) {
        std::fprintf(errors, "%s\n", error);
        return kFailure;
    }
    // Where the running xq made its socket; then, when that passed the
    // runtime directory over, the runtime directory itself, where an xq of
    // another user (that root may reach) has its socket.
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    const char *usable = usable_runtime_dir(runtime);
    sockaddr_un addresses[2]{};
    int places = 0;
    if (remote_socket_path(usable, std::getenv("HOME"), addresses[places].sun_path,
                           sizeof addresses[places].sun_path) == 0)
        ++places;
    if (!usable && runtime && runtime[0] &&
        remote_socket_path(runtime, nullptr, addresses[places].sun_path, sizeof addresses[places].sun_path) == 0)
        ++places;
    int fd = -1;
    const sockaddr_un *reached = nullptr;
    for (int i = 0; i < places && fd < 0; ++i) {
        addresses[i].sun_family = AF_UNIX;
        fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            std::fprintf(errors, "error: %s\n", std::strerror(errno));
            return kFailure;
        }
        if (connect(fd, reinterpret_cast<const sockaddr *>(&addresses[i]), sizeof addresses[i]) == 0) {
            reached = &addresses[i];
            break;
        }
        const int why = errno;
        close(fd);
        fd = -1;
        if (why != ENOENT && why != ECONNREFUSED && why != ENOTDIR) {
            std::fprintf(errors, "error: can't reach xq at '%s': %s\n", addresses[i].sun_path, std::strerror(why));
            return kFailure;
        }
    }
    if (fd < 0) {
        std::fputs("xq is not running\n", errors);
        return kFailure;
    }
    // Only an xq of this user's is told anything (root may reach anyone's,
    // which then answers for itself).
    if (!served_by_this_user(fd)) {
        close(fd);
        std::fprintf(errors, "error: '%s' is another user's socket, not an xq of yours\n", reached->sun_path);
        return kFailure;
    }
    char answer[kMaxRemoteReply];
    // An xq that refuses the request at once may close before it is all
    // sent; its answer is read all the same.
    send_all(fd, line, std::strlen(line));
    shutdown(fd, SHUT_WR);
    const long length = read_answer(fd, answer, sizeof answer);
    close(fd);
    if (length <= 0) {
        std::fputs("error: xq did not answer\n", errors);
        return kFailure;
    }
    if (std::strncmp(answer, "error", 5) == 0) {
        std::fputs(answer, errors);
        return kFailure;
    }
    std::fputs(answer, out);
    return 0;
}
