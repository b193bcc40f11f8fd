#include "1_player/zip_directory.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "1_player/archive_path.h"
#include "../3_filesel/temp_tree.h"
#include "archive_fixture.h"

namespace {

std::string song_bytes(char seed, std::size_t n = 3000) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(seed + i * 7 % 251);
    return s;
}

bool parse(const std::string &bytes, ZipDirectory &out) {
    return parse_zip_directory(
        static_cast<long long>(bytes.size()),
        [&](long long at, std::size_t n, unsigned char *to) {
            if (at < 0 || static_cast<std::size_t>(at) > bytes.size() || n > bytes.size() - static_cast<std::size_t>(at))
                return false;
            std::memcpy(to, bytes.data() + at, n);
            return true;
        },
        out);
}

// "name size", with " dir" or " encrypted" after it.
std::vector<std::string> summary(const ZipDirectory &directory) {
    std::vector<std::string> out;
    for (const ZipEntry &e : directory.entries)
        out.push_back(e.name + " " + std::to_string(e.size) + (e.directory ? " dir" : "") +
                      (e.encrypted ? " encrypted" : ""));
    return out;
}

std::string written(const TempTree &tree, const char *name, FixtureKind kind, const std::vector<FixtureMember> &members) {
    write_fixture_archive(tree / name, kind, members);
    return fixture_bytes(tree / name);
}

BuiltZip two_songs() { return BuiltZip{{{"a.xm", song_bytes('a', 100)}, {"b.xm", song_bytes('b', 200)}}, false, ""}; }

std::string end_record(unsigned count, unsigned long directory_bytes, unsigned long directory_offset) {
    std::string e("PK\5\6", 4);
    auto put = [&](unsigned long v, int n) {
        for (int i = 0; i < n; ++i) e += static_cast<char>((v >> (8 * i)) & 0xff);
    };
    put(0, 4);
    put(count, 2);
    put(count, 2);
    put(directory_bytes, 4);
    put(directory_offset, 4);
    put(0, 2);
    return e;
}

std::vector<BuiltZipMember> empty_members(int n) {
    std::vector<BuiltZipMember> members;
    for (int i = 0; i < n; ++i) members.emplace_back("m" + std::to_string(i), "");
    return members;
}

}  // namespace

// Each directory read or refused as a whole; a directory read places each
// member's local header, and all of its records, before the next one.
TEST(ZipDirectory, ADirectoryIsReadWhenItHoldsTogetherAndRefusedOtherwise) {
    TempTree tree;
    const std::vector<FixtureMember> members = {
        {"a.xm", song_bytes('a')}, {"sub/", "", true}, {"sub/b.xm", song_bytes('b')}};

    BuiltZip encrypted = two_songs();
    encrypted.members[1].flags = 1;
    BuiltZip zip64 = two_songs();
    zip64.zip64 = true;
    BuiltZip unsafe{{{"../evil.xm", "evil"}, {"/abs.xm", "abs"}, {"good.xm", "good"}}, false, ""};
    // A comment ending in an end record of its own, whose directory is
    // not there.
    BuiltZip fake_end = two_songs();
    fake_end.comment = "made by hand " + end_record(1, 46, 0);
    BuiltZip fake_signature = two_songs();
    fake_signature.comment = std::string("PK\5\6", 4) + "in a comment";

    const std::string two = build_zip(two_songs());
    const std::size_t directory = built_directory_offset(two);
    // The directory's last record taken out, its end record kept.
    std::string short_directory = two;
    short_directory.erase(short_directory.size() - 22 - 46 - 4, 46 + 4);
    // Bytes between the directory and its end record, counted in the
    // directory's size or not.
    std::string gap = two;
    gap.insert(gap.size() - 22, "0123456789");
    std::string counted_gap = gap;
    counted_gap[counted_gap.size() - 22 + 12] = static_cast<char>(counted_gap[counted_gap.size() - 22 + 12] + 10);
    BuiltZip past_end = two_songs();
    past_end.members[1].offset = 1 << 30;
    BuiltZip past_end64 = two_songs();
    past_end64.zip64 = true;
    past_end64.members[1].offset = 1LL << 40;
    BuiltZip wrapping64 = past_end64;
    // 2^64 - 334 as stored: with its header and data it would end before 0.
    wrapping64.members[1].offset = -334;
    BuiltZip overlapping = two_songs();
    overlapping.members[1].offset = 0;
    BuiltZip long_name = two_songs();
    long_name.members[0].name = std::string(5000, 'n');

    const struct {
        const char *what;
        std::string bytes;
        bool trusted;
        std::vector<std::string> entries;
    } cases[] = {
        {"stored, by libarchive", written(tree, "stored.zip", FixtureKind::zip_stored, members), true,
         {"a.xm 3000", "sub/ 0 dir", "sub/b.xm 3000"}},
        {"deflated, by libarchive", written(tree, "deflated.zip", FixtureKind::zip_deflated, members), true,
         {"a.xm 3000", "sub/ 0 dir", "sub/b.xm 3000"}},
        {"encrypted, by libarchive",
         written(tree, "sealed.zip", FixtureKind::zip_encrypted, {{"song.xm", song_bytes('s')}}), true,
         {"song.xm 3000 encrypted"}},
        {"built", two, true, {"a.xm 100", "b.xm 200"}},
        {"encryption flag", build_zip(encrypted), true, {"a.xm 100", "b.xm 200 encrypted"}},
        {"ZIP64", build_zip(zip64), true, {"a.xm 100", "b.xm 200"}},
        {"unsafe names", build_zip(unsafe), true, {"../evil.xm 4", "/abs.xm 3", "good.xm 4"}},
        {"a comment ending in an end record", build_zip(fake_end), true, {"a.xm 100", "b.xm 200"}},
        {"a comment holding a signature", build_zip(fake_signature), true, {"a.xm 100", "b.xm 200"}},
        {"as many members as listed", build_zip({empty_members(kMaxArchiveMembers), false, ""}), true, {}},
        {"a directory missing its last record", short_directory, false, {}},
        {"cut in the directory", two.substr(0, directory + 50), false, {}},
        {"bytes before the end record", gap, false, {}},
        {"bytes after the last record", counted_gap, false, {}},
        {"cut in the end record", two.substr(0, two.size() - 1), false, {}},
        {"an offset past the end", build_zip(past_end), false, {}},
        {"a ZIP64 offset past the end", build_zip(past_end64), false, {}},
        {"a ZIP64 offset that wraps around", build_zip(wrapping64), false, {}},
        {"overlapping members", build_zip(overlapping), false, {}},
        {"a name longer than PATH_MAX", build_zip(long_name), false, {}},
        {"more members than listed", build_zip({empty_members(kMaxArchiveMembers + 1), false, ""}), false, {}},
        {"noise", "PK\3\4" + std::string(300, 'x'), false, {}},
        {"empty", "", false, {}},
    };
    for (const auto &c : cases) {
        ZipDirectory got;
        ASSERT_EQ(parse(c.bytes, got), c.trusted) << c.what;
        if (!c.trusted) {
            EXPECT_TRUE(got.entries.empty()) << c.what;
            continue;
        }
        if (!c.entries.empty()) {
            EXPECT_EQ(summary(got), c.entries) << c.what;
        }
        long long before = 0;
        for (const ZipEntry &e : got.entries) {
            EXPECT_EQ(c.bytes.compare(static_cast<std::size_t>(e.offset), 4, "PK\3\4"), 0) << c.what << ": " << e.name;
            EXPECT_GE(e.offset, before) << c.what << ": " << e.name;
            EXPECT_GE(e.end - e.offset, 30 + static_cast<long long>(e.name.size()) + e.packed) << c.what;
            before = e.end;
        }
        EXPECT_LE(before, got.directory_offset) << c.what;
    }
}

// Members are found by their names as paths use them; unsafe names and
// folders never are.
TEST(ZipDirectory, MembersAreFoundByNormalisedNameOnly) {
    BuiltZip zip{{{"../evil.xm", "evil"},
                  {"./sub//song.xm", "song"},
                  {"sub/", ""},
                  {"twice.xm", "first"},
                  {"twice.xm", "second"}},
                 false,
                 ""};
    ZipDirectory directory;
    ASSERT_TRUE(parse(build_zip(zip), directory));
    const struct {
        const char *wanted;
        const char *name;  // null when not found
        long long size;
    } cases[] = {
        {"sub/song.xm", "./sub//song.xm", 4},
        {"twice.xm", "twice.xm", 5},  // the first in the file's order
        {"evil.xm", nullptr, 0},
        {"../evil.xm", nullptr, 0},
        {"sub", nullptr, 0},
        {"missing.xm", nullptr, 0},
    };
    for (const auto &c : cases) {
        const ZipEntry *entry = directory.find(c.wanted);
        if (!c.name) {
            EXPECT_EQ(entry, nullptr) << c.wanted;
            continue;
        }
        ASSERT_NE(entry, nullptr) << c.wanted;
        EXPECT_EQ(entry->name, c.name);
        EXPECT_EQ(entry->size, c.size) << c.wanted;
    }
}
