// The main key loop and the main screen's own key bindings.
#pragma once

#include "2_screen/key_table.h"

// The main screen's own keys, tried after the command keys: channel cursor,
// muting, meter style, mixer keys, the panels opened from the main screen,
// and `q`, which closes (ends the main loop).
extern const KeyTable kMainScreenKeys;

// One key of kMainScreenKeys carried out; passed for the keys it does not
// bind, which do nothing.
KeyResult handle_main_key(int key);

// Runs the main screen under the panel runner until `q`: each key goes to
// the main screen's keys, then to the command keys, and the idle step runs
// after each key and wake-up; `q` ends the program.
[[noreturn]] void run_main_loop();
