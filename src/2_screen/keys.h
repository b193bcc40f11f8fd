// Key codes that the key loops compare with and curses has no name for.
#pragma once

#include <curses.h>

inline constexpr int kEscape = 27;  // closes most panels
inline constexpr int kTab = '\t';   // moves between a list and its buttons

// tmux and screen send Home and End as the VT220 keys "ESC [ 1 ~" and
// "ESC [ 4 ~" whatever the terminal type says; under TERM=xterm-256color,
// a common setting inside tmux, the terminal description does not list
// them and they would arrive as loose bytes (the first an Escape). Key
// loops that read Home and End call this before their first key.
inline void accept_vt220_home_and_end() {
    if (key_defined("\033[1~") == 0) define_key("\033[1~", KEY_HOME);
    if (key_defined("\033[4~") == 0) define_key("\033[4~", KEY_END);
}
