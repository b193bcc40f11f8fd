// The options panel: the output options, the mixing frequency, the loop,
// fade-out and random options, the refresh delay, the colour scheme and
// the headphone crossfeed, with "Save options" to write them to the options file.
#pragma once

#include <curses.h>

inline constexpr int kOptionItemCount = 17;
inline constexpr int kCrossfeedItem = 15;
inline constexpr int kSaveOptionsItem = 16;

// A choice steps through its values with Enter.
enum class OptionKind { blank, check_box, number, choice, action };

struct OptionItem {
    const char *label;  // empty for a blank row, never drawn or selected
    OptionKind kind;
};

// Item i is drawn on panel row i + 2.
extern const OptionItem option_items[kOptionItemCount];

// Pure: the item selected after `key` (down, up, page down, page up) from
// `item`, passing over the blank rows; other keys keep it.
int next_option_item(int item, int key);

// Draws one item at column 3 of its row, the items scrolled up by
// `item_offset` rows, in the attribute the caller set; nothing for an item
// scrolled out of a short window.
void draw_option_item(WINDOW *win, int item, int item_offset = 0);

// Enter on a check box: toggles its setting and what mirrors it (md_mode,
// the module's loop and wrap or fade-out), restarting the sound driver for
// the output options the driver only reads when it starts. Returns false
// when nothing changed (reverse stereo while the output is mono).
bool toggle_option(int item);

// Enter on the Colors row: the next colour scheme, in use at once, with the
// whole screen drawn again in it.
void next_colors();

// Enter on the Crossfeed row: the next preset (off, default, Chu Moy, Jan
// Meier, off again), heard at once.
void next_crossfeed();

// Makes `hz` the mixing frequency: restarts the sound driver with it at the
// song's place. When the driver does not start with it, the old frequency
// comes back and the reason is shown. Redraws the driver line.
void set_mixing_frequency(int hz);

// Opens the options panel at its registry corner and runs it until q or
// Escape. Callable from any key loop: the loop beneath resumes with its
// screen repainted.
void options_panel();
