// A zip's central directory, read from its end records: where each
// member's local header stands, so that one member is read by going
// straight to it instead of walking past the members before it.
//
// Nothing read from the file is trusted: every count, size and offset is
// checked against the file's size and against the records around it, and
// a directory that does not hold together (damaged, truncated, overlapping
// members, more than kMaxArchiveMembers members, a name longer than
// PATH_MAX, over kMaxZipDirectoryBytes, spread over several disks) is
// refused as a whole: the caller then reads the zip another way.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// The largest central directory read: room for kMaxArchiveMembers members
// with names of a few hundred bytes.
inline constexpr long long kMaxZipDirectoryBytes = 8LL << 20;
// An end record is 22 bytes and may be followed by a comment of up to
// 65535 bytes; the ZIP64 locator is the 20 bytes before it.
inline constexpr std::size_t kZipEndSearchBytes = 65535 + 22 + 20;

struct ZipEntry {
    std::string name;         // as stored
    long long offset = 0;     // of its local header
    long long end = 0;        // where the next record begins: the member's header, data and descriptor lie before
    long long packed = 0;     // compressed bytes
    long long size = 0;       // unpacked bytes
    int method = 0;           // 0 stored, 8 deflated, ...
    bool directory = false;
    bool encrypted = false;
};

struct ZipDirectory {
    std::vector<ZipEntry> entries;  // in the order of their local headers
    long long directory_offset = 0; // where the central directory begins

    // The first entry (in the file's order) that is a file whose name,
    // normalised as paths use it, is `wanted`; null when there is none or
    // the name is unsafe.
    const ZipEntry *find(const std::string &wanted) const;

    // Sorted by normalised name, then by offset: the lookup for find().
    std::vector<std::pair<std::string, std::size_t>> by_name;
};

// Reads `n` bytes at offset `at` of the file into `out`; false when they
// cannot all be read.
using ZipReadAt = std::function<bool(long long at, std::size_t n, unsigned char *out)>;

// Pure: reads the end records and central directory of a zip of
// `file_size` bytes through `read_at`. Returns true with `out` filled when
// the directory holds together, false (with `out` empty) when it cannot be
// trusted.
bool parse_zip_directory(long long file_size, const ZipReadAt &read_at, ZipDirectory &out);
