#include "display/channel_table.h"

#include <algorithm>
#include <iterator>

#include "app/startup.h"
#include "display/screen_text.h"
#include "panels/colors.h"
#include "panels/command_keys.h"

int cursor_channel = 0;
int channel_page = 0;
int previous_cursor_channel = 0;
chtype marker_saved_chars[2] = {static_cast<chtype>(-1), static_cast<chtype>(-1)};
bool channel_muted[kMaxChannels] = {};
int previous_volume[kMaxChannels] = {};
int voice_volume_peak[kMaxChannels] = {};
int real_volume_peak[kMaxChannels] = {};
int frequency_peak[kMaxChannels] = {};
int position_peak[kMaxChannels] = {};

int rows_per_page() { return std::max(screen_rows - 7, 1); }

void draw_column_header() {
    if (!main_win) return;
    set_attr(main_win, kReverse);
    put_format(main_win, 5, 0, "%-80s",
               show_real_volume ? " Ch  Period  Vc    Freq     Pos    Panning    Volume       Real volume"
                                : " Ch  Period  Vc    Freq     Pos    Panning    Volume      Voice volume");
}

void draw_channel_table() { draw_cursor_markers(); }

void draw_cursor_markers() {}

void save_marker_cells() {
    marker_saved_chars[0] = main_win ? mvwinch(main_win, 3, 0) : static_cast<chtype>(-1);
    marker_saved_chars[1] = main_win ? mvwinch(main_win, 3, 3) : static_cast<chtype>(-1);
}

void reset_channel_state() {
    cursor_channel = 0;
    channel_page = 0;
    std::fill(std::begin(channel_muted), std::end(channel_muted), false);
}

void reset_voice_volume_peaks() { std::fill(std::begin(voice_volume_peak), std::end(voice_volume_peak), 256); }
