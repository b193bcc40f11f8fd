// Starting, feeding and stopping the sound library.
#pragma once

// Starts libmikmod with its autodetected driver. Returns 0, or -1 with the
// library's error in MikMod_errno.
int start_sound();

// Shuts the library down if start_sound succeeded (MikMod_Exit must not
// run before MikMod_Init).
void stop_sound();

// The file the module being played was loaded from, so that a restart of
// the driver can load its samples again; the loader calls it after every
// successful load. A path that does not fit is not kept (a restart then
// fails and leaves everything as it was).
void remember_module_file(const char *path);

// Restarts the sound driver with the current md_mode and md_mixfreq
// (MikMod_Reset) while the module goes on from where it was: the restart
// throws away the samples the driver held, so they are loaded again from
// the module's file, and the notes that were sounding go on from their
// place in their samples. Everything else of the module (position, row,
// song time, speed, tempo, BPM, volume, flags, muted channels, a pause or a
// stop) is untouched, and `module` stays the same. Returns 0, or -1 with
// the library's error in MikMod_errno: when the module's file can no
// longer be read nothing is changed; when the driver does not start again
// with the new settings the "no sound" driver takes over, so the module
// goes on silently and the caller may restore the old settings and call
// this again.
int restart_output();

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
