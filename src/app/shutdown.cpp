#include "app/shutdown.h"

#include <cstdio>
#include <cstdlib>
#include <curses.h>
#include <mikmod.h>

#include "app/command_line.h"
#include "app/module_loader.h"
#include "app/sound_output.h"
#include "panels/mixer.h"

volatile std::sig_atomic_t quit_requested = 0;

extern "C" void quit_handler(int) { quit_requested = 1; }

void install_quit_handlers() {
    // No SA_RESTART: a key read waiting for input comes back at once.
    struct sigaction action {};
    action.sa_handler = quit_handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (int signal_number : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2}) sigaction(signal_number, &action, nullptr);
}

void act_on_signals() {
    if (quit_requested) leave_program(false);
}

void leave_program(bool clear_screen) {
    if (clear_screen) {
        wclear(stdscr);
        wrefresh(stdscr);
    }
    close_mixer();
    if (module) {
        Player_Free(module);
        module = nullptr;
    }
    stop_sound();
    endwin();
    print_version_line(stdout);
    std::fflush(stdout);
    std::exit(0);
}
