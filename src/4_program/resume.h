// Picking up where the last run left off: at every exit xq writes what it
// was playing to "~/.xq/resume", and `xq --resume` starts from there.
//
// The file is text:
//
//     XQ RESUME 1
//     playlist=1        1: a playlist was playing; 0: one module
//     entry=1           the entry that was playing, from 0 (0 for a module)
//     position=1        its song position, from 0
//     entries=3         the number of path lines that follow
//     /home/me/mods/a.xm
//     /home/me/mods/b.xm
//     /home/me/mods/c.xm
//     end
//
// A file that does not read exactly so (cut short, empty, not text) is
// damaged, and nothing of it is used. The file is read and written only
// while "~/.xq" is a directory of the user's own (private_folder.h), and
// read only when it is a regular file.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "1_player/settings.h"

struct ResumePlace {
    bool playlist = false;           // a playlist was playing; else one module
    int entry = 0;                   // the entry that was playing
    int position = 0;                // its song position
    std::vector<std::string> paths;  // the playlist's entries, or the one module
};

// The largest resume file read: a full playlist of the longest paths.
inline constexpr std::size_t kMaxResumeFileBytes = 4096 * (kPathCapacity + 1) + 256;

// "$HOME/.xq/resume". Returns -1 when HOME is unset or the path too long.
int resume_file_path(char (&path)[kPathCapacity]);

// Writes `place` to `path` through a temporary file in the same directory
// that is renamed over the old file, so the old file stays whole when
// anything fails (a full disk, a file size limit). Returns 0, or -1 with
// the reason for the user in `message`.
int store_resume(const char *path, const ResumePlace &place, char *message, std::size_t size);

// Reads the file at `path` into `place`. Returns 0, or -1 with the reason
// for the user in `message` (the file is missing, or what is wrong with it).
int read_resume(const char *path, ResumePlace &place, char *message, std::size_t size);

// What is playing now, as the resume file keeps it: the playing playlist
// and its entry, or the one module; the song position, 0 for a song that
// has ended or was stopped. False when no module is loaded.
bool capture_resume_place(ResumePlace &place);

// The exit's part: writes the resume file for what is playing. Returns 0,
// or -1 with the reason in `message`. Nothing is written, and the old file
// stays, while no module is loaded.
int save_resume(char *message, std::size_t size);

// What `xq --resume` starts with, once read.
struct ResumeStart {
    bool playlist = false;
    int entry = 0;     // the playlist entry to start at
    int position = 0;  // the song position to start at
    char path[kPathCapacity] = "";  // the one module, when no playlist
};

// Reads the resume file for `xq --resume`: a playlist goes into the
// playlist, its entries that can no longer be read left out and reported
// on `errors` as on the command line (the entry to start at moves with
// them; when it is the one left out, the next one starts from its
// beginning). Returns 0, or -1 after writing the reason to `errors`.
int prepare_resume(ResumeStart &start, FILE *errors);

// After the first load: moves the song to `position` when it has one so far.
void resume_song_position(int position);
