#include <malloc.h>

#include "1_player/sound_output.h"
#include "4_program/startup.h"

// A start-up that fails after the sound started stops it again here.
int main(int argc, char **argv) {
    // One malloc arena for all threads. The sound thread loads and walks
    // each module; in an arena of its own, the memory it frees afterwards
    // would stay there, resident, out of the screens' reach (about 250 KB
    // of a run). The sound loop allocates nothing while it plays, so it
    // never waits on the screens for the arena.
#ifdef M_ARENA_MAX
    mallopt(M_ARENA_MAX, 1);
#endif
    const int status = xq_main(argc, argv);
    stop_sound();
    return status;
}
