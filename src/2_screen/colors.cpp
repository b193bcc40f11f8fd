#include "2_screen/colors.h"

namespace {

constexpr PairColors kPairs[kColorPairCount] = {
    {COLOR_RED, COLOR_BLACK},      {COLOR_GREEN, COLOR_BLACK},   {COLOR_BLUE, COLOR_BLACK},
    {COLOR_YELLOW, COLOR_BLACK},   {COLOR_CYAN, COLOR_BLACK},    {COLOR_MAGENTA, COLOR_BLACK},
    {COLOR_BLUE, COLOR_BLUE},      {COLOR_CYAN, COLOR_BLUE},     {COLOR_GREEN, COLOR_BLUE},
    {COLOR_YELLOW, COLOR_BLUE},    {COLOR_MAGENTA, COLOR_MAGENTA}, {COLOR_CYAN, COLOR_CYAN},
    {COLOR_RED, COLOR_RED},        {COLOR_WHITE, COLOR_RED},     {COLOR_WHITE, COLOR_BLACK},
    {COLOR_WHITE, COLOR_BLUE},     {COLOR_MAGENTA, COLOR_BLUE},  {COLOR_RED, COLOR_BLUE},
};

// Each pattern-view role on an ordinary row and on the current row. Within
// a row the roles differ by colour alone (all plain, or all bold on the
// highlight): turning bold or dim off costs the terminal a full reset and
// the colours again, at every change of field.
struct RoleAttrs {
    attr_t row;
    attr_t current;
};

constexpr RoleAttrs kPatternRoles[] = {
    {pair(kCyanOnBlack), bold_pair(kCyanOnBlue)},        // row_number
    {pair(kWhiteOnBlack), bold_pair(kWhiteOnBlue)},      // note
    {pair(kYellowOnBlack), bold_pair(kYellowOnBlue)},    // instrument
    {pair(kGreenOnBlack), bold_pair(kGreenOnBlue)},      // volume
    {pair(kMagentaOnBlack), bold_pair(kMagentaOnBlue)},  // pitch
    {pair(kCyanOnBlack), bold_pair(kCyanOnBlue)},        // panning
    {pair(kRedOnBlack), bold_pair(kRedOnBlue)},          // timing
    {pair(kWhiteOnBlack), bold_pair(kWhiteOnBlue)},      // other
    {pair(kBlueOnBlack), bold_pair(kWhiteOnBlue)},       // empty
    {A_DIM | pair(kWhiteOnBlack), A_DIM | pair(kWhiteOnBlue)},  // muted
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

attr_t pattern_attr(PatternRole role, bool current_row) {
    const RoleAttrs &attrs = kPatternRoles[static_cast<int>(role)];
    return current_row ? attrs.current : attrs.row;
}

void set_attr(WINDOW *win, attr_t attribute) {
    if (win) wattrset(win, static_cast<int>(attribute));
}
