// The idle step that every key loop runs after each key or timeout: it
// carries out pending quit requests, redraws the live parts of the main
// screen and keeps the sound driver fed, so playback never stops while a
// panel is open.
#pragma once

// Canonical step: when a module is loaded and playing, redraw the channel
// table and the status row, compose the panels, update the terminal and feed
// the player.
void live_refresh();

// The mover's and monitors' step: when a module is playing, redraw the
// channel table and the status row and feed the player; then compose the
// panels and update the terminal in every case.
void refresh_then_compose();
