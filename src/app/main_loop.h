// The main key loop and the main screen's own key bindings.
#pragma once

// The carrying-out of a main-loop key after the command keys have seen it:
// channel cursor, muting, meter style, mixer keys and the panels opened
// from the main screen.
void handle_main_key(int key);

// Reads keys from main_win until `q`, passing each (and each timeout) to the
// command keys, then to the main screen's bindings, then to the idle step;
// `q` ends the program.
[[noreturn]] void run_main_loop();
