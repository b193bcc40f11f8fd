// libmikmod on its silent driver, for tests that load and play real
// modules: nothing is heard, and the song advances only as the player is
// fed.
#pragma once

#include <string>
#include <vector>

// Registers the silent driver and every loader (once per test program)
// and starts the library; fails the calling test when the library does not
// start.
void start_silent_player();

// Shuts the library down again.
void stop_silent_player();

// The whole content of a file (a module fixture), for remember_module_data.
std::vector<char> file_bytes(const std::string &path);
