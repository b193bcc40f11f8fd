// Start-up: from the command line to the first module playing.
#pragma once

#include <curses.h>
#include <panel.h>

#include "1_player/settings.h"

// What standard error says when no module of the command line could be
// played: "XQ: Can't load 'path': reason" for the last file that failed,
// and with `tried` above 1 "XQ: None of the N modules could be played.".
struct FailedStartText {
    char text[3 * kPathCapacity];
};
FailedStartText failed_start_text(int tried);

// The whole program: start-up, the main loop, the exit. Returns the exit
// status for the cases that end before the terminal is set up.
int xq_main(int argc, char **argv);
