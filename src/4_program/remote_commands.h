// The commands that reach xq from outside its terminal: the control
// socket's requests and the desktop's media keys. Each is carried out by
// the very function its key calls (never as a pretended key press), on the
// main path, in an idle step.
#pragma once

#include "1_player/player_view.h"
#include "4_program/remote_request.h"

// "playing", "paused", "stopped" or "ended", as the status tells it.
const char *play_state(const PlayerView &view);

// The snapshot with every command sent so far carried out.
const PlayerView &current_view();

// Why `request` cannot be carried out now, as the answer's text ("error:
// ..."), or nullptr when it can. While a message box waits for Enter, or
// while this request is carried out inside another one, only the status
// and the quit act; while the pause holds, only play, pause and toggle
// (which end it or leave it).
const char *remote_command_refusal(const RemoteRequest &request, bool inside_another);

// Carries out `request`, which remote_command_refusal let through; not the
// status nor the quit, which their callers answer first. `volume` sets the
// asked volume at once.
void carry_out_remote_command(const RemoteRequest &request);
