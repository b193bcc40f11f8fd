// Starting, feeding and stopping the sound library.
#pragma once

// Starts libmikmod with its autodetected driver. Returns 0, or -1 with the
// library's error in MikMod_errno.
int start_sound();

// Shuts the library down if start_sound succeeded (MikMod_Exit must not
// run before MikMod_Init).
void stop_sound();

// Mixes and sends sound until the driver's buffer is full: MikMod_Update is
// called again as long as the previous call came back at once (a call that
// has to wait found the buffer full) and fewer than kMaxUpdatesPerStep calls
// were made. One call writes only a short stretch (about 23 ms with the
// PulseAudio driver), so a single call per idle step would leave most of
// the output silent.
void feed_player();

inline constexpr int kMaxUpdatesPerStep = 12;

// A call that takes at least this long waited for room in the buffer.
inline constexpr long kBlockedCallNanoseconds = 3'000'000;
