// The request that quit signals leave behind: their handler only sets it,
// and whatever reads or waits for long looks at it to stop early.
#pragma once

#include <csignal>

// Set only by the quit signals' handler; read by every loop and long read.
inline volatile std::sig_atomic_t quit_requested = 0;  // a quit signal has arrived
