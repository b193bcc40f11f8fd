// Paths through archives and compressed files, read with libarchive.
//
// A path may pass through an archive as through a directory:
// "pack.zip/sub/song.xm" names the member "sub/song.xm" of pack.zip. The
// first component of a path that is a regular file with more components
// after it is the archive entered; a directory named "x.zip" stays a
// directory. One archive inside another may be entered ("outer.zip/
// inner.zip/song.xm"); deeper ones are listed, not entered. A compressed
// single file ("song.xm.gz") and a zip holding one module ("song.mdz") are
// read as the module they hold.
//
// Bounds, so that a hostile file costs little: a member is read into
// memory up to kMaxModuleBytes and never past the bomb bound
// (archive_bomb_bound: 200 times the archive file's size, at least
// 16 MiB), listing an archive stops at kMaxArchiveMembers members, and
// walking one where passing a member unpacks it (a tar.gz, a 7z) stops once
// the members passed add up to 200 times its size (at least 16 MiB); a
// member whose name is absolute or holds ".." is listed but never read.
// Nothing here writes a file. Only the file selector's and the loader's
// threads call in; the sound thread never does.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// The most members one listing of an archive keeps.
inline constexpr int kMaxArchiveMembers = 16383;
// A member may unpack to this many times its archive's size...
inline constexpr long long kArchiveBombRatio = 200;
// ...and to at least this many bytes whatever its archive's size.
inline constexpr long long kArchiveBombFloorBytes = 16LL << 20;

// The most bytes one member of an archive of `archive_bytes` bytes may
// unpack to: kArchiveBombRatio times its size, at least
// kArchiveBombFloorBytes, at most kMaxModuleBytes.
long long archive_bomb_bound(long long archive_bytes);

// Where a path enters an archive.
struct ArchiveSplit {
    std::string archive;  // the archive file ("" when the path enters none)
    std::string member;   // the path inside it; "" for the archive itself
};

// Splits `path` at the first component that is a regular file with more
// components after it, looking at the file system as it goes. Returns 1
// with `split` set when the path enters an archive, 0 when it does not (a
// plain path, perhaps one that does not exist), -1 with the reason in
// `message` when a component before the last is neither a directory nor a
// regular file (a FIFO or device named like an archive).
int split_archive_path(const char *path, ArchiveSplit &split, char *message, std::size_t size);

// Pure: true when `name` ends like an archive of many files (.zip, .7z,
// .rar, .lha, .lzh, .cab, .tar and its compressed forms .tgz, .tar.gz, ...),
// compared without case. A zip holding one module (.mdz, .s3z, .itz,
// .xmz) and a single compressed file (.gz, .bz2, .xz, ...) are modules,
// not archives.
bool has_archive_name(const char *name);

// Pure: a member name as paths use it: "./" prefixes, empty components and
// a trailing "/" dropped. Returns false for a name that must never be
// resolved: an absolute one or one with a ".." component.
bool normalise_member_name(const char *raw, std::string &out);

// One member of an archive as its listing found it.
struct ArchiveMember {
    std::string name;       // normalised; for an unsafe member the name as stored
    long long size = -1;    // unpacked bytes, -1 when the archive does not say
    bool directory = false;
    bool encrypted = false;
    bool unsafe = false;    // absolute or ".." name: shown, never read
};

// One reading of an archive's member list.
struct ArchiveIndex {
    std::string path;                    // the archive (perhaps "outer.zip/inner.zip")
    std::vector<ArchiveMember> members;  // in the archive's own order
    std::string problem;                 // why the listing stopped early or is partial; "" when whole
    bool nested = false;                 // an archive inside another: its archives are not entered
};

// Reads the member list of the archive at `path` (a file, or a member of
// one archive that is itself an archive). Returns 0 (with index.problem
// set when only part of it could be listed: damaged, too many members,
// a bomb, changed while read), or -1 with the reason in `message` when
// nothing could be listed.
int read_archive_index(const char *path, ArchiveIndex &index, char *message, std::size_t size);

// What an entry of an archive folder is.
enum class ArchiveEntryKind { folder, archive, file, encrypted, unsafe };

struct ArchiveEntry {
    std::string name;  // within the folder; an unsafe member's whole name
    ArchiveEntryKind kind = ArchiveEntryKind::file;
    long long size = -1;
};

// Pure: the entries of `folder` ("" for the archive's top, "sub/dir"
// otherwise) in the index, each name once: folders, including those only
// implied by deeper members; archives (members named like one, entered like
// folders unless the index is itself nested); files. Unsafe members show
// at the top. Unsorted.
std::vector<ArchiveEntry> archive_folder(const ArchiveIndex &index, const std::string &folder);

// Reads the module at `path` when it passes through an archive or is a
// compressed file or a one-module zip. Returns 1 when `path` is neither
// (the caller reads the plain file), 0 with the module's bytes in `data`,
// or -1 with the reason in `message`. The pack read last stays open where
// the reading stopped, so that members read in the pack's order are found
// by reading on; it is opened again for a member passed already or when
// the file has changed.
int read_packed_module(const char *path, std::vector<char> &data, char *message, std::size_t size);

// Reads the member `member` of the plain zip `archive` by going straight
// to its local header, as the zip's central directory places it (the
// directories of the last two zips read are kept while their files stay
// as they were). Returns 0 with the member's bytes, or 1 when the member
// is not read this way: not a zip, a directory that can't be trusted, a
// member it does not name as a file, an encrypted member, one over the
// bounds, or one whose own records disagree with the directory.
// read_packed_module tries this first for a path into a pack, and walks the
// pack when it returns 1.
int read_zip_member_directly(const char *archive, const char *member, std::vector<char> &data);

// True when the regular file at `path` is an archive of many files by its
// content (not a compressed single file, not a one-module zip by its name).
bool is_archive_file(const char *path);

// True when `path` can be read: a readable file, or a path into a readable
// archive file (whether the member is there shows when it is read).
bool path_readable(const char *path);

// For the File row: the member's own name and the archive's file name
// ("song.xm", "pack.zip") when `path` passes through an archive; false for
// any other path.
bool archive_member_names(const char *path, std::string &member, std::string &archive);
