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

namespace {

constexpr ColorScheme kAllSchemes[] = {ColorScheme::dark, ColorScheme::light, ColorScheme::terminal};

// The terminal's own text colour, where reverse video puts it behind a cell.
constexpr short kOwnText = -2;

// What a cell drawn with `attribute` shows: its text and background
// colours, kDefaultColor for the terminal's own background (or its own
// text colour in front), reverse video already applied.
struct Look {
    short text;
    short background;
};

Look look_of(attr_t attribute) {
    const short n = static_cast<short>(PAIR_NUMBER(attribute));
    const PairColors colors = n == 0 ? PairColors{kDefaultColor, kDefaultColor} : pair_colors(n);
    if (!(attribute & A_REVERSE)) return {colors.foreground, colors.background};
    return {colors.background, colors.foreground == kDefaultColor ? kOwnText : colors.foreground};
}

// The plain text a highlight stands out from: the same kind of text on an
// ordinary row, or the panel's plain text.
attr_t plain_beside(ColorScheme scheme, ColorRole highlight) {
    const int n = static_cast<int>(highlight);
    if (highlight == ColorRole::list_entry_selected) return scheme_role_attr(scheme, ColorRole::list_entry);
    if (n >= static_cast<int>(ColorRole::pattern_row_number) && (n - static_cast<int>(ColorRole::pattern_row_number)) % 2 == 1)
        return scheme_role_attr(scheme, static_cast<ColorRole>(n - 1));
    return kNormal;
}

}  // namespace

TEST(ColorSchemes, EveryHighlightStandsOutFromThePlainTextBesideIt) {
    int highlights = 0;
    for (ColorScheme scheme : kAllSchemes)
        for (int n = 0; n < kColorRoleCount; ++n) {
            const ColorRole role = static_cast<ColorRole>(n);
            if (!is_highlight(role)) continue;
            ++highlights;
            const Look shown = look_of(scheme_role_attr(scheme, role));
            const Look plain = look_of(plain_beside(scheme, role));
            EXPECT_NE(shown.background, plain.background) << color_scheme_name(scheme) << " role " << n;
            // Solid blocks are one colour through.
            const bool solid = role == ColorRole::panning_hard_left || role == ColorRole::panning_hard_right ||
                               role == ColorRole::meter_clip_block || role == ColorRole::vertical_meter_clip_block;
            if (!solid) {
                EXPECT_NE(shown.text, shown.background) << color_scheme_name(scheme) << " role " << n;
            }
        }
    EXPECT_EQ(highlights, 3 * 30);
}

TEST(ColorSchemes, LightAndTerminalDrawAllButHighlightsOnTheTerminalsBackground) {
    for (ColorScheme scheme : {ColorScheme::light, ColorScheme::terminal})
        for (int n = 0; n < kColorRoleCount; ++n) {
            const ColorRole role = static_cast<ColorRole>(n);
            const attr_t attribute = scheme_role_attr(scheme, role);
            const Look shown = look_of(attribute);
            EXPECT_NE(shown.background, COLOR_BLACK) << color_scheme_name(scheme) << " role " << n;
            EXPECT_GE(shown.text, kOwnText) << n;
            EXPECT_LE(shown.text, COLOR_WHITE) << n;  // the 8 basic colours at most
            if (is_highlight(role)) continue;
            EXPECT_EQ(shown.background, kDefaultColor) << color_scheme_name(scheme) << " role " << n;
            EXPECT_FALSE(attribute & A_REVERSE) << color_scheme_name(scheme) << " role " << n;
        }
}

TEST(ColorSchemes, LightTextIsDarkAndTerminalTextLeavesWhiteAndBlackToTheTheme) {
    for (int n = 0; n < kColorRoleCount; ++n) {
        const ColorRole role = static_cast<ColorRole>(n);
        if (is_highlight(role)) continue;
        const short light = look_of(scheme_role_attr(ColorScheme::light, role)).text;
        EXPECT_NE(light, COLOR_WHITE) << n;
        EXPECT_NE(light, COLOR_YELLOW) << n;
        const short terminal = look_of(scheme_role_attr(ColorScheme::terminal, role)).text;
        EXPECT_NE(terminal, COLOR_WHITE) << n;
        EXPECT_NE(terminal, COLOR_BLACK) << n;
    }
}

TEST(ColorSchemes, TheDarkSchemeIsTheDefaultAndBelowEightColoursTheOnlyOne) {
    EXPECT_EQ(color_scheme_in_use(), ColorScheme::dark);
    for (int n = 0; n < kColorRoleCount; ++n)
        EXPECT_EQ(role_attr(static_cast<ColorRole>(n)), scheme_role_attr(ColorScheme::dark, static_cast<ColorRole>(n)));
    const struct {
        ColorScheme wanted;
        int colors;
        ColorScheme shown;
    } cases[] = {
        {ColorScheme::light, 8, ColorScheme::light},    {ColorScheme::terminal, 256, ColorScheme::terminal},
        {ColorScheme::light, 7, ColorScheme::dark},     {ColorScheme::terminal, 2, ColorScheme::dark},
        {ColorScheme::terminal, 0, ColorScheme::dark},  {ColorScheme::dark, 256, ColorScheme::dark},
    };
    for (const auto &c : cases)
        EXPECT_EQ(scheme_for_terminal(c.wanted, c.colors), c.shown) << c.colors;
}

TEST(ColorSchemes, TheSchemeInUseGivesEveryRolesAttribute) {
    HeadlessScreen screen;  // 256 colours
    use_color_scheme(ColorScheme::light);
    EXPECT_EQ(color_scheme_in_use(), ColorScheme::light);
    EXPECT_EQ(role_attr(ColorRole::help_text), pair(kBlueOnDefault));
    EXPECT_EQ(pattern_attr(PatternRole::timing, false), pair(kRedOnDefault));
    WINDOW *win = newwin(3, 10, 0, 0);
    set_role(win, ColorRole::status_label);
    mvwaddstr(win, 1, 1, "x");
    EXPECT_EQ(cell_attr(win, 1, 1), bold_pair(kBlueOnDefault));
    delwin(win);
    use_color_scheme(ColorScheme::terminal);
    EXPECT_EQ(role_attr(ColorRole::title_bar), kReverse | kBold);
    use_color_scheme(ColorScheme::dark);
    EXPECT_EQ(role_attr(ColorRole::help_text), pair(kCyanOnBlack));
}

TEST(ColorSchemes, TheNewPairsAreOnTheTerminalsOwnBackground) {
    HeadlessScreen screen;
    for (int n = kRedOnDefault; n <= kMagentaOnDefault; ++n) {
        short foreground = 0, background = 0;
        ASSERT_EQ(pair_content(static_cast<short>(n), &foreground, &background), OK) << n;
        EXPECT_EQ(background, kDefaultColor) << n;
        EXPECT_EQ(foreground, pair_colors(n).foreground) << n;
    }
}
