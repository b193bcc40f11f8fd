#include "4_program/shutdown.h"

#include <cstdio>
#include <cstdlib>
#include <curses.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "1_player/mixer.h"
#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "1_player/sound_output.h"
#include "3_panels/event_loop.h"
#include "4_program/command_line.h"
#include "4_program/mpris.h"
#include "4_program/remote_control.h"
#include "4_program/resume.h"

extern "C" void quit_handler(int) { quit_requested = 1; }

void install_quit_handlers() {
    // No SA_RESTART: a key read waiting for input comes back at once.
    struct sigaction action {};
    action.sa_handler = quit_handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (int signal_number : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2, SIGQUIT}) sigaction(signal_number, &action, nullptr);
    // A hangup that was ignored when the program started (nohup) stays
    // ignored; the terminal's end is then seen on its input.
    struct sigaction hangup {};
    if (sigaction(SIGHUP, nullptr, &hangup) == 0 && hangup.sa_handler != SIG_IGN) sigaction(SIGHUP, &action, nullptr);
    ignore_write_signals();
}

void ignore_write_signals() {
    // A write to a closed pipe or past the file size limit fails with an
    // error the writer reports, instead of killing the player.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (int signal_number : {SIGPIPE, SIGXFSZ}) sigaction(signal_number, &ignore, nullptr);
}

bool terminal_input_gone(int fd) {
    pollfd input{fd, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0) return false;
    if (input.revents & (POLLERR | POLLNVAL)) return true;
    if (!(input.revents & (POLLIN | POLLHUP))) return false;
    // Readable (or hung up) with nothing left to read: end of file, or an
    // error to come. Keys typed before a hangup are still read.
    int pending = 0;
    return ioctl(fd, FIONREAD, &pending) != 0 || pending == 0;
}

namespace {
int watched_input = -1;  // the terminal's input, once start-up set it up; the main path's
}  // namespace

void watch_terminal_input(int fd) { watched_input = fd; }

void act_on_signals() {
    // The terminal is looked at only when the last wait found it readable
    // without a key in it, or hung up.
    const bool gone = watched_input >= 0 && terminal_input_suspect() && terminal_input_gone(watched_input);
    if (quit_requested || gone) leave_program(false);
}

namespace {

[[noreturn]] void end_program(bool clear_screen, const char *error) {
    close_remote_control();
    close_mpris();
    if (clear_screen) {
        wclear(stdscr);
        wrefresh(stdscr);
    }
    close_mixer();
    // The sound thread ends first: from then on the library is this path's,
    // unless the thread is held in a write that never ends.
    const bool library_back = stop_player_thread();
    // What played is kept for --resume; a start that played nothing keeps
    // the last one.
    char resume_message[2 * kPathCapacity] = "";
    const int resumed = error ? 0 : save_resume(resume_message, sizeof resume_message);
    if (library_back) {
        player_unload();
        stop_sound();
    }
    endwin();
    print_version_line(stdout);
    std::fflush(stdout);
    if (resumed != 0) std::fprintf(stderr, "XQ: %s\n", resume_message);
    if (error) std::fputs(error, stderr);
    const int status = error ? kFailedStartStatus : 0;
    if (!library_back) {
        // The thread left in its write still uses the command queue, its
        // locks and the module's bytes: nothing may be destroyed under it,
        // so the program leaves without running a destructor.
        std::fflush(stderr);
        _exit(status);
    }
    std::exit(status);
}

}  // namespace

void leave_program(bool clear_screen) { end_program(clear_screen, nullptr); }

void leave_after_failed_start(const char *error) { end_program(false, error); }
