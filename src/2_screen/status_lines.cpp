#include "2_screen/status_lines.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "1_player/player.h"
#include "1_player/player_thread.h"
#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "2_screen/playlist_footer.h"
#include "2_screen/screen_text.h"

int spinner_off = 1;
int spinner_counter = 0;
int spinner_last_patpos = 0;
const char spinner_chars[4] = {'-', '\\', '|', '/'};

namespace {

// The largest minute count the time box shows; it stays there afterwards.
constexpr unsigned long kMaxShownMinutes = 999;

// The first column the time box may reach back to, past the playlist
// footer's widest text.
constexpr int kTimeBoxFirstCol = 42;

void draw_time_box() {
    const int row = screen_rows() - 1;
    const PlayerView &view = player_view();
    const bool wide = time_box_shows_length(screen_cols());
    char time[32];
    format_time_box(time, sizeof time, view.sngtime, song_length_ms(view), wide);
    const int width = static_cast<int>(std::strlen(time)) + 10;  // "[ Time: " and " ]"
    const int col = screen_cols() - 2 - width;
    set_attr(main_win, kNormal);
    // A wider box drawn before (another song's length) leaves the border,
    // and so does the song box of a module with one song.
    if (wide)
        for (int c = kTimeBoxFirstCol; c < col; ++c) mvwaddch(main_win, row, c, ACS_HLINE);
    char song[32];
    if (wide && format_song_box(song, sizeof song, view.subsong, song_count(view))) {
        const int song_col = col - static_cast<int>(std::strlen(song)) - 1;
        if (song_col >= kTimeBoxFirstCol) {
            put_text(main_win, row, song_col, song);
            set_role(main_win, ColorRole::status_label);
            put_text(main_win, row, song_col + 2, "Song");
            set_attr(main_win, kNormal);
        }
    }
    put_text(main_win, row, col, "[");
    put_blanks(main_win, row, col + 1, width - 2);
    put_text(main_win, row, col + width - 1, "]");
    set_role(main_win, ColorRole::status_label);
    put_text(main_win, row, col + 2, "Time:");
    set_attr(main_win, kNormal);
    put_text(main_win, row, col + 8, time);
}

void draw_spinner() {
    const int patpos = player_view().patpos;
    if (spinner_off != 0 || patpos == spinner_last_patpos) return;
    char cells[4];
    spinner_cells(spinner_counter, cells);
    set_role(main_win, ColorRole::title_bar);
    const int cols[4] = {1, 2, 12, 13};
    for (int i = 0; i < 4; ++i) {
        const char text[2] = {cells[i], '\0'};
        put_text(main_win, 0, cols[i], text);
    }
    ++spinner_counter;
    spinner_last_patpos = patpos;
    set_attr(main_win, kNormal);
}

}  // namespace

void format_song_time(char *out, std::size_t size, unsigned long sngtime) {
    const unsigned long seconds = sngtime / 1024;
    unsigned long minutes = seconds / 60;
    unsigned long rest = seconds % 60;
    if (minutes > kMaxShownMinutes) {
        minutes = kMaxShownMinutes;
        rest = 59;
    }
    std::snprintf(out, size, "%02lu:%02lu", minutes, rest);
}

bool time_box_shows_length(int columns) { return columns >= kLongTimeBoxColumns; }

bool format_song_box(char *out, std::size_t size, int subsong, int count) {
    if (count < 2) return false;
    std::snprintf(out, size, "[ Song %d/%d ]", subsong + 1, count);
    return true;
}

void format_time_box(char *out, std::size_t size, unsigned long sngtime, long long length_ms, bool with_length) {
    char elapsed[16];
    format_song_time(elapsed, sizeof elapsed, sngtime);
    if (!with_length || length_ms < 0) {
        std::snprintf(out, size, "%s", elapsed);
        return;
    }
    char length[16];
    format_song_time(length, sizeof length, static_cast<unsigned long>(length_ms * 1024 / 1000));
    std::snprintf(out, size, "%s/%s", elapsed, length);
}

void format_mode_words(char *out, std::size_t size, unsigned mode) {
    const char *stereo_word = (mode & kModeReverse) ? "!STEREO" : (mode & kModeStereo) ? "STEREO" : "MONO";
    std::snprintf(out, size, "%s %s %s %s %s", (mode & kMode16Bits) ? "16bit" : "8bit", stereo_word,
                  (mode & kModeSurround) ? "SURROUND" : "NORMAL", (mode & kModeHqMixer) ? "HQMIXER" : "LQMIXER",
                  (mode & kModeSoftMusic) ? "(soft)" : "(hard)");
}

void spinner_cells(int k, char (&cells)[4]) {
    const unsigned step = static_cast<unsigned>(k) & 3u;
    cells[0] = spinner_chars[step];
    cells[1] = spinner_chars[(step + 1) & 3u];
    cells[2] = spinner_chars[step ^ 2u];
    cells[3] = spinner_chars[(step - 1) & 3u];
}

namespace {

// The status row's fields, the time box and the playlist footer.
void draw_status_fields() {
    const PlayerView &view = player_view();
    const int shown_position = view.sngpos < view.numpos ? view.sngpos + 1 : view.numpos;
    RowWriter row{main_win, 4, 1, screen_cols() - 1};
    const attr_t label = role_attr(ColorRole::status_label);
    row.put(label, "Ch:").putf(kNormal, "%2d/%2d", view.realchn, view.numchn);
    row.col = 11;
    row.put(label, "Pat:").putf(kNormal, "%3d %3d/%3d", view.pattern, shown_position, view.numpos);
    const struct {
        int col;
        const char *label;
        const char *format;
        int value;
    } fields[] = {
        {28, "Pos:", "%3d", view.patpos},    {37, "Bpm:", "%3d", view.bpm},
        {46, "Spd:", "%3d", view.sngspd},    {55, "Tmp:", "%3d", view.inittempo},
        {64, "Rvb:", "%2d", view.reverb},    {72, "Vol:", "%3d", view.volume},
    };
    for (const auto &f : fields) {
        row.col = f.col;
        row.put(label, f.label).putf(kNormal, f.format, f.value);
    }

    // The footer first: its border reaches under where a song box stands.
    draw_or_clear_playlist_footer(view.sngtime);
    draw_time_box();
}

}  // namespace

void draw_status_row() {
    if (!main_win || !player_view().module) return;
    const PlayerView &view = player_view();
    // Once the song has ended, the row, the spinner and the footer keep what
    // they showed last (the playlist's own end notice among them). The time
    // box shows where the song ended, which no longer moves: a seek to the
    // end may reach it with no frame drawn on the way.
    if (view.sngpos >= view.numpos) {
        draw_time_box();
        return;
    }
    draw_status_fields();
    draw_spinner();
}

void redraw_status_lines() {
    if (!main_win || !player_view().module) return;
    draw_status_fields();
}

void draw_driver_line() {
    if (!main_win) return;
    set_attr(main_win, kNormal);
    if (screen_cols() >= 3) put_blanks(main_win, 3, 1, screen_cols() - 2);
    char words[64];
    const PlayerView &view = player_view();
    format_mode_words(words, sizeof words, view.mode);
    RowWriter row{main_win, 3, 1, screen_cols() - 1};
    row.put(role_attr(ColorRole::label), "Driver : ")
        .put(role_attr(ColorRole::driver), view.driver_name)
        .put(kNormal, " - ")
        .put(role_attr(ColorRole::driver), words)
        .putf(role_attr(ColorRole::driver_rate), " %d Hz", static_cast<int>(view.mixfreq));
    set_attr(main_win, kNormal);
}
