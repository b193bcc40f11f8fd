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

#include <functional>
#include <mikmod.h>

#include "1_player/module_info.h"

// The module the player holds (the library's own record), or null.
MODULE *player_module();

// Hands the player `module`, loaded by the test, as if the player had
// loaded it from `path` (`bytes` long) and started it when `start`: its
// description is made as at a load, then `change` may alter it (a comment,
// say). The player frees it at player_unload(); the module it held
// before is freed now, unless it is `module` itself (described afresh).
void adopt_module(MODULE *module, bool start = true, const char *path = "", long long bytes = 0,
                  const std::function<void(ModuleInfo &)> &change = {});

// Makes the player forget its module without freeing it: for a MODULE the
// test made itself (on the stack, say) and adopted.
void forget_module();
