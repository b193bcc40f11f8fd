#include "1_player/player_thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <utility>
#include <vector>

#include "1_player/clock.h"

namespace {

struct Command {
    std::function<void()> run;
    bool *done = nullptr;  // set for a player_call, which waits on it
};

// Held by pointer: a static std::thread still running at exit would end
// the program in std::terminate.
std::thread *sound_thread = nullptr;
std::atomic<bool> running{false};

// The commands sent and not yet run, and the thread's request to end.
std::mutex queue_mutex;
std::condition_variable queue_changed;  // a command was sent, or one ran
std::vector<Command> queue;
bool stopping = false;
bool finished = false;  // the thread's loop has returned
// The thread did not end when asked and still holds the library: nothing
// may call the library any more, so commands are dropped and the screens
// keep the last snapshot.
bool abandoned = false;
void (*wait_step)() = nullptr;
unsigned long long sent = 0;     // commands sent (main path)
unsigned long long applied = 0;  // commands run (thread)

// The latest snapshot, handed over under its own lock, which either side
// holds only for a copy.
std::mutex view_mutex;
PlayerView latest;
bool latest_fresh = false;
// The screens took the last snapshot: the next is worth taking. A thread
// whose screens are held up (a stalled terminal) takes none meanwhile.
std::atomic<bool> wanted{true};
// Until when the voices are wanted, on the monotonic clock.
std::atomic<long long> voices_wanted_until_ns{0};
constexpr long long kVoicesWantedNs = 500'000'000;

// The screens' copy.
PlayerView shown;
unsigned long long shown_applied = 0;

void run_inline(const std::function<void()> &command) {
    if (!abandoned) command();
    ++applied;
    ++sent;
}

}  // namespace

int start_player_thread(void (*loop)()) {
    if (running) return 0;
    {
        std::lock_guard<std::mutex> lock(queue_mutex);
        stopping = false;
    }
    sigset_t all;
    sigset_t old;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &old);
    finished = false;
    try {
        sound_thread = new std::thread([loop] {
            loop();
            std::lock_guard<std::mutex> lock(queue_mutex);
            finished = true;
            queue_changed.notify_all();
        });
    } catch (...) {
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        return -1;
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    running = true;
    return 0;
}

bool stop_player_thread() {
    if (!running) return true;
    bool ended = false;
    {
        std::unique_lock<std::mutex> lock(queue_mutex);
        stopping = true;
        queue_changed.notify_all();
        ended = queue_changed.wait_for(lock, std::chrono::milliseconds(kStopWaitMs), [] { return finished; });
    }
    running = false;
    if (!ended) {
        // Held in a write that does not end (a sound server that froze): the
        // thread keeps the library, and the program ends without it.
        sound_thread->detach();
        abandoned = true;
        return false;
    }
    sound_thread->join();
    delete sound_thread;
    sound_thread = nullptr;
    // Whatever was still queued runs now, on this path, so no caller waits
    // for ever and no command is lost.
    std::vector<Command> left;
    {
        std::lock_guard<std::mutex> lock(queue_mutex);
        left.swap(queue);
    }
    for (Command &c : left) {
        c.run();
        ++applied;
        if (c.done) *c.done = true;
    }
    return true;
}

bool player_thread_running() { return running; }

void set_player_wait_step(void (*step)()) { wait_step = step; }

void player_post(std::function<void()> command) {
    if (!running) {
        run_inline(command);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(queue_mutex);
        queue.push_back({std::move(command), nullptr});
        ++sent;
    }
    queue_changed.notify_all();
}

void player_call(const std::function<void()> &command) {
    if (!running) {
        run_inline(command);
        return;
    }
    bool done = false;
    {
        std::unique_lock<std::mutex> lock(queue_mutex);
        queue.push_back({command, &done});
        ++sent;
        queue_changed.notify_all();
        // In short waits, so that a quit request is acted on even while the
        // thread is held in a write.
        while (!queue_changed.wait_for(lock, std::chrono::milliseconds(kCallWaitSliceMs), [&] { return done; })) {
            if (!wait_step) continue;
            lock.unlock();
            wait_step();
            lock.lock();
        }
    }
    refresh_player_view();
}

const PlayerView &player_view() {
    if (!running && !abandoned) {
        capture_player_view(shown);
        shown.applied = applied;
    }
    return shown;
}

bool refresh_player_view() {
    if (!running) {
        player_view();
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(view_mutex);
        if (latest_fresh) {
            shown = latest;
            latest_fresh = false;
        }
    }
    wanted.store(true, std::memory_order_relaxed);
    const bool news = shown.applied != shown_applied;
    shown_applied = shown.applied;
    return news;
}

bool player_view_caught_up() {
    std::lock_guard<std::mutex> lock(queue_mutex);
    return !running || shown.applied >= sent;
}

int run_player_commands(PlayerView &view) {
    std::vector<Command> batch;
    {
        std::lock_guard<std::mutex> lock(queue_mutex);
        if (queue.empty()) return 0;
        batch.swap(queue);
    }
    for (Command &c : batch) c.run();
    {
        std::lock_guard<std::mutex> lock(queue_mutex);
        applied += batch.size();
    }
    // A caller that waited sees the snapshot with its command's effect.
    capture_player_view(view, player_voices_wanted());
    publish_player_view(view);
    {
        std::lock_guard<std::mutex> lock(queue_mutex);
        for (Command &c : batch)
            if (c.done) *c.done = true;
    }
    queue_changed.notify_all();
    return static_cast<int>(batch.size());
}

void publish_player_view(PlayerView &view) {
    {
        std::lock_guard<std::mutex> lock(queue_mutex);
        view.applied = applied;
    }
    std::lock_guard<std::mutex> lock(view_mutex);
    latest = view;
    latest_fresh = true;
    wanted.store(false, std::memory_order_relaxed);
}

void want_player_voices() {
    voices_wanted_until_ns.store(monotonic_ns() + kVoicesWantedNs, std::memory_order_relaxed);
}

bool player_voices_wanted() { return monotonic_ns() < voices_wanted_until_ns.load(std::memory_order_relaxed); }

bool player_view_wanted() { return wanted.load(std::memory_order_relaxed); }

void wait_for_player_command(long long ns) {
    std::unique_lock<std::mutex> lock(queue_mutex);
    queue_changed.wait_for(lock, std::chrono::nanoseconds(ns), [] { return stopping || !queue.empty(); });
}

bool player_thread_stopping() {
    std::lock_guard<std::mutex> lock(queue_mutex);
    return stopping;
}
