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
    {COLOR_RED, kDefaultColor},    {COLOR_GREEN, kDefaultColor}, {COLOR_BLUE, kDefaultColor},
    {COLOR_YELLOW, kDefaultColor}, {COLOR_CYAN, kDefaultColor},  {COLOR_MAGENTA, kDefaultColor},
    {COLOR_BLACK, COLOR_CYAN},
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
constexpr RoleEntry kDarkScheme[] = {
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
    {ColorRole::spectrum_bar, pair(kGreenOnBlack)},
    {ColorRole::spectrum_bar_top, pair(kYellowOnBlack)},
    {ColorRole::spectrum_peak, pair(kRedOnBlack)},
    {ColorRole::scope_trace, pair(kCyanOnBlack)},
};

// For a white background: dark foregrounds on the terminal's own
// background, never black behind text; bars, cursors and the current row
// stand out on blue or cyan, and reverse video keeps its meaning.
constexpr RoleEntry kLightScheme[] = {
    {ColorRole::title_bar, bold_pair(kWhiteOnBlue)},
    {ColorRole::title_bar_name, bold_pair(kYellowOnBlue)},
    {ColorRole::title_bar_note, bold_pair(kCyanOnBlue)},
    {ColorRole::footer_label, bold_pair(kYellowOnBlue)},
    {ColorRole::status_label, bold_pair(kBlueOnDefault)},
    {ColorRole::label, kBold},
    {ColorRole::key_letter, kBold},
    {ColorRole::module_text, pair(kBlueOnDefault)},
    {ColorRole::driver, bold_pair(kMagentaOnDefault)},
    {ColorRole::driver_rate, bold_pair(kRedOnDefault)},
    {ColorRole::table_header, pair(kBlackOnCyan)},
    {ColorRole::channel_active, bold_pair(kWhiteOnBlue)},
    {ColorRole::volume_soft, pair(kGreenOnDefault)},
    {ColorRole::volume_medium, bold_pair(kGreenOnDefault)},
    {ColorRole::volume_strong, bold_pair(kMagentaOnDefault)},
    {ColorRole::volume_loud, bold_pair(kRedOnDefault)},
    {ColorRole::volume_over, bold_pair(kWhiteOnRed)},
    {ColorRole::panning_left, bold_pair(kMagentaOnDefault)},
    {ColorRole::panning_middle, kBold},
    {ColorRole::panning_right, bold_pair(kBlueOnDefault)},
    {ColorRole::panning_hard_left, bold_pair(kMagentaOnMagenta)},
    {ColorRole::panning_hard_right, bold_pair(kCyanOnCyan)},
    {ColorRole::panning_value, pair(kBlueOnDefault)},
    {ColorRole::meter_block_low, reverse_pair(kGreenOnDefault)},
    {ColorRole::meter_block_high, reverse_pair(kCyanOnDefault)},
    {ColorRole::meter_rest, pair(kGreenOnDefault)},
    {ColorRole::meter_clip, bold_pair(kRedOnDefault)},
    {ColorRole::meter_clip_block, pair(kRedOnRed)},
    {ColorRole::vertical_meter, pair(kBlueOnDefault)},
    {ColorRole::vertical_meter_block, reverse_pair(kBlueOnDefault)},
    {ColorRole::vertical_meter_rest, bold_pair(kBlueOnDefault)},
    {ColorRole::vertical_meter_clip, pair(kRedOnDefault)},
    {ColorRole::vertical_meter_clip_block, bold_pair(kRedOnRed)},
    {ColorRole::panel_title, bold_pair(kBlueOnDefault)},
    {ColorRole::info_title, bold_pair(kMagentaOnDefault)},
    {ColorRole::scroll_mark, bold_pair(kRedOnDefault)},
    {ColorRole::selection, kReverse},
    {ColorRole::button_chosen, kReverse},
    {ColorRole::edit_field, kReverse},
    {ColorRole::list_entry, pair(kBlueOnDefault)},
    {ColorRole::list_entry_selected, reverse_pair(kBlueOnDefault)},
    {ColorRole::list_cursor, bold_pair(kWhiteOnBlue)},
    {ColorRole::directory, kBold},
    {ColorRole::help_text, pair(kBlueOnDefault)},
    {ColorRole::help_key, bold_pair(kMagentaOnDefault)},
    {ColorRole::monitor_axis, pair(kBlueOnDefault)},
    {ColorRole::notice, bold_pair(kGreenOnDefault)},
    {ColorRole::notice_waiting, bold_pair(kMagentaOnDefault)},
    {ColorRole::notice_stopping, bold_pair(kRedOnDefault)},
    {ColorRole::error, bold_pair(kRedOnDefault)},
    {ColorRole::warning, bold_pair(kRedOnDefault)},
    {ColorRole::about_accent, bold_pair(kBlueOnDefault)},
    {ColorRole::about_heading, bold_pair(kGreenOnDefault)},
    {ColorRole::about_name, bold_pair(kMagentaOnDefault)},
    {ColorRole::about_host, bold_pair(kRedOnDefault)},
    {ColorRole::about_text, pair(kBlueOnDefault)},
    {ColorRole::pattern_row_number, pair(kBlueOnDefault)},
    {ColorRole::pattern_row_number_current, bold_pair(kCyanOnBlue)},
    {ColorRole::pattern_note, kNormal},
    {ColorRole::pattern_note_current, bold_pair(kWhiteOnBlue)},
    {ColorRole::pattern_instrument, pair(kMagentaOnDefault)},
    {ColorRole::pattern_instrument_current, bold_pair(kYellowOnBlue)},
    {ColorRole::pattern_volume, pair(kGreenOnDefault)},
    {ColorRole::pattern_volume_current, bold_pair(kGreenOnBlue)},
    {ColorRole::pattern_pitch, pair(kCyanOnDefault)},
    {ColorRole::pattern_pitch_current, bold_pair(kMagentaOnBlue)},
    {ColorRole::pattern_panning, pair(kBlueOnDefault)},
    {ColorRole::pattern_panning_current, bold_pair(kCyanOnBlue)},
    {ColorRole::pattern_timing, pair(kRedOnDefault)},
    {ColorRole::pattern_timing_current, bold_pair(kRedOnBlue)},
    {ColorRole::pattern_other, kNormal},
    {ColorRole::pattern_other_current, bold_pair(kWhiteOnBlue)},
    {ColorRole::pattern_empty, pair(kBlueOnDefault)},
    {ColorRole::pattern_empty_current, bold_pair(kWhiteOnBlue)},
    {ColorRole::pattern_muted, A_DIM},
    {ColorRole::pattern_muted_current, A_DIM | pair(kWhiteOnBlue)},
    {ColorRole::pattern_outside, kNormal},
    {ColorRole::pattern_outside_current, pair(kWhiteOnBlue)},
    {ColorRole::spectrum_bar, pair(kGreenOnDefault)},
    {ColorRole::spectrum_bar_top, pair(kMagentaOnDefault)},
    {ColorRole::spectrum_peak, pair(kRedOnDefault)},
    {ColorRole::scope_trace, pair(kBlueOnDefault)},
};

// The terminal's own background everywhere and its 8 basic colours for
// text, so the user's theme decides how they look; only the highlights
// carry a background, mostly by reverse video of the theme's own colours
// (a basic colour behind the theme's background colour would read on one
// kind of theme only).
constexpr RoleEntry kTerminalScheme[] = {
    {ColorRole::title_bar, kReverse | kBold},
    {ColorRole::title_bar_name, kReverse | kBold},
    {ColorRole::title_bar_note, kReverse | kBold},
    {ColorRole::footer_label, kReverse | kBold},
    {ColorRole::status_label, bold_pair(kCyanOnDefault)},
    {ColorRole::label, kBold},
    {ColorRole::key_letter, kBold},
    {ColorRole::module_text, pair(kCyanOnDefault)},
    {ColorRole::driver, bold_pair(kMagentaOnDefault)},
    {ColorRole::driver_rate, bold_pair(kYellowOnDefault)},
    {ColorRole::table_header, kReverse},
    {ColorRole::channel_active, kReverse | kBold},
    {ColorRole::volume_soft, pair(kGreenOnDefault)},
    {ColorRole::volume_medium, bold_pair(kGreenOnDefault)},
    {ColorRole::volume_strong, bold_pair(kYellowOnDefault)},
    {ColorRole::volume_loud, bold_pair(kRedOnDefault)},
    {ColorRole::volume_over, reverse_pair(kRedOnDefault) | kBold},
    {ColorRole::panning_left, bold_pair(kMagentaOnDefault)},
    {ColorRole::panning_middle, bold_pair(kBlueOnDefault)},
    {ColorRole::panning_right, bold_pair(kCyanOnDefault)},
    {ColorRole::panning_hard_left, reverse_pair(kMagentaOnDefault) | kBold},
    {ColorRole::panning_hard_right, reverse_pair(kCyanOnDefault) | kBold},
    {ColorRole::panning_value, pair(kCyanOnDefault)},
    {ColorRole::meter_block_low, reverse_pair(kGreenOnDefault)},
    {ColorRole::meter_block_high, reverse_pair(kCyanOnDefault)},
    {ColorRole::meter_rest, pair(kGreenOnDefault)},
    {ColorRole::meter_clip, bold_pair(kRedOnDefault)},
    {ColorRole::meter_clip_block, reverse_pair(kRedOnDefault)},
    {ColorRole::vertical_meter, pair(kBlueOnDefault)},
    {ColorRole::vertical_meter_block, reverse_pair(kBlueOnDefault)},
    {ColorRole::vertical_meter_rest, bold_pair(kBlueOnDefault)},
    {ColorRole::vertical_meter_clip, pair(kRedOnDefault)},
    {ColorRole::vertical_meter_clip_block, reverse_pair(kRedOnDefault) | kBold},
    {ColorRole::panel_title, bold_pair(kYellowOnDefault)},
    {ColorRole::info_title, bold_pair(kCyanOnDefault)},
    {ColorRole::scroll_mark, bold_pair(kYellowOnDefault)},
    {ColorRole::selection, kReverse},
    {ColorRole::button_chosen, kReverse},
    {ColorRole::edit_field, kReverse},
    {ColorRole::list_entry, pair(kCyanOnDefault)},
    {ColorRole::list_entry_selected, reverse_pair(kCyanOnDefault)},
    {ColorRole::list_cursor, kReverse | kBold},
    {ColorRole::directory, kBold},
    {ColorRole::help_text, pair(kCyanOnDefault)},
    {ColorRole::help_key, bold_pair(kCyanOnDefault)},
    {ColorRole::monitor_axis, pair(kCyanOnDefault)},
    {ColorRole::notice, bold_pair(kGreenOnDefault)},
    {ColorRole::notice_waiting, bold_pair(kYellowOnDefault)},
    {ColorRole::notice_stopping, bold_pair(kRedOnDefault)},
    {ColorRole::error, bold_pair(kRedOnDefault)},
    {ColorRole::warning, bold_pair(kRedOnDefault)},
    {ColorRole::about_accent, bold_pair(kCyanOnDefault)},
    {ColorRole::about_heading, bold_pair(kGreenOnDefault)},
    {ColorRole::about_name, bold_pair(kBlueOnDefault)},
    {ColorRole::about_host, bold_pair(kYellowOnDefault)},
    {ColorRole::about_text, pair(kCyanOnDefault)},
    {ColorRole::pattern_row_number, pair(kCyanOnDefault)},
    {ColorRole::pattern_row_number_current, bold_pair(kCyanOnBlue)},
    {ColorRole::pattern_note, kNormal},
    {ColorRole::pattern_note_current, bold_pair(kWhiteOnBlue)},
    {ColorRole::pattern_instrument, pair(kYellowOnDefault)},
    {ColorRole::pattern_instrument_current, bold_pair(kYellowOnBlue)},
    {ColorRole::pattern_volume, pair(kGreenOnDefault)},
    {ColorRole::pattern_volume_current, bold_pair(kGreenOnBlue)},
    {ColorRole::pattern_pitch, pair(kMagentaOnDefault)},
    {ColorRole::pattern_pitch_current, bold_pair(kMagentaOnBlue)},
    {ColorRole::pattern_panning, pair(kCyanOnDefault)},
    {ColorRole::pattern_panning_current, bold_pair(kCyanOnBlue)},
    {ColorRole::pattern_timing, pair(kRedOnDefault)},
    {ColorRole::pattern_timing_current, bold_pair(kRedOnBlue)},
    {ColorRole::pattern_other, kNormal},
    {ColorRole::pattern_other_current, bold_pair(kWhiteOnBlue)},
    {ColorRole::pattern_empty, pair(kBlueOnDefault)},
    {ColorRole::pattern_empty_current, bold_pair(kWhiteOnBlue)},
    {ColorRole::pattern_muted, A_DIM},
    {ColorRole::pattern_muted_current, A_DIM | pair(kWhiteOnBlue)},
    {ColorRole::pattern_outside, kNormal},
    {ColorRole::pattern_outside_current, pair(kWhiteOnBlue)},
    {ColorRole::spectrum_bar, pair(kGreenOnDefault)},
    {ColorRole::spectrum_bar_top, pair(kYellowOnDefault)},
    {ColorRole::spectrum_peak, pair(kRedOnDefault)},
    {ColorRole::scope_trace, pair(kCyanOnDefault)},
};

// The roles that stand out by their background (is_highlight).
constexpr ColorRole kHighlights[] = {
    ColorRole::title_bar, ColorRole::title_bar_name, ColorRole::title_bar_note, ColorRole::footer_label,
    ColorRole::table_header, ColorRole::channel_active, ColorRole::volume_over,
    ColorRole::panning_hard_left, ColorRole::panning_hard_right,
    ColorRole::meter_block_low, ColorRole::meter_block_high, ColorRole::meter_clip_block,
    ColorRole::vertical_meter_block, ColorRole::vertical_meter_clip_block,
    ColorRole::selection, ColorRole::button_chosen, ColorRole::edit_field,
    ColorRole::list_entry_selected, ColorRole::list_cursor,
    ColorRole::pattern_row_number_current, ColorRole::pattern_note_current,
    ColorRole::pattern_instrument_current, ColorRole::pattern_volume_current,
    ColorRole::pattern_pitch_current, ColorRole::pattern_panning_current,
    ColorRole::pattern_timing_current, ColorRole::pattern_other_current,
    ColorRole::pattern_empty_current, ColorRole::pattern_muted_current,
    ColorRole::pattern_outside_current,
};

constexpr bool in_role_order(const RoleEntry (&scheme)[kColorRoleCount]) {
    for (int i = 0; i < kColorRoleCount; ++i)
        if (static_cast<int>(scheme[i].role) != i) return false;
    return true;
}
static_assert(in_role_order(kDarkScheme), "the scheme lists every role once, in the order of ColorRole");
static_assert(in_role_order(kLightScheme), "the scheme lists every role once, in the order of ColorRole");
static_assert(in_role_order(kTerminalScheme), "the scheme lists every role once, in the order of ColorRole");

// Indexed by ColorScheme.
constexpr const RoleEntry *kSchemes[kColorSchemeCount] = {kDarkScheme, kLightScheme, kTerminalScheme};

ColorScheme scheme_in_use = ColorScheme::dark;  // set by use_color_scheme
bool own_colors = false;  // the terminal took use_default_colors: the "on default" pairs exist

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
    own_colors = use_default_colors() == OK;
    for (int n = 1; n <= kColorPairCount; ++n) {
        const PairColors c = kPairs[n - 1];
        init_pair(static_cast<short>(n), c.foreground, c.background);
    }
}

attr_t scheme_role_attr(ColorScheme scheme, ColorRole role) {
    const int index = static_cast<int>(role);
    const int table = static_cast<int>(scheme);
    if (table < 0 || table >= kColorSchemeCount) return kNormal;
    return index >= 0 && index < kColorRoleCount ? kSchemes[table][index].attribute : kNormal;
}

attr_t role_attr(ColorRole role) { return scheme_role_attr(scheme_in_use, role); }

bool is_highlight(ColorRole role) {
    for (ColorRole highlight : kHighlights)
        if (highlight == role) return true;
    return false;
}

ColorScheme scheme_for_terminal(ColorScheme wanted, int colors) { return colors < 8 ? ColorScheme::dark : wanted; }

void use_color_scheme(ColorScheme scheme) {
    scheme_in_use = own_colors ? scheme_for_terminal(scheme, COLORS) : ColorScheme::dark;
}

ColorScheme color_scheme_in_use() { return scheme_in_use; }

void set_role(WINDOW *win, ColorRole role) { set_attr(win, role_attr(role)); }

attr_t pattern_attr(PatternRole role, bool current_row) {
    const PatternRoles &roles = kPatternRoles[static_cast<int>(role)];
    return role_attr(current_row ? roles.current : roles.row);
}

void set_attr(WINDOW *win, attr_t attribute) {
    if (win) wattrset(win, static_cast<int>(attribute));
}
