// Archives written by the tests themselves through libarchive, for the
// readers of paths through archives.
#pragma once

#include <string>
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
