// Loading a module from the screen: the "Loading..." notice, the rows that
// show the new module, and the box that tells why a file did not load.
#pragma once

#include <cstddef>

// Loads the module at `file_path` and starts its song `subsong` (0-based,
// player_load), looping, fading and playing a song that does not loop as
// many times as the options say. On success
// the per-module display state is reset, the file and title rows, the
// status row and the channel table are drawn, and playback starts: returns
// 0. On failure it removes the Loading notice, beeps, shows "'name': reason"
// in a red message box, waits for Enter, q or Escape (or until
// `close_box_early`, when given, returns true) and returns -1; the old
// module stays, and plays on if it was playing.
int load_module(const char *file_path, bool (*close_box_early)() = nullptr, int subsong = 0);

// load_module without the box: a failure only leaves "'name': reason" in
// `message` (when given) and returns -1.
int load_module_quietly(const char *file_path, char *message = nullptr, std::size_t size = 0, int subsong = 0);

// Shows (1) or removes (0) the "Loading..." notice.
void loading_popup(int show);
