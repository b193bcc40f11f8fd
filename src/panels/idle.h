// The idle step that every key loop runs after each key or timeout: it
// carries out pending quit requests, redraws the live parts of the main
// screen and keeps the sound driver fed, so playback never stops while a
// panel is open.
#pragma once

// The live screen is redrawn at most this often: the sound is fed on every
// step, but faster redraws would only add terminal traffic (which matters
// over a remote connection) and CPU time, not anything the eye can follow.
inline constexpr long long kFrameIntervalMs = 100;

// True when a redraw of the live screen is due (and counts it as done).
bool frame_due();

// Canonical step: when a module is loaded and playing, redraw the channel
// table and the status row, compose the panels, update the terminal and feed
// the player. Used by the main loop, message boxes, About, the playlist
// panel, the file selector's list, the line editor and number editors.
void live_refresh();

// The variants some panels use. They differ in what they require before
// drawing and in whether the panels are composed when nothing plays.
enum class IdleStep {
    // Comment panel: the canonical step whenever playback runs.
    comment,
    // File selector buttons: table, status row, terminal update, panels,
    // player.
    selector_buttons,
    // Panel mover, All channels and All voices monitors, effects panel,
    // options list: table, status row and player when a module plays; then
    // the panels are composed and the terminal updated in every case.
    compose_always,
    // Voices position and frequency monitors: as compose_always, but the
    // live part needs only playback to run.
    monitor,
    // Help panel: table, status row, player, panels, terminal; nothing at
    // all when no module plays.
    help,
    // Instruments and Samples panels: status row, table, panels, terminal,
    // player.
    browser,
};

void idle_step(IdleStep step);

// The mover's step (IdleStep::compose_always).
void refresh_then_compose();
