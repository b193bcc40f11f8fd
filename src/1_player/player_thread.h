// The sound thread: while it runs it owns the sound library. It mixes and
// writes the sound, and between two writes it carries out the commands the
// screens sent and takes a new snapshot of what they show. The screens
// never call the library themselves while it runs, so no key loop, screen
// write, directory read or message box ever holds the sound up, and the
// screens never wait on a write.
//
// The thread wakes the screens through a descriptor they wait on (with the
// terminal and the rest) whenever it publishes something they show: a
// frame while the song moves (one every frame interval, and only then), a
// command carried out, a module loaded, a song that ended, an output lost
// or back. While nothing moves it publishes nothing, and the screens sleep.
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

// How often a caller waiting in player_call looks at the quit request.
inline constexpr int kCallWaitSliceMs = 40;

bool player_thread_running();

// Queues `command` for the thread and returns at once. Commands run in the
// order they were sent, each with the library to itself.
void player_post(std::function<void()> command);

// Runs `command` on the thread and waits until it has run; the snapshot is
// then taken afresh. Returns false, with the command not run, when a quit
// was requested before the thread took it (a thread held in a write that
// does not end never holds the program), or the thread was left to such a
// write.
bool player_call(const std::function<void()> &command);

// The screens' side.
// The screens' copy of the snapshot, as of the last refresh_player_view().
const PlayerView &player_view();

// Takes the thread's latest snapshot as the screens' copy, if a new one
// came. Returns true when it did.
bool refresh_player_view();

// True when every command sent so far shows in the screens' copy.
bool player_view_caught_up();

// The descriptor the thread makes readable when it publishes a snapshot;
// -1 without the thread. The screens wait on it; refresh_player_view()
// empties it.
int player_wake_fd();

// How long the song may move before the screens get a new frame: the
// thread publishes one at that pace while a module plays, and none while
// nothing moves.
void set_player_frame_interval_ms(long long ms);

// Asks for the voices in the snapshots to come (`hold`), or gives the ask
// up: only the voice monitors show them, so the thread reads them only
// while one is open. Asks add up. The copy in hand may not hold them yet.
void hold_player_voices(bool hold);

// The thread's side.
// Whether the voices are wanted now (the screens' side may ask too).
bool player_voices_wanted();

// Carries out the queued commands, then, when any ran, takes and publishes
// a new snapshot (through `capture`) before a caller that waits goes on;
// returns how many ran.
int run_player_commands(PlayerView &view, void (*capture)(PlayerView &));

// Makes `view` the latest snapshot (with the count of commands carried out)
// and wakes the screens.
void publish_player_view(PlayerView &view);

// True when a frame is due at `now_ns`: the song moved for a frame interval
// (less half of `step_ns`, the sound one write mixes, so frames fall on the
// writes nearest to the interval) and the screens took the last snapshot.
// Counts the frame as published.
bool player_frame_due(long long now_ns, long long step_ns);

// Waits until a command is sent, the thread is asked to end, `ready`
// (when given) returns true, or `deadline_ns` on the monotonic clock
// passes (never, when negative).
void wait_for_player_command(long long deadline_ns, bool (*ready)() = nullptr);

// Wakes a wait_for_player_command from any thread (the sound output, when
// it can take more sound).
void wake_player_thread();

// True once stop_player_thread asked the loop to end.
bool player_thread_stopping();
