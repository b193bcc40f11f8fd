// The sound library's own player tick: the function the library runs once
// per tick of mixed sound, which advances the module it plays by one tick
// (notes, effects, voices) without mixing a sample. The player wraps it
// (the sound output counts the sound mixed, a render notes where the song
// ended) and runs it alone to walk a song through.
#pragma once

#include <mikmod.h>

// The library's tick, as it was before any of ours took its place. The
// first call must come before anything of ours registers a tick of its own
// (every such registration asks here first).
MikMod_player_t library_player_tick();
