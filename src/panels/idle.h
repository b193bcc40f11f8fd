// The idle step that every key loop runs after each key or timeout: it
// carries out pending quit requests, redraws the live parts of the main
// screen and keeps the sound driver fed, so playback never stops while a
// panel is open.
#pragma once

// The live screen is redrawn at most this often: the sound is fed on every
// step, but faster redraws would only add terminal traffic (which matters
// over a remote connection) and CPU time, not anything the eye can follow.
inline constexpr long long kFrameIntervalMs = 100;

// When a module is loaded and playing: redraw the channel table and the
// status row (when a frame is due), compose the panels, update the terminal
// and feed the player. Nothing else happens while nothing plays. Used by the
// main loop and by every panel's key loop but the two below.
void live_refresh();

// The panel mover's step (and the voice monitors'): as live_refresh, but the
// panels are composed and the terminal updated even while nothing plays, so
// a moved panel is seen at once.
void refresh_then_compose();
