// The colour schemes the screen can be drawn in, and their names in the
// options file, the Options panel and on the command line.
#pragma once

enum class ColorScheme : int {
    dark,      // coloured text on black strips, bars on blue: for dark terminals
    light,     // dark text on the terminal's own (white) background
    terminal,  // the terminal's own background and its 8 basic colours
};

inline constexpr int kColorSchemeCount = 3;

// "dark", "light" or "terminal".
const char *color_scheme_name(ColorScheme scheme);

// Pure: the scheme named `text` exactly, written into `scheme`; false (and
// `scheme` unchanged) for any other text.
bool parse_color_scheme(const char *text, ColorScheme &scheme);

// Pure: the scheme after `scheme`, the last followed by the first.
ColorScheme next_color_scheme(ColorScheme scheme);
