#include "2_screen/channel_table.h"

#include <algorithm>
#include <iterator>

#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "2_screen/cell_row.h"
#include "2_screen/colors.h"
#include "2_screen/level_meter.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"

int show_real_volume = 1;
int cursor_channel = 0;
int channel_page = 0;
int previous_cursor_channel = 0;
chtype marker_saved_chars[2] = {static_cast<chtype>(-1), static_cast<chtype>(-1)};
int previous_volume[kMaxChannels] = {};
int voice_volume_peak[kMaxChannels] = {};
int real_volume_peak[kMaxChannels] = {};
int frequency_peak[kMaxChannels] = {};
int position_peak[kMaxChannels] = {};

namespace {

constexpr chtype kUnreadCell = static_cast<chtype>(-1);

int table_row(int channel) { return 6 + channel % rows_per_page(); }

void draw_muted_row(CellRow &cells, int channel) {
    cells.attr(kNormal).at(1).number(channel + 1, 2, true).text("  ------  --  ------ -------  ------- ---   MUTED");
    cells.attr(meter_style == 1 ? role_attr(ColorRole::meter_rest) : kNormal).at(54).run(' ', 20);
    cells.attr(kNormal).at(74).text(" ").number(0, 3).text("%");
}

// The row's columns 33 to 43: seven dots with the letter over them, and the
// panning number.
void draw_panning(CellRow &cells, int p) {
    int letter_col;
    char letter;
    int number;
    if (p == 128) {
        cells.attr(role_attr(ColorRole::panning_middle));
        letter = 'M';
        letter_col = 36;
        number = 128;
    } else if (p > 128) {
        cells.attr(role_attr(ColorRole::panning_right));
        letter = 'R';
        letter_col = 33 + 4 + std::min(2, panning_step(p - 128));
        number = p - 128;
    } else {
        cells.attr(role_attr(ColorRole::panning_left));
        letter = 'L';
        letter_col = p == 127 ? 35 : 33 + panning_step(p);
        number = 127 - p;
    }
    cells.at(33).text(".......");
    if (p == 255) cells.attr(role_attr(ColorRole::panning_hard_right));
    if (p == 0) cells.attr(role_attr(ColorRole::panning_hard_left));
    const char text[2] = {letter, '\0'};
    cells.at(letter_col).text(text);
    cells.attr(role_attr(ColorRole::panning_value)).at(40).text(" ").number(number, 3);
}

void draw_channel_row(CellRow &cells, const ChannelView &ch, int channel) {
    const int period = ch.period;
    int voice = -1;
    int v = 0;
    if (period != 0) {
        voice = ch.voice;
        v = static_cast<int>(ch.volume);
        note_peak(voice_volume_peak, voice, v);
    }

    const attr_t number_attr = period != 0 && v != 0 ? role_attr(ColorRole::channel_active) : kNormal;
    cells.attr(number_attr).at(1).number(channel + 1, 2, true);
    cells.attr(kNormal).at(5).number(period, 6);

    // The blanks between the fields take the attribute of the field beside
    // them: the whole stretch from column 11 to 53 then keeps one background
    // where the fields have one, and the terminal is not sent a change of
    // colours for every gap of every row.
    attr_t band = kNormal;
    long shown_voice = 0;
    long frequency = 0;
    long position = 0;
    if (period != 0) {
        band = volume_band(v);
        cells.attr(band);
        shown_voice = voice + 1;
        frequency = static_cast<long>(ch.frequency);
        position = ch.position;
        note_peak(frequency_peak, voice, static_cast<int>(frequency));
        note_peak(position_peak, voice, static_cast<int>(position));
    }
    cells.at(11).text("  ").number(shown_voice, 2).text("  ").number(frequency, 6).text("  ").number(position, 6).text("  ");

    const int p = period != 0 ? static_cast<int>(ch.panning & 0xFF) : 128;
    draw_panning(cells, p);

    const char trend = v == previous_volume[channel] ? '=' : (v > previous_volume[channel] ? '+' : '-');
    const char trend_text[2] = {trend, '\0'};
    cells.attr(band).at(44).text("  ").number(v, 3).text("  ").text(trend_text).text("  ");
    previous_volume[channel] = v;

    int percent = 0;
    if (period != 0) {
        if (show_real_volume) {
            const long real = static_cast<long>(ch.real_volume);
            note_peak(real_volume_peak, voice, static_cast<int>(real));
            percent = std::min(volume_percent(real, peak_of(real_volume_peak, voice)), 100);
        } else {
            percent = volume_percent(v, peak_of(voice_volume_peak, voice));
        }
    }
    level_meter(cells, 54, percent, meter_style);
}

}  // namespace

bool is_valid_voice(int voice) { return voice >= 0 && voice < kMaxChannels; }

void note_peak(int (&table)[kMaxChannels], int voice, int value) {
    if (is_valid_voice(voice) && value > table[voice]) table[voice] = value;
}

int peak_of(const int (&table)[kMaxChannels], int voice) { return is_valid_voice(voice) ? table[voice] : 0; }

int volume_percent(long value, int peak) {
    const float divisor = peak < 2 ? 1.0f : static_cast<float>(peak);
    return static_cast<int>(static_cast<double>(static_cast<float>(value) / divisor) * 100.0);
}

int panning_step(int x) {
    const float percent = static_cast<float>(static_cast<double>(x) / 127.0 * 100.0);
    return static_cast<int>(percent / 33.0f);
}

attr_t volume_band(int v) {
    if (v <= 0) return kNormal;
    if (v < 64) return role_attr(ColorRole::volume_soft);
    if (v < 128) return role_attr(ColorRole::volume_medium);
    if (v < 192) return role_attr(ColorRole::volume_strong);
    if (v < 256) return role_attr(ColorRole::volume_loud);
    return role_attr(ColorRole::volume_over);
}

int rows_per_page() { return std::max(screen_rows() - 7, 1); }

void draw_column_header() {
    if (!main_win) return;
    set_role(main_win, ColorRole::table_header);
    put_format(main_win, 5, 0, "%-80s",
               show_real_volume ? " Ch  Period  Vc    Freq     Pos    Panning    Volume       Real volume"
                                : " Ch  Period  Vc    Freq     Pos    Panning    Volume      Voice volume");
}

namespace {

// The channels of the module playing, 0 without one.
int module_channels() {
    const ModuleInfoPtr &module = player_view().module;
    return module ? module->channels : 0;
}

}  // namespace

void draw_channel_table() {
    const PlayerView &view = player_view();
    if (!main_win || !view.module) return;
    // On a narrow or short screen the rows stop at the border.
    const FrameClip clip(main_win);
    const int per_page = rows_per_page();
    const int first = channel_page * per_page;
    for (int j = first; j < first + per_page; ++j) {
        CellRow cells(main_win, table_row(j));
        if (j >= view.module->channels || j >= kMaxChannels) {
            // Rows past the last channel are blanked on every draw, so they
            // never keep text of another page or of an earlier module.
            cells.attr(kNormal).at(1).run(' ', std::min(78, screen_cols() - 2));
        } else if (channel_is_muted(view, j)) {
            draw_muted_row(cells, j);
        } else {
            draw_channel_row(cells, view.channels[j], j);
        }
        cells.flush();
    }
    draw_cursor_markers();
}

void draw_cursor_markers() {
    if (!main_win) return;
    set_attr(main_win, kNormal);
    // A screen too short for any table row has no place for the markers:
    // the row would be the bottom border.
    const int last_table_row = getmaxy(main_win) - 2;
    const int old_row = table_row(previous_cursor_channel);
    if (old_row <= last_table_row) {
        if (marker_saved_chars[0] != kUnreadCell) mvwaddch(main_win, old_row, 0, marker_saved_chars[0]);
        if (marker_saved_chars[1] != kUnreadCell) mvwaddch(main_win, old_row, 3, marker_saved_chars[1]);
    }
    const int row = table_row(cursor_channel);
    if (row > last_table_row) {
        marker_saved_chars[0] = marker_saved_chars[1] = kUnreadCell;
        previous_cursor_channel = cursor_channel;
        return;
    }
    marker_saved_chars[0] = mvwinch(main_win, row, 0);
    marker_saved_chars[1] = mvwinch(main_win, row, 3);
    previous_cursor_channel = cursor_channel;
    put_text(main_win, row, 0, ">");
    put_text(main_win, row, 3, "<");
}

void save_marker_cells() {
    marker_saved_chars[0] = main_win ? mvwinch(main_win, 3, 0) : kUnreadCell;
    marker_saved_chars[1] = main_win ? mvwinch(main_win, 3, 3) : kUnreadCell;
}

void reset_channel_state() {
    cursor_channel = 0;
    channel_page = 0;
}

void reset_voice_volume_peaks() { std::fill(std::begin(voice_volume_peak), std::end(voice_volume_peak), 256); }

void move_channel_cursor(int key) {
    if (!player_view().module) return;
    const int per_page = rows_per_page();
    const int channels = module_channels();
    switch (key) {
    case KEY_DOWN:
        if (cursor_channel < channels - 1) ++cursor_channel;
        channel_page = cursor_channel / per_page;
        break;
    case KEY_UP:
        if (cursor_channel > 0) --cursor_channel;
        channel_page = cursor_channel / per_page;
        break;
    case KEY_NPAGE: {
        const int first_of_next = (channel_page + 1) * per_page;
        if (first_of_next < channels) {
            cursor_channel = first_of_next;
            ++channel_page;
        } else {
            cursor_channel = std::max(channels - 1, 0);
        }
        break;
    }
    case KEY_PPAGE:
        if (cursor_channel != 0) {
            const int first_of_page = channel_page * per_page;
            if (cursor_channel == first_of_page) {
                --channel_page;
                cursor_channel = channel_page * per_page;
            } else {
                cursor_channel = first_of_page;
            }
        }
        break;
    default: return;
    }
    draw_cursor_markers();
}

void toggle_cursor_channel_mute() {
    if (!player_view().module || cursor_channel < 0 || cursor_channel >= kMaxChannels) return;
    player_toggle_mute(cursor_channel);
    // The row shows the mute at once.
    player_catch_up();
    draw_channel_table();
    draw_cursor_markers();
}
