// Directory paths as the file selector keeps them in its 256-character
// buffers. Every function refuses, rather than cuts, a result that would not
// fit: a cut path would name another directory than the one meant.
#pragma once

#include "1_player/settings.h"

// "<dir>/<name>" into `out`, or "/<name>" when `dir` is "/". Returns 0, or
// -1 with `out` unchanged when the result would exceed kPathCapacity - 1
// characters.
int join_path(char (&out)[kPathCapacity], const char *dir, const char *name);

// The parent directory, in place: `path` is cut at its last "/", and
// becomes "/" when that "/" is its first character. A path without any "/"
// is left as it is.
void parent_path(char (&path)[kPathCapacity]);

// `typed` made absolute and plain: a relative text is taken from `base` (an
// absolute path), then empty and "." components are dropped and ".." removes
// the component before it (never going above "/"). The result has no
// trailing "/" unless it is "/". Returns 0, or -1 with `out` unchanged when
// `typed` is empty or the result would not fit.
int normalise_path(char (&out)[kPathCapacity], const char *typed, const char *base);

// normalise_path of `path` against "/", in place. Returns 0 or -1.
int normalise_in_place(char (&path)[kPathCapacity]);

// Replaces everything after the last "/" of `path` with `tail`. Returns 0,
// or -1 with `path` unchanged when `path` has no "/" or the result would not
// fit.
int replace_last_component(char (&path)[kPathCapacity], const char *tail);

// The path of a chosen file: `name` itself when it is absolute, otherwise
// join_path of `dir` and `name`. Returns 0 or -1 as join_path.
int file_path_in(char (&out)[kPathCapacity], const char *dir, const char *name);
