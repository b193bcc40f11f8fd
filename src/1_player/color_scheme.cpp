#include "1_player/color_scheme.h"

#include <cstring>

namespace {

constexpr const char *kNames[kColorSchemeCount] = {"dark", "light", "terminal"};

}  // namespace

const char *color_scheme_name(ColorScheme scheme) {
    const int index = static_cast<int>(scheme);
    return index >= 0 && index < kColorSchemeCount ? kNames[index] : kNames[0];
}

bool parse_color_scheme(const char *text, ColorScheme &scheme) {
    if (!text) return false;
    for (int i = 0; i < kColorSchemeCount; ++i)
        if (std::strcmp(text, kNames[i]) == 0) {
            scheme = static_cast<ColorScheme>(i);
            return true;
        }
    return false;
}

ColorScheme next_color_scheme(ColorScheme scheme) {
    return static_cast<ColorScheme>((static_cast<int>(scheme) + 1) % kColorSchemeCount);
}
