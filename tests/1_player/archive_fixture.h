// Archives written by the tests themselves through libarchive, for the
// readers of paths through archives.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct FixtureMember {
    std::string name;
    std::string data;
    bool directory = false;
};

// The archive kinds the tests write.
enum class FixtureKind { zip_stored, zip_deflated, zip_encrypted, seven_zip, tar, tar_gz, tar_xz, tar_bz2, gz };

// Writes `members` into a new archive at `path`. A gz holds the first
// member's data alone.
void write_fixture_archive(const std::string &path, FixtureKind kind, const std::vector<FixtureMember> &members);

// The bytes of the file at `path`.
std::string fixture_bytes(const std::string &path);

// A zip built byte by byte, its members stored, for the records a writer
// would not produce: ZIP64 records, flags, names and offsets set by hand.
struct BuiltZipMember {
    BuiltZipMember(std::string name_, std::string data_, unsigned flags_ = 0, std::string local_name_ = "",
                   long long offset_ = -1)
        : name(std::move(name_)), data(std::move(data_)), flags(flags_), local_name(std::move(local_name_)),
          offset(offset_) {}
    std::string name;
    std::string data;
    unsigned flags = 0;           // general purpose flags, in both headers
    std::string local_name;       // the local header's name when it differs
    long long offset = -1;        // the offset the central directory gives, when not -1 (the real one)
};

struct BuiltZip {
    std::vector<BuiltZipMember> members;
    bool zip64 = false;           // saturated fields, ZIP64 extra fields and end records
    std::string comment;          // the end record's comment
};

std::string build_zip(const BuiltZip &zip);

// Where the central directory of a zip built by build_zip without a
// comment begins, read from its end record.
std::size_t built_directory_offset(const std::string &bytes);
