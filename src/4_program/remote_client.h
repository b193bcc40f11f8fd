// `xq --remote COMMAND [ARG]`: sends one request to the running xq's
// control socket (remote_control.h) and prints its answer. The socket is
// looked for where xq makes it, then, when that passed the runtime
// directory over, in the runtime directory; only an xq running as the same
// user is told anything (root may reach any user's, which answers for
// itself).
#pragma once

#include <cstdio>

// How long the client waits for the answer.
inline constexpr int kRemoteAnswerWaitMs = 5000;

// The client, given the words after --remote. Prints the answer to `out`
// (an error answer to `errors`) and returns the exit status: 0 when xq
// carried the request out, 1 for a bad request, an error answer, no xq
// running ("xq is not running") or no answer.
int remote_main(int count, char *const *words, FILE *out, FILE *errors);
