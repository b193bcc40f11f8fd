#include "panels/colors.h"

namespace {

constexpr PairColors kPairs[kColorPairCount] = {
    {COLOR_RED, COLOR_BLACK},      {COLOR_GREEN, COLOR_BLACK},   {COLOR_BLUE, COLOR_BLACK},
    {COLOR_YELLOW, COLOR_BLACK},   {COLOR_CYAN, COLOR_BLACK},    {COLOR_MAGENTA, COLOR_BLACK},
    {COLOR_BLUE, COLOR_BLUE},      {COLOR_CYAN, COLOR_BLUE},     {COLOR_GREEN, COLOR_BLUE},
    {COLOR_YELLOW, COLOR_BLUE},    {COLOR_MAGENTA, COLOR_MAGENTA}, {COLOR_CYAN, COLOR_CYAN},
    {COLOR_RED, COLOR_RED},        {COLOR_WHITE, COLOR_RED},
};

}  // namespace

PairColors pair_colors(int n) {
    if (n < 1 || n > kColorPairCount) return {COLOR_WHITE, COLOR_BLACK};
    return kPairs[n - 1];
}

void init_color_pairs() {
    // Plain text keeps the terminal's own colours, but the pairs with a black
    // background are drawn on black: on a light terminal their yellow and
    // cyan would otherwise be unreadable.
    use_default_colors();
    for (int n = 1; n <= kColorPairCount; ++n) {
        const PairColors c = kPairs[n - 1];
        init_pair(static_cast<short>(n), c.foreground, c.background);
    }
}

void set_attr(WINDOW *win, attr_t attribute) {
    if (win) wattrset(win, static_cast<int>(attribute));
}
