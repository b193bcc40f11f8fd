// How much the live screen may send the terminal: about 8 KB a second at
// most, so a slow link (a terminal over SSH, say) keeps up with the music.
// A frame that took many bytes (a busy module with many channels shown)
// makes the next one wait longer than the refresh delay. The frames are
// paced at a little less, kTerminalBytesPerSecond, so that what comes
// between them (a key's redraw) stays within it too.
#pragma once

#include <cstdint>

inline constexpr long long kTerminalBytesPerSecond = 7 * 1024 + 512;

// Bytes the calling thread has written so far, as the system counts them
// (on the screens' thread: what went to the terminal), or -1 where the
// system does not tell.
long long thread_bytes_written();

// Pure: the milliseconds a frame of `bytes` bytes takes out of the budget.
long long frame_cost_ms(long long bytes);

// Pure: the running cost the next frames are paced by, after a frame that
// cost `cost_ms`: it follows a dearer frame at once and a cheaper one by a
// quarter of the difference, so the pace neither jumps about nor lets a
// run of dear frames through.
long long paced_cost_ms(long long running_ms, long long cost_ms);
