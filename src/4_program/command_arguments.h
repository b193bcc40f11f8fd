// The paths of the command line made into the playlist: each argument is a
// module, a playlist file (ours, M3U or PLS) or a directory, in any mix,
// and their modules go into the list in the order given.
#pragma once

#include <cstdio>

// What an argument names.
enum class ArgumentSort {
    unreadable,  // missing, or no permission to read it
    module,      // any other readable file: the module library decides
    playlist,    // a playlist file of a kind playlist_kind recognises
    directory,
    archive,     // a pack of modules (zip, 7z, tar, lha...) or a folder in one: its modules, as a directory's
};

ArgumentSort argument_sort(const char *path);

// True when `name` looks like a module file by its name: one of the
// module library's extensions (".xm", ".it", ".mod", ".s3m"... case
// ignored) or the Amiga prefix "mod.", also compressed (".xm.gz",
// ".it.bz2", ".mod.xz"...) or zipped alone (".mdz", ".s3z", ".itz",
// ".xmz"). Directories hold other files too.
bool module_file_name(const char *name);

// What collecting the arguments did.
struct CollectedArguments {
    int entries;     // entries in the playlist afterwards
    int left_out;    // modules that found the playlist full
    int unreadable;  // paths that could not be read, each reported
};

// The most directory entries the walks of one command line look at: room
// for a large collection of modules (the playlist holds 4096), and few
// enough that a walk of "/" ends within seconds.
inline constexpr long kWalkEntryBudget = 200000;

// Fills the playlist from `count` paths, relative ones taken from `cwd`:
// a module is added; a playlist's entries are added where it stands (each
// checked for reading); a directory adds the module files below it, sorted
// as the file selector sorts (sub-directories first, each walked in turn,
// then the files), hidden entries skipped and each directory walked once,
// however many symbolic links lead to it; a pack adds the modules inside
// it in the same order, its folders first (archives inside it are left
// out), with paths through it ("pack.zip/sub/song.xm"); a folder inside a
// pack ("pack.zip/sub") adds the modules below it. Every path that cannot be read
// or kept is reported on `errors`; modules that do not fit in the list are
// counted in one message at the end. Once the list is full no directory is
// walked any more, and the walks look at `entry_budget` directory entries
// at most; either cut is reported, naming the directory argument.
CollectedArguments collect_arguments(int count, char *const *paths, const char *cwd, FILE *errors,
                                     long entry_budget = kWalkEntryBudget);
