#include "playlist/playlist_playback.h"

bool playlist_active = false;
bool footer_clear_pending = false;

void draw_playlist_footer() {}
