// The playlist footer on the left of the main window's bottom border:
// "[ Playlist:   2/  5   (03:10) ]" while a playlist plays, the message
// "[ Playlist finished ... ]" once it has played to its end. The playlist
// keeps the footer's figures here; the status row draws it with itself.
#pragma once

#include <cstddef>
#include <cstdint>

struct PlaylistFooter {
    bool shown = false;          // a playlist plays: drawn with every status row
    bool clear_pending = false;  // to be erased at the next status-row draw
    int entry = 0;               // the entry shown, 1-based
    int count = 0;               // entries in the list
    std::uint64_t elapsed_ms = 0;  // play time of the entries that have finished
    bool song_counts = false;    // the song playing belongs to the entry: its time is added
    long long total_ms = -1;     // the whole playlist's length, -1 while not known
};

// The footer's figures, kept by the playlist's playback (which stands above
// the screen) and drawn by the status row.
extern PlaylistFooter playlist_footer;

// Milliseconds of a song time counted in 1/1024 s, rounded to the nearest.
std::uint64_t song_time_ms(unsigned long sngtime);

// "MM:SS" of a time in milliseconds; the minutes stop at 9999.
void format_playlist_time(char *out, std::size_t size, std::uint64_t ms);

// The footer's text after "Playlist:", "%3d/%3d   (MM:SS)", with the gap
// narrowed when big numbers would run past the footer's frame.
void format_footer_counts(char *out, std::size_t size, int entry, int count, std::uint64_t ms);
// The same with the playlist's length after the time, "(MM:SS/MM:SS)", in
// a frame six columns wider.
void format_footer_counts(char *out, std::size_t size, int entry, int count, std::uint64_t ms, std::uint64_t total_ms);

// "[ Playlist finished %3d/%3d (MM:SS) ]".
void format_finished_message(char *out, std::size_t size, int entry, int count, std::uint64_t ms);

// The time the footer shows: the finished entries' and, when it counts,
// the song's at `sngtime`.
std::uint64_t footer_time_ms(const PlaylistFooter &footer, unsigned long sngtime);

// Draws the footer as playlist_footer says, with the song at `sngtime`; no
// refresh.
void draw_playlist_footer(unsigned long sngtime);

// Restores the bottom border where the footer was; no refresh.
void clear_playlist_footer();

// Restores the bottom border from column `first` to column `last` (never
// into the time box); no refresh.
void draw_footer_border(int first, int last);

// Draws the finished message for the playlist_footer's figures; no
// refresh.
void draw_finished_message();

// The status row's part: the footer while a playlist plays, erased once
// after.
void draw_or_clear_playlist_footer(unsigned long sngtime);
