#include "1_player/sound_output.h"
#include "4_program/startup.h"

// A start-up that fails after the sound started stops it again here.
int main(int argc, char **argv) {
    const int status = xq_main(argc, argv);
    stop_sound();
    return status;
}
