// The sound thread: while it runs it owns the sound library. It mixes and
// writes the sound, blocking on the driver as long as the driver wants, and
// between two writes it carries out the commands the screens sent and takes
// a new snapshot of what they show. The screens never call the library
// themselves while it runs, so no key loop, screen write, directory read or
// message box ever holds the sound up, and the screens never wait on a
// write.
//
// Without the thread (before it starts, after it stops, in the unit tests)
// every command runs at once on the calling path and every read of the
// snapshot takes a fresh one.
#pragma once

#include <functional>

#include "1_player/player_view.h"

// Starts the thread running `loop`; every signal is blocked in it, so the
// handlers run on the main path. Returns 0, or -1 when no thread could be
// made.
int start_player_thread(void (*loop)());

// Asks the thread to end, waits for it (at most kStopWaitMs) and takes the
// library back. Returns false when the thread did not end in time: it is
// held in a write that does not end (a sound server that froze), keeps the
// library, and the caller must leave the library alone.
bool stop_player_thread();

inline constexpr int kStopWaitMs = 2000;

// What player_call runs every kCallWaitSliceMs while it waits (the quit
// requests): a thread held in a write never holds the program.
void set_player_wait_step(void (*step)());

inline constexpr int kCallWaitSliceMs = 40;

bool player_thread_running();

// Queues `command` for the thread and returns at once. Commands run in the
// order they were sent, each with the library to itself.
void player_post(std::function<void()> command);

// Runs `command` on the thread and waits until it has run (at most one
// write of the driver, about 23 ms with PulseAudio, and the command's own
// time); the snapshot is then taken afresh.
void player_call(const std::function<void()> &command);

// The screens' copy of the snapshot, as of the last refresh_player_view().
const PlayerView &player_view();

// Takes the thread's latest snapshot as the screens' copy. Returns true
// when it shows a command sent since the last refresh carried out.
bool refresh_player_view();

// Asks for the voices in the snapshots to come: only the voice monitors
// show them, so the thread reads them only while a screen asks (for about
// half a second after each ask). The copy in hand may not hold them yet.
void want_player_voices();

// The thread's side: whether the voices are wanted now.
bool player_voices_wanted();

// True when every command sent so far shows in the screens' copy.
bool player_view_caught_up();

// The thread's side: run by its loop between two writes, and while it
// waits. Carries out the queued commands, then takes and publishes a new
// snapshot in `view` before a caller that waits goes on; returns how many
// ran.
int run_player_commands(PlayerView &view);

// The thread's side: makes `view` the latest snapshot (with the count of
// commands carried out).
void publish_player_view(PlayerView &view);

// The thread's side: true when the screens have taken the last snapshot
// published, so a new one is worth taking.
bool player_view_wanted();

// The thread's side: waits up to `ns` nanoseconds, or until a command is
// sent or the thread is asked to end.
void wait_for_player_command(long long ns);

// The thread's side: true once stop_player_thread asked the loop to end.
bool player_thread_stopping();
