// How the program ends: the orderly exit of the main loop and the quit
// signals (SIGTERM, SIGINT, SIGUSR1, SIGUSR2).
//
// The signal handler only records the request; the key loop that is
// waiting, whichever it is, carries the exit out at its next idle step,
// within refresh_delay milliseconds.
#pragma once

#include <csignal>
#include <initializer_list>

extern volatile std::sig_atomic_t quit_requested;  // a quit signal has arrived

// The handler of the quit signals.
extern "C" void quit_handler(int signal_number);

// Installs quit_handler for SIGTERM, SIGINT, SIGUSR1 and SIGUSR2, in that
// order.
void install_quit_handlers();

// Carries out what signal handlers asked for; called by every idle step.
void act_on_signals();

// Closes the mixer, frees the module, shuts the sound library down,
// restores the terminal, writes the version line to standard output and
// exits with status 0. With `clear_screen` (the user's `q`) the screen is
// cleared first.
[[noreturn]] void leave_program(bool clear_screen);
