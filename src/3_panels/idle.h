// The idle step that every key loop runs after each key or wake-up: it
// carries out pending quit requests, the playlist's step and remote
// commands, takes the player's snapshot and redraws the live parts of the
// main screen from it, so the screen follows the music while a panel is
// open, and it shows what the player's state calls for: the "Paused..."
// notice, the end of the song, a lost output.
#pragma once

#include <functional>

// The live screen is redrawn every refresh_delay milliseconds, but never
// more often than this: faster redraws would only add terminal traffic
// (which matters over a remote connection) and CPU time, not anything the
// eye can follow.
inline constexpr long long kFrameIntervalMs = 100;

// Milliseconds between two frames of the live screen: refresh_delay, at
// least kFrameIntervalMs. The player publishes its frames at this pace.
long long frame_interval_ms(int delay);

// Tells the player the pace of the frames after refresh_delay changed.
void follow_refresh_delay();

// Asks for the live screen to be redrawn at the next step that is at least
// kFrameIntervalMs after the last redraw, once the player shows what the
// commands sent so far did: a key that changes what the status row shows
// is seen at once.
void request_frame();

// The idle step. `live_step`, when given, runs right after the player's
// snapshot is taken afresh and before anything is drawn, so a panel that
// follows the music draws from the same snapshot as the status row. While
// a module plays: redraws the channel table and the status row when a
// frame is due, marks the end of a song that does not wrap round on the
// title row, keeps a red box on screen while the sound output is lost.
// Then composes the panels and updates the terminal when anything changed.
void idle_step(const std::function<void()> &live_step = {});

// True while the player is paused: every key but `p` is then dropped, as
// the "Paused..." notice says.
bool keys_held_by_pause();

// The text shown on the title row once the song has ended, and where.
inline constexpr const char *kSongEndedText = " End of song: p or A plays it again ";
inline constexpr int kSongEndedColumn = 16;
