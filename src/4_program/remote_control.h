// The remote control: a running xq listens on a UNIX socket of its user's
// own ("$XDG_RUNTIME_DIR/xq/control" when nobody else can move things in
// that directory, else "~/.xq/control"; the socket mode 0600 in a directory
// of the user's own of mode 0700, see private_folder.h) for the one-line
// requests of `xq --remote` (remote_request.h).
//
// The loops wait on the socket and its clients with the terminal; each
// request is carried out by the idle step that follows, on the main path,
// through the very functions the keys call, and answered. A connection from another user is refused; a request is
// read in pieces as they come, at most kMaxRemoteRequest bytes; a client
// that sends too much is answered with an error and dropped, and one that
// sends nothing is dropped after kRemoteClientPatienceMs, so no client can
// hold the player up.
#pragma once

#include <cstddef>
#include <poll.h>

// How long a connected client may take to send its request.
inline constexpr long long kRemoteClientPatienceMs = 2000;

// The clients served at once; more are answered "busy" until one is done.
inline constexpr int kMaxRemoteClients = 8;

// Creates the socket. Returns 0 when listening; -1 when this xq runs
// without remote control, with the reason for the user in `message` (an
// xq running already has the socket, or the socket cannot be made). A
// socket file left by an xq that died is replaced.
int open_remote_control(char *message, std::size_t size);

// Closes the socket and removes its file, if it is this xq's; safe to call
// more than once.
void close_remote_control();

// The idle step's part: takes new connections, reads what the clients
// sent, and carries out and answers every complete request (while the
// player is paused, only play and toggle act, ending the pause). Does
// nothing when called inside a request being carried out.
void act_on_remote_commands();

// The descriptors a wait watches for the remote control: the socket and
// its clients, at most `room` of them into `fds`. Returns how many.
int remote_control_fds(pollfd *fds, int room);
