#include "1_player/reverse_stereo.h"

#include <mikmod.h>

#include "1_player/player_thread.h"
#include "1_player/settings.h"

bool switch_reverse_stereo() {
    if (!(player_view().mode & DMODE_STEREO)) return false;
    reverse_stereo = 1 - reverse_stereo;
    const bool on = reverse_stereo != 0;
    player_post([on] { md_mode = static_cast<UWORD>(on ? (md_mode | DMODE_REVERSE) : (md_mode & ~DMODE_REVERSE)); });
    return true;
}
