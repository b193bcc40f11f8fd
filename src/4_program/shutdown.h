// How the program ends: the orderly exit of the main loop, the quit
// signals (SIGTERM, SIGINT, SIGUSR1, SIGUSR2, SIGQUIT, SIGHUP) and the end
// of the terminal.
//
// The signal handler only records the request; the key loop that is
// waiting, whichever it is, carries the exit out at its next idle step,
// within refresh_delay milliseconds.
#pragma once

#include <csignal>
#include <initializer_list>

#include "1_player/quit_request.h"

// The handler of the quit signals.
extern "C" void quit_handler(int signal_number);

// Installs quit_handler for SIGTERM, SIGINT, SIGUSR1, SIGUSR2, SIGQUIT
// and SIGHUP (unless the hangup was ignored at start), and ignores SIGPIPE
// and SIGXFSZ, so a failing write is reported rather than fatal.
void install_quit_handlers();

// Ignores SIGPIPE and SIGXFSZ. Called before the sound starts: the sound
// server's client library makes a large shared-memory file at once, which
// a file-size limit (ulimit -f) would otherwise answer with SIGXFSZ.
void ignore_write_signals();

// True when the terminal input `fd` has hung up, failed or reached its end
// (a key read there would come back at once with nothing, for ever).
bool terminal_input_gone(int fd);

// From now on act_on_signals ends the program once `fd`, the terminal's
// input, is gone.
void watch_terminal_input(int fd);

// Carries out what signal handlers asked for, and ends the program like a
// quit signal when its terminal is gone; called by every idle step.
void act_on_signals();

// Closes the remote control's socket, closes the mixer, writes the resume
// file (a failure is reported on standard error once the terminal is
// restored), frees the module, shuts the sound library down, restores the
// terminal, writes the version line to standard output and exits with
// status 0. With `clear_screen` (the user's `q`) the screen is cleared
// first. When the sound thread had to be left in a write that never ends,
// the library, the module and the thread's queue are left alone and the
// program ends without running destructors or atexit handlers (_exit),
// the terminal restored and the messages written all the same.
[[noreturn]] void leave_program(bool clear_screen);

// The exit status of a start that played nothing (-1 as the shell sees it).
inline constexpr int kFailedStartStatus = 255;

// Ends the program as leave_program does after a start that could play
// nothing, then, with the terminal restored, writes `error` (lines ended by
// line feeds) to standard error, and exits with kFailedStartStatus.
[[noreturn]] void leave_after_failed_start(const char *error);
