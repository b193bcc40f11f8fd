// Key codes that the key loops compare with and curses has no name for.
#pragma once

inline constexpr int kEscape = 27;  // closes most panels
inline constexpr int kTab = '\t';   // moves between a list and its buttons
