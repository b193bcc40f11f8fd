// The desktop's door: xq as a media player on the session bus (the
// interface `org.mpris.MediaPlayer2` and its `.Player`), so that media
// keys, the desktop's media widget and `playerctl` play, pause, skip and
// change the volume. The bus's descriptor is watched by the one wait of
// the loops, like the control socket; every call is carried out on the
// main path by the functions the keys call. Without a session bus, or with
// the `mpris=0` option, xq plays on without it and says nothing.
#pragma once

#include <poll.h>

// Connects to the session bus and asks for "org.mpris.MediaPlayer2.xq",
// or, when another xq has it, "org.mpris.MediaPlayer2.xq.instance<pid>".
// Never waits on the bus: the answers come through serve_mpris.
void open_mpris();

// Leaves the bus; safe to call more than once.
void close_mpris();

// The bus's descriptor for a wait (at most `room`, 0 or 1 of them), and
// the time the bus wants to be woken at, through wake_at_ms.
int mpris_fds(pollfd *fds, int room);

// The idle step's part: reads and answers what came over the bus, carries
// out the calls, and tells the desktop what changed since the last step.
void serve_mpris();

// The bus name this xq holds, or "" while it holds none.
const char *mpris_bus_name();
