#include "3_playlist/playlist_lengths.h"

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <pthread.h>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "3_playlist/playlist_store.h"

extern char **environ;

namespace {

// What the cache knows of one file, as it was when measured.
struct Measured {
    long long size = -1;
    long long changed_ns = -1;
    bool known = false;  // the first song's length was found
    long long first_ms = 0;
    int songs = 0;
};

// The longest answer read from one measure: a line per file.
constexpr std::size_t kMostAnswerBytes = 8192;

struct Lengths {
    std::mutex lock;
    std::condition_variable wanted;
    std::map<std::string, Measured> cache;
    std::deque<std::string> queue;
    std::string program;
    bool worker_started = false;
};

Lengths &lengths() {
    static Lengths *state = new Lengths;  // lives for the whole run: the worker never ends
    return *state;
}

bool file_stamp(const char *path, long long &size, long long &changed_ns) {
    struct stat info;
    if (stat(path, &info) != 0) return false;
    size = static_cast<long long>(info.st_size);
    changed_ns = static_cast<long long>(info.st_mtim.tv_sec) * 1'000'000'000LL + info.st_mtim.tv_nsec;
    return true;
}

// Runs "PROGRAM --lengths PATH" and reads its line; false when it did not
// answer with one.
bool run_measure(const std::string &program, const std::string &path, std::string &answer) {
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char> program_arg(program.begin(), program.end());
    program_arg.push_back('\0');
    std::vector<char> path_arg(path.begin(), path.end());
    path_arg.push_back('\0');
    char option[] = "--lengths";
    char *argv[] = {program_arg.data(), option, path_arg.data(), nullptr};
    pid_t child = -1;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    if (spawned != 0) {
        close(pipe_fds[0]);
        return false;
    }
    char buffer[512];
    for (;;) {
        const ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);
        if (n > 0 && answer.size() < kMostAnswerBytes) answer.append(buffer, static_cast<std::size_t>(n));
        if (n == 0 || (n < 0 && errno != EINTR)) break;
    }
    close(pipe_fds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return !answer.empty();
}

// "PATH\tMS MS ..." (or "PATH\t?") into what the cache keeps.
void read_answer(const std::string &answer, Measured &out) {
    const std::size_t tab = answer.rfind('\t');
    if (tab == std::string::npos) return;
    const char *at = answer.c_str() + tab + 1;
    while (*at && *at != '\n') {
        if (*at == ' ') {
            ++at;
            continue;
        }
        char *end = nullptr;
        const long long ms = std::strtoll(at, &end, 10);
        if (end == at) {
            if (out.songs == 0 && *at == '?') return;  // does not load
            ++out.songs;  // "-": longer than an hour
            ++at;
            continue;
        }
        if (out.songs == 0) {
            out.first_ms = ms;
            out.known = true;
        }
        ++out.songs;
        at = end;
    }
}

void measure_loop() {
    Lengths &l = lengths();
    for (;;) {
        std::string path;
        std::string program;
        {
            std::unique_lock<std::mutex> hold(l.lock);
            l.wanted.wait(hold, [&l] { return !l.queue.empty(); });
            path = l.queue.front();
            l.queue.pop_front();
            program = l.program;
        }
        Measured measured;
        if (!file_stamp(path.c_str(), measured.size, measured.changed_ns)) continue;
        {
            std::lock_guard<std::mutex> hold(l.lock);
            const auto found = l.cache.find(path);
            if (found != l.cache.end() && found->second.size == measured.size &&
                found->second.changed_ns == measured.changed_ns)
                continue;
        }
        std::string answer;
        if (run_measure(program, path, answer)) read_answer(answer, measured);
        std::lock_guard<std::mutex> hold(l.lock);
        l.cache[path] = measured;
    }
}

}  // namespace

void set_length_program(const char *path) {
    Lengths &l = lengths();
    std::lock_guard<std::mutex> hold(l.lock);
    l.program = path ? path : "";
}

void measure_playlist_lengths() {
    Lengths &l = lengths();
    std::lock_guard<std::mutex> hold(l.lock);
    if (l.program.empty()) return;
    for (int k = 0; k < playlist_count; ++k) {
        const std::string path = playlist[k].path;
        long long size = 0;
        long long changed = 0;
        const auto found = l.cache.find(path);
        if (found != l.cache.end() && file_stamp(path.c_str(), size, changed) && found->second.size == size &&
            found->second.changed_ns == changed)
            continue;
        l.queue.push_back(path);
    }
    if (!l.queue.empty() && !l.worker_started) {
        // Every signal stays with the main path, which waits for them.
        sigset_t all;
        sigset_t before;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &before);
        std::thread(measure_loop).detach();
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        l.worker_started = true;
    }
    l.wanted.notify_one();
}

bool cached_song_length(const char *path, long long &length_ms, int &songs) {
    Lengths &l = lengths();
    std::lock_guard<std::mutex> hold(l.lock);
    const auto found = l.cache.find(path);
    if (found == l.cache.end() || !found->second.known) return false;
    length_ms = found->second.first_ms;
    songs = found->second.songs;
    return true;
}

bool playlist_length_ms(std::uint64_t &total_ms) {
    Lengths &l = lengths();
    std::lock_guard<std::mutex> hold(l.lock);
    total_ms = 0;
    if (playlist_count == 0) return false;
    for (int k = 0; k < playlist_count; ++k) {
        const auto found = l.cache.find(playlist[k].path);
        if (found == l.cache.end() || !found->second.known) return false;
        total_ms += static_cast<std::uint64_t>(found->second.first_ms);
    }
    return true;
}
