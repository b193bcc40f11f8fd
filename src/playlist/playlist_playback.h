// Playing a playlist entry after entry.
#pragma once

extern bool playlist_active;       // a started playlist is being played
extern bool footer_clear_pending;  // the playlist footer is to be erased at the next status-row draw

// Draws the playlist footer on the left of the bottom border.
void draw_playlist_footer();
