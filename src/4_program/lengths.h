// `xq --lengths FILE...`: the length of each song of each module, one line
// per file: the file, a tab, then each song's length in milliseconds
// separated by blanks ("-" for a song longer than an hour, "?" alone for a
// file that does not load). The playlist runs it aside for its lengths.
#pragma once

#include <cstdio>

// Exit status 0 when every file loaded, 1 otherwise; -1 (255) without a
// file.
int lengths_main(int count, char *const *paths, std::FILE *out, std::FILE *errors);
