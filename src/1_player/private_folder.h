// The folders that hold what is the user's alone: the control socket's
// and the resume file's ("~/.xq"). Another user who can write to such a
// folder, or to the folder it was made in, can move it away and put a
// socket or a link of their own in its place; so these folders are trusted
// only as OpenSSH trusts its own: owned by the user and writable by nobody
// else. A symbolic link is judged by the folder it leads to: dotfiles kept
// in a folder of the user's own and linked into HOME are fine, a link into
// another user's folder is not.
#pragma once

#include <cstddef>

// What a folder is to the user.
enum class FolderTrust {
    own,             // a directory of the user's that only the user may write
    missing,         // nothing there (nor where a link leads)
    not_directory,   // something other than a directory
    foreign,         // a directory of another user's
    open_to_others,  // the user's, but its group or others may write to it
    unknown,         // it could not be looked at
};

// Looks at `dir`, or at the folder it leads to when it is a link.
FolderTrust examine_own_folder(const char *dir);

// The reason a folder is not the user's own, to follow its name in a
// message: "belongs to another user", "can be written by other users"...
const char *folder_trust_text(FolderTrust trust);

// True when a folder of the user's may be made in `parent` without anyone
// else being able to move it away: `parent` (its links followed) is a
// directory owned by the user or by root that nobody else may write to,
// or a sticky one (as /tmp), where only its owner moves what another made.
bool safe_parent_folder(const char *parent);

// The runtime directory the control socket goes in: `runtime_dir` when it
// is set and safe_parent_folder; otherwise null, and the socket goes in
// "~/.xq" as without one.
const char *usable_runtime_dir(const char *runtime_dir);

// Makes `dir` (mode 0700) unless it exists, and checks that it is the
// user's own; read and search bits of others are taken away (a folder the
// user made read-only stays so). Returns 0, or -1 with the reason in
// `message`, behind `what` ("No remote control").
int make_own_folder(const char *dir, const char *what, char *message, std::size_t size);
