#include "3_panels/event_loop.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <pthread.h>

#include "1_player/clock.h"
#include "1_player/player_thread.h"
#include "1_player/quit_request.h"

namespace {

constexpr int kMostRemoteFds = 16;

// The signals that end the program (or, SIGHUP, a terminal that is gone).
constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGQUIT, SIGUSR1, SIGUSR2, SIGHUP};

// The loops' waiting, owned by this file: the context the program set, the
// earliest time a wait must end, and what the last wait saw of the
// terminal.
struct EventLoop {
    LoopContext context;
    long long wake_ms = -1;
    bool terminal_suspect = false;
    bool signals_prepared = false;
    sigset_t quit_signals;  // blocked around the check that comes before a wait
    sigset_t wait_mask;     // the mask while waiting: every signal the program acts on comes through
};

EventLoop loop;  // this file's: see EventLoop

void fill_quit_signals(sigset_t &set) {
    sigemptyset(&set);
    for (int s : kQuitSignals) sigaddset(&set, s);
}

// Waits in ppoll over `fds` until one is ready, a signal comes or `until_ms`
// (none when negative) passes. The quit signals are blocked from the check
// of their flag to the wait, which lets them in again at once: a signal that
// came just before the wait ends it instead of being missed.
int wait_on(pollfd *fds, int count, long long until_ms) {
    sigset_t old;
    pthread_sigmask(SIG_BLOCK, &loop.quit_signals, &old);
    if (quit_requested) {
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        return 0;
    }
    timespec timeout{};
    timespec *limit = nullptr;
    if (until_ms >= 0) {
        const long long left = std::max(until_ms - monotonic_ms(), 0LL);
        timeout.tv_sec = static_cast<time_t>(left / 1000);
        timeout.tv_nsec = static_cast<long>(left % 1000 * 1'000'000);
        limit = &timeout;
    }
    sigset_t inside = old;
    if (loop.signals_prepared) inside = loop.wait_mask;
    const int ready = ppoll(fds, static_cast<nfds_t>(count), limit, &inside);
    const int saved = errno;
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = saved;
    return ready;
}

void wait_for_something() {
    const LoopContext &ctx = loop.context;
    pollfd fds[2 + kMostRemoteFds];
    int count = 0;
    fds[count++] = {ctx.terminal_fd, POLLIN, 0};
    const int player = player_wake_fd();
    if (player >= 0) fds[count++] = {player, POLLIN, 0};
    if (ctx.remote_fds) count += std::clamp(ctx.remote_fds(fds + count, kMostRemoteFds), 0, kMostRemoteFds);
    const long long until = loop.wake_ms;
    loop.wake_ms = -1;
    const int ready = wait_on(fds, count, until);
    if (ready > 0 && fds[0].revents) loop.terminal_suspect = true;
}

}  // namespace

void set_loop_context(const LoopContext &context) { loop.context = context; }

const LoopContext &loop_context() { return loop.context; }

void wake_at_ms(long long ms) {
    if (loop.wake_ms < 0 || ms < loop.wake_ms) loop.wake_ms = ms;
}

int next_key(WINDOW *win) {
    int key = wgetch(win);
    // Without a terminal (the unit tests' scripted keys) a read that finds
    // nothing stands for a wait that ended without a key.
    if (key != ERR || loop.context.terminal_fd < 0) return key;
    loop.terminal_suspect = false;
    wait_for_something();
    key = wgetch(win);
    // The terminal was readable and yet gave no key: it may have ended.
    if (key != ERR) loop.terminal_suspect = false;
    return key;
}

void hold_for_ms(long long ms) {
    // Counted in nanoseconds: a deadline in whole milliseconds would lose
    // up to one of them to the rounding of the start.
    const long long until_ns = monotonic_ns() + ms * 1'000'000;
    for (;;) {
        if (quit_requested) return;
        if (monotonic_ns() >= until_ns) return;
        wait_on(nullptr, 0, (until_ns + 999'999) / 1'000'000);
    }
}

bool terminal_input_suspect() { return loop.terminal_suspect; }

void prepare_wait_signals() {
    fill_quit_signals(loop.quit_signals);
    sigset_t winch;
    sigemptyset(&winch);
    sigaddset(&winch, SIGWINCH);
    sigset_t now;
    pthread_sigmask(SIG_BLOCK, &winch, &now);
    loop.wait_mask = now;
    sigdelset(&loop.wait_mask, SIGWINCH);
    for (int s : kQuitSignals) sigdelset(&loop.wait_mask, s);
    loop.signals_prepared = true;
}
