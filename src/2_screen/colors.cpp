#include "2_screen/colors.h"

#include <iterator>

namespace {

constexpr PairColors kPairs[kColorPairCount] = {
    {COLOR_RED, COLOR_BLACK},      {COLOR_GREEN, COLOR_BLACK},   {COLOR_BLUE, COLOR_BLACK},
    {COLOR_YELLOW, COLOR_BLACK},   {COLOR_CYAN, COLOR_BLACK},    {COLOR_MAGENTA, COLOR_BLACK},
    {COLOR_BLUE, COLOR_BLUE},      {COLOR_CYAN, COLOR_BLUE},     {COLOR_GREEN, COLOR_BLUE},
    {COLOR_YELLOW, COLOR_BLUE},    {COLOR_MAGENTA, COLOR_MAGENTA}, {COLOR_CYAN, COLOR_CYAN},
    {COLOR_RED, COLOR_RED},        {COLOR_WHITE, COLOR_RED},     {COLOR_WHITE, COLOR_BLACK},
    {COLOR_WHITE, COLOR_BLUE},     {COLOR_MAGENTA, COLOR_BLUE},  {COLOR_RED, COLOR_BLUE},
};

// The scheme: every role's attribute, in the order of ColorRole (checked
// below), so that another scheme is one more table of the same shape.
struct RoleEntry {
    ColorRole role;
    attr_t attribute;
};

// Within a pattern-view row the roles differ by colour alone (all plain, or
// all bold on the highlight): turning bold or dim off costs the terminal a
// full reset and the colours again, at every change of field.
constexpr RoleEntry kScheme[] = {
    {ColorRole::title_bar, bold_pair(kGreenOnBlue)},
    {ColorRole::title_bar_name, bold_pair(kCyanOnBlue)},
    {ColorRole::title_bar_note, bold_pair(kYellowOnBlue)},
    {ColorRole::footer_label, bold_pair(kYellowOnBlue)},
    {ColorRole::status_label, bold_pair(kCyanOnBlack)},
    {ColorRole::label, kBold},
    {ColorRole::key_letter, kBold},
    {ColorRole::module_text, pair(kCyanOnBlack)},
    {ColorRole::driver, bold_pair(kMagentaOnBlack)},
    {ColorRole::driver_rate, bold_pair(kYellowOnBlack)},
    {ColorRole::table_header, kReverse},
    {ColorRole::channel_active, bold_pair(kCyanOnBlue)},
    {ColorRole::volume_soft, pair(kGreenOnBlack)},
    {ColorRole::volume_medium, bold_pair(kGreenOnBlack)},
    {ColorRole::volume_strong, bold_pair(kYellowOnBlack)},
    {ColorRole::volume_loud, bold_pair(kRedOnBlack)},
    {ColorRole::volume_over, bold_pair(kWhiteOnRed)},
    {ColorRole::panning_left, bold_pair(kMagentaOnBlack)},
    {ColorRole::panning_middle, bold_pair(kBlueOnBlack)},
    {ColorRole::panning_right, bold_pair(kCyanOnBlack)},
    {ColorRole::panning_hard_left, bold_pair(kMagentaOnMagenta)},
    {ColorRole::panning_hard_right, bold_pair(kCyanOnCyan)},
    {ColorRole::panning_value, pair(kCyanOnBlack)},
    {ColorRole::meter_block_low, reverse_pair(kGreenOnBlack)},
    {ColorRole::meter_block_high, reverse_pair(kCyanOnBlack)},
    {ColorRole::meter_rest, pair(kGreenOnBlack)},
    {ColorRole::meter_clip, bold_pair(kRedOnBlack)},
    {ColorRole::meter_clip_block, pair(kRedOnRed)},
    {ColorRole::vertical_meter, pair(kBlueOnBlack)},
    {ColorRole::vertical_meter_block, reverse_pair(kBlueOnBlack)},
    {ColorRole::vertical_meter_rest, bold_pair(kBlueOnBlack)},
    {ColorRole::vertical_meter_clip, pair(kRedOnBlack)},
    {ColorRole::vertical_meter_clip_block, bold_pair(kRedOnRed)},
    {ColorRole::panel_title, bold_pair(kYellowOnBlack)},
    {ColorRole::info_title, bold_pair(kCyanOnBlack)},
    {ColorRole::scroll_mark, bold_pair(kYellowOnBlack)},
    {ColorRole::selection, kReverse},
    {ColorRole::button_chosen, kReverse},
    {ColorRole::edit_field, kReverse},
    {ColorRole::list_entry, pair(kCyanOnBlack)},
    {ColorRole::list_entry_selected, reverse_pair(kCyanOnBlack)},
    {ColorRole::list_cursor, bold_pair(kCyanOnBlue)},
    {ColorRole::directory, kBold},
    {ColorRole::help_text, pair(kCyanOnBlack)},
    {ColorRole::help_key, bold_pair(kCyanOnBlack)},
    {ColorRole::monitor_axis, pair(kCyanOnBlack)},
    {ColorRole::notice, bold_pair(kGreenOnBlack)},
    {ColorRole::notice_waiting, bold_pair(kYellowOnBlack)},
    {ColorRole::notice_stopping, bold_pair(kRedOnBlack)},
    {ColorRole::error, bold_pair(kRedOnBlack)},
    {ColorRole::warning, bold_pair(kRedOnBlack)},
    {ColorRole::about_accent, bold_pair(kCyanOnBlack)},
    {ColorRole::about_heading, bold_pair(kGreenOnBlack)},
    {ColorRole::about_name, bold_pair(kBlueOnBlack)},
    {ColorRole::about_host, bold_pair(kYellowOnBlack)},
    {ColorRole::about_text, pair(kCyanOnBlack)},
    {ColorRole::pattern_row_number, pair(kCyanOnBlack)},
    {ColorRole::pattern_row_number_current, bold_pair(kCyanOnBlue)},
    {ColorRole::pattern_note, pair(kWhiteOnBlack)},
    {ColorRole::pattern_note_current, bold_pair(kWhiteOnBlue)},
    {ColorRole::pattern_instrument, pair(kYellowOnBlack)},
    {ColorRole::pattern_instrument_current, bold_pair(kYellowOnBlue)},
    {ColorRole::pattern_volume, pair(kGreenOnBlack)},
    {ColorRole::pattern_volume_current, bold_pair(kGreenOnBlue)},
    {ColorRole::pattern_pitch, pair(kMagentaOnBlack)},
    {ColorRole::pattern_pitch_current, bold_pair(kMagentaOnBlue)},
    {ColorRole::pattern_panning, pair(kCyanOnBlack)},
    {ColorRole::pattern_panning_current, bold_pair(kCyanOnBlue)},
    {ColorRole::pattern_timing, pair(kRedOnBlack)},
    {ColorRole::pattern_timing_current, bold_pair(kRedOnBlue)},
    {ColorRole::pattern_other, pair(kWhiteOnBlack)},
    {ColorRole::pattern_other_current, bold_pair(kWhiteOnBlue)},
    {ColorRole::pattern_empty, pair(kBlueOnBlack)},
    {ColorRole::pattern_empty_current, bold_pair(kWhiteOnBlue)},
    {ColorRole::pattern_muted, A_DIM | pair(kWhiteOnBlack)},
    {ColorRole::pattern_muted_current, A_DIM | pair(kWhiteOnBlue)},
    {ColorRole::pattern_outside, pair(kWhiteOnBlack)},
    {ColorRole::pattern_outside_current, pair(kWhiteOnBlue)},
};

constexpr bool in_role_order(const RoleEntry (&scheme)[kColorRoleCount]) {
    for (int i = 0; i < kColorRoleCount; ++i)
        if (static_cast<int>(scheme[i].role) != i) return false;
    return true;
}
static_assert(in_role_order(kScheme), "the scheme lists every role once, in the order of ColorRole");

// Each pattern-view role's roles on an ordinary row and on the current row.
struct PatternRoles {
    ColorRole row;
    ColorRole current;
};

constexpr PatternRoles kPatternRoles[] = {
    {ColorRole::pattern_row_number, ColorRole::pattern_row_number_current},
    {ColorRole::pattern_note, ColorRole::pattern_note_current},
    {ColorRole::pattern_instrument, ColorRole::pattern_instrument_current},
    {ColorRole::pattern_volume, ColorRole::pattern_volume_current},
    {ColorRole::pattern_pitch, ColorRole::pattern_pitch_current},
    {ColorRole::pattern_panning, ColorRole::pattern_panning_current},
    {ColorRole::pattern_timing, ColorRole::pattern_timing_current},
    {ColorRole::pattern_other, ColorRole::pattern_other_current},
    {ColorRole::pattern_empty, ColorRole::pattern_empty_current},
    {ColorRole::pattern_muted, ColorRole::pattern_muted_current},
    {ColorRole::pattern_outside, ColorRole::pattern_outside_current},
};
static_assert(std::size(kPatternRoles) == static_cast<std::size_t>(PatternRole::outside) + 1,
              "every pattern-view role has its colour roles");

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

attr_t role_attr(ColorRole role) {
    const int index = static_cast<int>(role);
    return index >= 0 && index < kColorRoleCount ? kScheme[index].attribute : kNormal;
}

void set_role(WINDOW *win, ColorRole role) { set_attr(win, role_attr(role)); }

attr_t pattern_attr(PatternRole role, bool current_row) {
    const PatternRoles &roles = kPatternRoles[static_cast<int>(role)];
    return role_attr(current_row ? roles.current : roles.row);
}

void set_attr(WINDOW *win, attr_t attribute) {
    if (win) wattrset(win, static_cast<int>(attribute));
}
