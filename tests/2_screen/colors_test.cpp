#include "2_screen/colors.h"

#include <gtest/gtest.h>

#include "headless_screen.h"

namespace {

TEST(ColorRoles, EveryRoleHasAnAttributeOfItsOwn) {
    // No role of the screen is plain text: a role left out of the scheme
    // would come back as the normal attribute.
    for (int n = 0; n < kColorRoleCount; ++n)
        EXPECT_NE(role_attr(static_cast<ColorRole>(n)), kNormal) << "role " << n;
    EXPECT_EQ(role_attr(static_cast<ColorRole>(kColorRoleCount)), kNormal);
}

TEST(ColorRoles, KeyRolesKeepTheScreensAttributes) {
    const struct {
        ColorRole role;
        attr_t expected;
    } cases[] = {
        {ColorRole::title_bar, bold_pair(kGreenOnBlue)},
        {ColorRole::title_bar_name, bold_pair(kCyanOnBlue)},
        {ColorRole::status_label, bold_pair(kCyanOnBlack)},
        {ColorRole::label, kBold},
        {ColorRole::table_header, kReverse},
        {ColorRole::panel_title, bold_pair(kYellowOnBlack)},
        {ColorRole::selection, kReverse},
        {ColorRole::button_chosen, kReverse},
        {ColorRole::list_entry_selected, reverse_pair(kCyanOnBlack)},
        {ColorRole::error, bold_pair(kRedOnBlack)},
        {ColorRole::notice, bold_pair(kGreenOnBlack)},
        {ColorRole::volume_over, bold_pair(kWhiteOnRed)},
        {ColorRole::meter_clip_block, pair(kRedOnRed)},
        {ColorRole::vertical_meter_clip_block, bold_pair(kRedOnRed)},
        {ColorRole::pattern_muted, A_DIM | pair(kWhiteOnBlack)},
    };
    for (const auto &c : cases) EXPECT_EQ(role_attr(c.role), c.expected) << static_cast<int>(c.role);
}

TEST(ColorRoles, PatternViewRolesComeFromTheScheme) {
    const struct {
        PatternRole role;
        ColorRole row;
        ColorRole current;
    } cases[] = {
        {PatternRole::row_number, ColorRole::pattern_row_number, ColorRole::pattern_row_number_current},
        {PatternRole::note, ColorRole::pattern_note, ColorRole::pattern_note_current},
        {PatternRole::timing, ColorRole::pattern_timing, ColorRole::pattern_timing_current},
        {PatternRole::empty, ColorRole::pattern_empty, ColorRole::pattern_empty_current},
        {PatternRole::muted, ColorRole::pattern_muted, ColorRole::pattern_muted_current},
        {PatternRole::outside, ColorRole::pattern_outside, ColorRole::pattern_outside_current},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(pattern_attr(c.role, false), role_attr(c.row)) << static_cast<int>(c.role);
        EXPECT_EQ(pattern_attr(c.role, true), role_attr(c.current)) << static_cast<int>(c.role);
    }
    EXPECT_EQ(pattern_attr(PatternRole::outside, false), pair(kWhiteOnBlack));
    EXPECT_EQ(pattern_attr(PatternRole::outside, true), pair(kWhiteOnBlue));
}

TEST(ColorRoles, SetRoleReplacesTheWholeAttribute) {
    HeadlessScreen screen;
    WINDOW *win = newwin(3, 10, 0, 0);
    set_attr(win, A_REVERSE | A_DIM | pair(kRedOnRed));
    set_role(win, ColorRole::help_key);
    mvwaddstr(win, 1, 1, "x");
    EXPECT_EQ(cell_attr(win, 1, 1), bold_pair(kCyanOnBlack));
    delwin(win);
}

}  // namespace
