// The centred modal message window.
#pragma once

#include "3_panels/panel_window.h"

inline constexpr int kMessageError = 1;   // bold red text
inline constexpr int kMessageNotice = 2;  // bold green text (any kind but 1)

extern int message_boxes_waiting;  // message boxes waiting for Enter (they nest); counted by wait_for_enter, read by the remote control

// Shows `message` literally (never as a format) in a box of 6 rows centred
// on the screen, with an "[ OK ]" button, and returns once the user presses
// Enter. Playback and the live display go on behind it. A message wider
// than the screen is cut to fit.
void message_box(const char *message, int kind);

// message_box that also closes as soon as `close_early` returns true; it is
// asked after every idle step.
void message_box_until(const char *message, int kind, bool (*close_early)());

// How a failure is told: a beep, then `message` in a red box, until Enter
// (or until `close_early`, when given, returns true).
void error_box(const char *message, bool (*close_early)() = nullptr);

// error_box that q and Escape close as Enter does: for news that needs no
// answer, such as a file that could not be loaded.
void dismissable_error_box(const char *message, bool (*close_early)() = nullptr);

// The steps of message_box, for callers that need the box on the screen
// before waiting: open_message_box draws it and updates the screen,
// wait_for_enter runs the idle step until Enter (or until `close_early`,
// when given, returns true), close_panel_window ends it.
PanelWindow open_message_box(const char *message, int kind);
void wait_for_enter(WINDOW *win, bool (*close_early)() = nullptr);

// wait_for_enter that q and Escape end too.
void wait_for_dismissal(WINDOW *win, bool (*close_early)() = nullptr);

// True for the keys that mean Enter: line feed and the keypad's Enter.
bool is_enter_key(int key);
