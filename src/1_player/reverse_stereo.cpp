#include "1_player/reverse_stereo.h"

#include "1_player/player.h"
#include "1_player/settings.h"

bool switch_reverse_stereo() {
    if (!player_switch_reverse_stereo(reverse_stereo == 0)) return false;
    reverse_stereo = 1 - reverse_stereo;
    return true;
}
