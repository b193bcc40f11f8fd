#include "1_player/player_thread.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <pthread.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "1_player/clock.h"
#include "1_player/quit_request.h"

namespace {

struct Command {
    std::function<void()> run;
    bool *done = nullptr;  // set for a player_call, which waits on it
};

// Everything the screens and the sound thread share, owned by this file:
// the commands on their way, the latest snapshot, the wake descriptor and
// the pace of the frames. Each part is guarded as its comment says.
struct PlayerLink {
    // Held by pointer: a static std::thread still running at exit would
    // end the program in std::terminate.
    std::thread *thread = nullptr;
    std::atomic<bool> running{false};

    // Under queue_mutex: the commands sent and not yet run, the requests
    // to end, and the counts.
    std::mutex queue_mutex;
    std::condition_variable queue_changed;  // a command was sent, one ran, or the output woke the thread
    std::vector<Command> queue;
    bool stopping = false;
    bool finished = false;  // the thread's loop has returned
    bool woken = false;     // wake_player_thread was called since the last wait
    // The thread did not end when asked and still holds the library:
    // nothing may call the library any more, so commands are dropped and
    // the screens keep the last snapshot.
    bool abandoned = false;
    unsigned long long sent = 0;     // commands sent (main path)
    unsigned long long applied = 0;  // commands run (thread)

    // Under view_mutex, which either side holds only for a copy.
    std::mutex view_mutex;
    PlayerView latest;
    bool latest_fresh = false;

    // The screens took the last snapshot: the next frame is worth taking.
    // A thread whose screens are held up (a stalled terminal) takes none
    // meanwhile.
    std::atomic<bool> wanted{true};
    // The descriptor the screens wait on, and whether it is readable now.
    int wake_fd = -1;
    std::atomic<bool> wake_pending{false};
    std::atomic<long long> frame_interval_ns{100'000'000};
    long long last_frame_ns = 0;  // the thread's own
    // How many screens want the voices in the snapshots.
    std::atomic<int> voices_wanted{0};

    // The screens' copy.
    PlayerView shown;
};

PlayerLink shared;  // this file's: see PlayerLink


void run_inline(const std::function<void()> &command) {
    if (!shared.abandoned) command();
    ++shared.applied;
    ++shared.sent;
}

void signal_screens() {
    if (shared.wake_fd < 0 || shared.wake_pending.exchange(true)) return;
    const std::uint64_t one = 1;
    while (write(shared.wake_fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

}  // namespace

int start_player_thread(void (*loop)()) {
    if (shared.running) return 0;
    {
        std::lock_guard<std::mutex> lock(shared.queue_mutex);
        shared.stopping = false;
        shared.finished = false;
    }
    if (shared.wake_fd < 0) shared.wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (shared.wake_fd < 0) return -1;
    sigset_t all;
    sigset_t old;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &old);
    try {
        shared.thread = new std::thread([loop] {
            loop();
            std::lock_guard<std::mutex> lock(shared.queue_mutex);
            shared.finished = true;
            shared.queue_changed.notify_all();
        });
    } catch (...) {
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        return -1;
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    shared.running = true;
    return 0;
}

bool stop_player_thread() {
    if (!shared.running) return true;
    bool ended = false;
    {
        std::unique_lock<std::mutex> lock(shared.queue_mutex);
        shared.stopping = true;
        shared.queue_changed.notify_all();
        ended = shared.queue_changed.wait_for(lock, std::chrono::milliseconds(kStopWaitMs),
                                            [] { return shared.finished; });
    }
    shared.running = false;
    if (!ended) {
        // Held in a write that does not end (a sound server that froze): the
        // thread keeps the library, and the program ends without it.
        shared.thread->detach();
        shared.abandoned = true;
        return false;
    }
    shared.thread->join();
    delete shared.thread;
    shared.thread = nullptr;
    // Whatever was still queued runs now, on this path, so no caller waits
    // for ever and no command is lost.
    std::vector<Command> left;
    {
        std::lock_guard<std::mutex> lock(shared.queue_mutex);
        left.swap(shared.queue);
    }
    for (Command &c : left) {
        c.run();
        ++shared.applied;
        if (c.done) *c.done = true;
    }
    return true;
}

bool player_thread_running() { return shared.running; }

void player_post(std::function<void()> command) {
    if (!shared.running) {
        run_inline(command);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(shared.queue_mutex);
        shared.queue.push_back({std::move(command), nullptr});
        ++shared.sent;
    }
    shared.queue_changed.notify_all();
}

bool player_call(const std::function<void()> &command) {
    if (!shared.running) {
        if (shared.abandoned) return false;
        run_inline(command);
        return true;
    }
    bool done = false;
    {
        std::unique_lock<std::mutex> lock(shared.queue_mutex);
        shared.queue.push_back({command, &done});
        ++shared.sent;
        shared.queue_changed.notify_all();
        // In slices, so that a quit request is acted on even while the
        // thread is held in a write: a command it has not taken yet is
        // withdrawn (it may point at the caller's variables), and the caller
        // goes on without it. One the thread is carrying out is waited for:
        // the player's own waits are all bounded.
        while (!shared.queue_changed.wait_for(lock, std::chrono::milliseconds(kCallWaitSliceMs), [&] { return done; })) {
            if (!quit_requested) continue;
            for (Command &c : shared.queue) {
                if (c.done != &done) continue;
                c = Command{[] {}, nullptr};
                return false;
            }
        }
    }
    refresh_player_view();
    return true;
}

const PlayerView &player_view() {
    if (!shared.running && !shared.abandoned) {
        capture_player_view(shared.shown);
        shared.shown.applied = shared.applied;
        ++shared.shown.number;
    }
    return shared.shown;
}

bool refresh_player_view() {
    if (!shared.running) {
        player_view();
        return false;
    }
    if (shared.wake_pending.exchange(false)) {
        std::uint64_t count;
        while (read(shared.wake_fd, &count, sizeof count) < 0 && errno == EINTR) {
        }
    }
    bool fresh = false;
    {
        std::lock_guard<std::mutex> lock(shared.view_mutex);
        if (shared.latest_fresh) {
            shared.shown = shared.latest;
            shared.latest_fresh = false;
            fresh = true;
        }
    }
    shared.wanted.store(true, std::memory_order_relaxed);
    return fresh;
}

bool player_view_caught_up() {
    std::lock_guard<std::mutex> lock(shared.queue_mutex);
    return !shared.running || shared.shown.applied >= shared.sent;
}

int player_wake_fd() { return shared.running ? shared.wake_fd : -1; }

void set_player_frame_interval_ms(long long ms) {
    shared.frame_interval_ns.store(ms * 1'000'000LL, std::memory_order_relaxed);
}

void hold_player_voices(bool hold) { shared.voices_wanted.fetch_add(hold ? 1 : -1, std::memory_order_relaxed); }

bool player_voices_wanted() { return shared.voices_wanted.load(std::memory_order_relaxed) > 0; }

int run_player_commands(PlayerView &view, void (*capture)(PlayerView &)) {
    std::vector<Command> batch;
    {
        std::lock_guard<std::mutex> lock(shared.queue_mutex);
        if (shared.queue.empty()) return 0;
        batch.swap(shared.queue);
    }
    for (Command &c : batch) c.run();
    {
        std::lock_guard<std::mutex> lock(shared.queue_mutex);
        shared.applied += batch.size();
    }
    // A caller that waited sees the snapshot with its command's effect.
    capture(view);
    publish_player_view(view);
    {
        std::lock_guard<std::mutex> lock(shared.queue_mutex);
        for (Command &c : batch)
            if (c.done) *c.done = true;
    }
    shared.queue_changed.notify_all();
    return static_cast<int>(batch.size());
}

void publish_player_view(PlayerView &view) {
    {
        std::lock_guard<std::mutex> lock(shared.queue_mutex);
        view.applied = shared.applied;
    }
    ++view.number;
    {
        std::lock_guard<std::mutex> lock(shared.view_mutex);
        shared.latest = view;
        shared.latest_fresh = true;
    }
    shared.wanted.store(false, std::memory_order_relaxed);
    signal_screens();
}

bool player_frame_due(long long now_ns, long long step_ns) {
    if (!shared.wanted.load(std::memory_order_relaxed)) return false;
    const long long interval = shared.frame_interval_ns.load(std::memory_order_relaxed);
    if (now_ns - shared.last_frame_ns < interval - step_ns / 2) return false;
    shared.last_frame_ns = now_ns;
    return true;
}

void wait_for_player_command(long long deadline_ns, bool (*ready)()) {
    std::unique_lock<std::mutex> lock(shared.queue_mutex);
    auto woken = [ready] { return shared.stopping || !shared.queue.empty() || shared.woken || (ready && ready()); };
    if (deadline_ns < 0) {
        shared.queue_changed.wait(lock, woken);
    } else {
        const long long left = deadline_ns - monotonic_ns();
        if (left > 0) shared.queue_changed.wait_for(lock, std::chrono::nanoseconds(left), woken);
    }
    shared.woken = false;
}

void wake_player_thread() {
    {
        std::lock_guard<std::mutex> lock(shared.queue_mutex);
        shared.woken = true;
    }
    shared.queue_changed.notify_all();
}

bool player_thread_stopping() {
    std::lock_guard<std::mutex> lock(shared.queue_mutex);
    return shared.stopping;
}
