// The program's version, shown on the title row, in the About panel and by -v.
#pragma once

inline constexpr const char *kVersion = "0.6";
