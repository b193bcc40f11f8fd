// Waiting for something to do. Every key loop of the program waits here,
// in one poll over the terminal, the player's wake descriptor, the remote
// control's sockets and the signals (which interrupt it), with a timeout
// only while something asked to be woken at a time. Nothing polls on a
// timer: while nothing moves on the screen and nobody types, the program
// sleeps.
#pragma once

#include <curses.h>
#include <poll.h>

#include "2_screen/key_table.h"

// What the loops of the panels need from the program above them, set once
// at start-up (the unit tests set their own, or none): the sources a wait
// watches besides the terminal and the player, and the steps every idle
// pass runs for them.
struct LoopContext {
    // The terminal's input; -1 (the unit tests, whose keys come from a
    // script): a wait comes back at once.
    int terminal_fd = -1;
    // Acts on the quit signals and a terminal that is gone; run first by
    // every idle step.
    void (*act_on_signals)() = nullptr;
    // The remote control: puts its descriptors into `fds` (at most `room`)
    // and returns how many; serve_remote answers what came, at every idle
    // step.
    int (*remote_fds)(pollfd *fds, int room) = nullptr;
    void (*serve_remote)() = nullptr;
    // The playlist's step, at every idle step: it moves on once a song has
    // ended.
    void (*playlist_step)() = nullptr;
    // The keys that every panel passing keys on passes to, after the command
    // keys (the playlist's `l`, `N` and `V`).
    KeyTable more_command_keys;
};

// Sets the context every loop from now on waits with.
void set_loop_context(const LoopContext &context);
const LoopContext &loop_context();

// Asks the next wait to end by `ms` on the monotonic clock (milliseconds)
// at the latest; the earliest time asked for counts. Whoever asks looks at
// the time again when its step runs, and asks again if it must.
void wake_at_ms(long long ms);

// The key waiting in `win`'s input, if one is; otherwise waits for a key,
// the player, a signal, the remote control or a time asked for, and reads
// once more. ERR when what came was not a key. `win` reads without waiting
// (its timeout is 0).
int next_key(WINDOW *win);

// Waits `ms` milliseconds in full, leaving the keys unread (a notice that
// holds the screen); comes back early for a quit request.
void hold_for_ms(long long ms);

// True when the last wait found the terminal's input hung up or failing,
// or readable with no key in it: the end of the terminal, to be checked.
bool terminal_input_suspect();

// The signals that interrupt a wait: their handlers run only inside it (or
// whenever they are not blocked, for the quit signals), so a wait never
// misses one. Blocks the resize signal outside the waits; called once the
// terminal is set up.
void prepare_wait_signals();
