// Saving a file whole or not at all: the text goes to a temporary file
// beside the target, which is renamed over it once every byte is on disk.
#pragma once

#include <cstddef>
#include <cstdio>

// Writes the file's text to `file`; returns false when a write failed.
using ContentWriter = bool (*)(std::FILE *file, const void *context);

// What save_atomically did.
enum class SaveOutcome {
    saved,
    not_opened,   // the target could not be found out, is not a regular file, or no temporary file could be made
    not_written,  // a write, flush, chmod, sync, close or the rename failed; the old file is whole
};

// Saves what `write_content` writes to `path`. A symbolic link is followed
// to its target (the link stays, the target gets the text), the temporary
// file is made in the target's directory, and a target that exists but is
// not a regular file (a device, a FIFO, a directory) is refused. The saved
// file keeps the old file's permissions, or gets those the umask leaves of
// rw-rw-rw-. On anything but SaveOutcome::saved, `failure` holds the errno
// value or kNotRegularFile, and no temporary file is left.
// A `private_file` (one that names the user's files) is always rw-------.
SaveOutcome save_atomically(const char *path, ContentWriter write_content, const void *context, int &failure,
                            bool private_file = false);

// The file a save to `path` writes: `path` itself, or the end of its chain
// of symbolic links (a relative link taken from the link's directory), which
// need not exist yet. Returns 0, or -1 with `failure` set (ELOOP for a
// chain of more than 40 links, ENAMETOOLONG when the target does not fit,
// kNotRegularFile when it exists and is not a regular file).
int save_target(const char *path, char *target, std::size_t size, int &failure);

// `before`, `path` and `after` as one message; a path too long for it is
// cut to its tail, behind a "~", so that the reason still fits.
void format_with_path(char *message, std::size_t size, const char *before, const char *path, const char *after);

// save_atomically, with its outcome as the text for the user in `message`:
// "'PATH' saved." or why not ("Can't save 'PATH': not a regular file.",
// "Can't open 'PATH'.", "Can't write 'PATH': REASON."), the path cut by
// format_with_path. Returns 0 when saved, -1 otherwise.
int save_with_message(const char *path, ContentWriter write_content, const void *context, char *message,
                      std::size_t message_size, bool private_file = false);
