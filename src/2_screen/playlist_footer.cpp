#include "2_screen/playlist_footer.h"

#include <algorithm>
#include <cstdio>

#include "2_screen/colors.h"
#include "2_screen/main_window.h"
#include "2_screen/screen_text.h"

PlaylistFooter playlist_footer;

namespace {

constexpr std::uint64_t kMaxShownMinutes = 9999;
constexpr int kFooterFrameEnd = 35;  // the footer frame's closing bracket
constexpr int kTotalWidening = 6;    // "/MM:SS" of the playlist's length
constexpr int kFooterCountsCol = 16;

// Footer texts stop before the time box, which sits at the right of the
// same row; on an 80-column screen that is column 63.
int footer_limit(int last_col) { return std::min(last_col + 1, screen_cols() - 17); }

}  // namespace

std::uint64_t song_time_ms(unsigned long sngtime) {
    return (static_cast<std::uint64_t>(sngtime) * 1000 + 512) / 1024;
}

void format_playlist_time(char *out, std::size_t size, std::uint64_t ms) {
    std::uint64_t minutes = ms / 60000;
    std::uint64_t seconds = (ms / 1000) % 60;
    if (minutes > kMaxShownMinutes) {
        minutes = kMaxShownMinutes;
        seconds = 59;
    }
    std::snprintf(out, size, "%02llu:%02llu", static_cast<unsigned long long>(minutes),
                  static_cast<unsigned long long>(seconds));
}

void format_footer_counts(char *out, std::size_t size, int entry, int count, std::uint64_t ms) {
    char time[16];
    format_playlist_time(time, sizeof time, ms);
    const int n = std::snprintf(out, size, "%3d/%3d   (%s)", entry, count, time);
    if (n > kFooterFrameEnd - kFooterCountsCol) std::snprintf(out, size, "%3d/%3d (%s)", entry, count, time);
}

void format_footer_counts(char *out, std::size_t size, int entry, int count, std::uint64_t ms, std::uint64_t total_ms) {
    char time[16];
    char total[16];
    format_playlist_time(time, sizeof time, ms);
    format_playlist_time(total, sizeof total, total_ms);
    const int n = std::snprintf(out, size, "%3d/%3d   (%s/%s)", entry, count, time, total);
    if (n > kFooterFrameEnd + kTotalWidening - kFooterCountsCol)
        std::snprintf(out, size, "%3d/%3d (%s/%s)", entry, count, time, total);
}

void format_finished_message(char *out, std::size_t size, int entry, int count, std::uint64_t ms) {
    char time[16];
    format_playlist_time(time, sizeof time, ms);
    std::snprintf(out, size, "[ Playlist finished %3d/%3d (%s) ]", entry, count, time);
}

std::uint64_t footer_time_ms(const PlaylistFooter &footer, unsigned long sngtime) {
    return footer.elapsed_ms + (footer.song_counts ? song_time_ms(sngtime) : 0);
}

void draw_footer_border(int first, int last) {
    if (!main_win) return;
    set_attr(main_win, kNormal);
    const int end = footer_limit(last);
    for (int col = first; col < end; ++col) mvwaddch(main_win, screen_rows() - 1, col, ACS_HLINE);
}

void draw_playlist_footer(unsigned long sngtime) {
    if (!main_win) return;
    const int row = screen_rows() - 1;
    draw_footer_border(1, 47);
    const bool total = playlist_footer.total_ms >= 0;
    const int limit = footer_limit(kFooterFrameEnd + (total ? kTotalWidening : 0));
    set_attr(main_win, kNormal);
    put_text(main_win, row, 2, total ? "[                                      ]" : "[                                ]", limit);
    set_role(main_win, ColorRole::footer_label);
    put_text(main_win, row, 4, "Playlist:", limit);
    char counts[64];
    const std::uint64_t elapsed = footer_time_ms(playlist_footer, sngtime);
    if (total)
        format_footer_counts(counts, sizeof counts, playlist_footer.entry, playlist_footer.count, elapsed,
                             static_cast<std::uint64_t>(playlist_footer.total_ms));
    else
        format_footer_counts(counts, sizeof counts, playlist_footer.entry, playlist_footer.count, elapsed);
    set_attr(main_win, kNormal);
    put_text(main_win, row, kFooterCountsCol, counts, limit);
}

void clear_playlist_footer() { draw_footer_border(1, 59); }

void draw_finished_message() {
    if (!main_win) return;
    char text[96];
    format_finished_message(text, sizeof text, playlist_footer.entry, playlist_footer.count,
                            playlist_footer.elapsed_ms);
    set_attr(main_win, kNormal);
    put_text(main_win, screen_rows() - 1, 2, text, footer_limit(screen_cols()));
}

void draw_or_clear_playlist_footer(unsigned long sngtime) {
    if (playlist_footer.shown) {
        draw_playlist_footer(sngtime);
    } else if (playlist_footer.clear_pending) {
        clear_playlist_footer();
        playlist_footer.clear_pending = false;
    }
}
