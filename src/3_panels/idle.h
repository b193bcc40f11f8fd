// The idle step that every key loop runs after each key or timeout: it
// carries out pending quit requests and remote commands, takes the
// player's snapshot and redraws the live parts of the main screen from it,
// so the screen follows the music while a panel is open.
#pragma once

#include <functional>

// The live screen is redrawn every refresh_delay milliseconds, but never
// more often than this: the sound is fed on every step, and faster redraws
// would only add terminal traffic (which matters over a remote connection)
// and CPU time, not anything the eye can follow.
inline constexpr long long kFrameIntervalMs = 100;

// Milliseconds between two redraws of the live screen while no key is
// pressed: refresh_delay, at least kFrameIntervalMs.
long long frame_interval_ms(int delay);

// Asks for the live screen to be redrawn at the next step that is at least
// kFrameIntervalMs after the last redraw, whatever refresh_delay is: a key
// that changes what the status row shows is seen at once.
void request_frame();

// What every idle step carries out for requests that do not come from the
// keys: the quit signals' (set with the quit handlers) and the remote
// control's (set once its socket listens). Until they are set, nothing.
void set_signal_step(void (*step)());
// The playlist's tick, which moves on to the next entry once a song ends:
// set by the playlist itself, which stands above the idle step.
void set_playlist_step(void (*step)());
void set_remote_steps(void (*step)(), bool (*while_paused)());
void act_on_signal_step();
// The pause's part of the remote step: true when a request ends the pause.
bool act_on_remote_step_while_paused();

// Takes the player's snapshot afresh, then, when a module is loaded and
// playing: redraws the channel table and the status row (when a frame is
// due), composes the panels and updates the terminal. The sound thread
// plays whatever the screen does. The main loop's step.
//
// Both steps also mark the end of a song that does not wrap round on the
// title row (the sound thread silences its voices), and keep a red box on
// screen while the sound output is lost.
void live_refresh();

// The panels' step (run_panel runs it after every key or timeout): as
// live_refresh, but the panels are composed and the terminal updated even
// while nothing plays, so what a key changed in a panel is seen at once.
//
// `live_step`, when given, runs right after the player's snapshot is taken
// afresh and before anything is drawn, so a panel that follows the music
// draws from the same snapshot as the status row.
void refresh_then_compose(const std::function<void()> &live_step = {});

// The text shown on the title row once the song has ended, and where.
inline constexpr const char *kSongEndedText = " End of song: p or A plays it again ";
inline constexpr int kSongEndedColumn = 16;
