#include "panels/command_keys.h"

bool stopped = false;
int show_real_volume = 1;
int mute_all_next = 1;
int song_position = 0;

void handle_command_key(int) {}
