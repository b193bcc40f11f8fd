#include "1_player/archive_path.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <fcntl.h>
#include <filesystem>
#include <thread>
#include <vector>

#include "1_player/module_loader.h"
#include "../3_filesel/temp_tree.h"
#include "archive_fixture.h"

namespace {

// Bytes that differ from song to song, as a module's would.
std::string song_bytes(char seed, std::size_t n = 3000) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(seed + i * 7 % 251);
    return s;
}

std::string read_text(const std::string &path, int &status) {
    std::vector<char> data;
    char message[256] = {};
    status = read_module_file(path.c_str(), data, message, sizeof message);
    return status == 0 ? std::string(data.begin(), data.end()) : std::string(message);
}

}  // namespace

TEST(ArchivePath, MemberNamesAreNormalisedAndUnsafeOnesRefused) {
    const struct {
        const char *raw;
        bool safe;
        const char *name;
    } cases[] = {
        {"song.xm", true, "song.xm"},
        {"./sub//song.xm", true, "sub/song.xm"},
        {"sub/", true, "sub"},
        {"/etc/passwd", false, ""},
        {"../song.xm", false, ""},
        {"sub/../../song.xm", false, ""},
        {"sub/..", false, ""},
        {"..song.xm", true, "..song.xm"},
    };
    for (const auto &c : cases) {
        std::string name;
        EXPECT_EQ(normalise_member_name(c.raw, name), c.safe) << c.raw;
        if (c.safe) {
            EXPECT_EQ(name, c.name) << c.raw;
        }
    }
}

TEST(ArchivePath, ArchivesAreToldFromModulesByName) {
    const struct {
        const char *name;
        bool archive;
    } cases[] = {
        {"pack.zip", true},  {"PACK.ZIP", true},     {"p.7z", true},       {"p.tar.gz", true},
        {"p.tgz", true},     {"p.tar.bz2", true},    {"p.lha", true},      {"p.LZH", true},
        {"p.rar", true},     {"song.mdz", false},    {"song.xm.gz", false}, {"song.xm", false},
        {".zip", false},     {"song.it.bz2", false}, {"zip", false},
    };
    for (const auto &c : cases) EXPECT_EQ(has_archive_name(c.name), c.archive) << c.name;
}

TEST(ArchivePath, TheBombBoundFollowsTheArchiveSizeWithinItsFloorAndCeiling) {
    EXPECT_EQ(archive_bomb_bound(0), kArchiveBombFloorBytes);
    EXPECT_EQ(archive_bomb_bound(1000), kArchiveBombFloorBytes);
    EXPECT_EQ(archive_bomb_bound(1LL << 20), kArchiveBombRatio << 20);
    EXPECT_EQ(archive_bomb_bound(1LL << 40), kMaxModuleBytes);
}

TEST(ArchivePath, EveryKindOfPackHandsBackTheMemberNamed) {
    TempTree tree;
    const std::vector<FixtureMember> members = {
        {"first.xm", song_bytes('a')},
        {"sub/", "", true},
        {"sub/song.xm", song_bytes('b')},
        {"./implied/deep/last.mod", song_bytes('c')},
    };
    const struct {
        FixtureKind kind;
        const char *name;
    } packs[] = {
        {FixtureKind::zip_stored, "stored.zip"}, {FixtureKind::zip_deflated, "deflated.zip"},
        {FixtureKind::seven_zip, "pack.7z"},     {FixtureKind::tar, "pack.tar"},
        {FixtureKind::tar_gz, "pack.tar.gz"},    {FixtureKind::tar_xz, "pack.tar.xz"},
        {FixtureKind::tar_bz2, "pack.tar.bz2"},
    };
    for (const auto &p : packs) {
        write_fixture_archive(tree / p.name, p.kind, members);
        int status = -1;
        EXPECT_EQ(read_text(tree / p.name + "/sub/song.xm", status), song_bytes('b')) << p.name;
        EXPECT_EQ(read_text(tree / p.name + "//implied/deep/last.mod", status), song_bytes('c')) << p.name;
        EXPECT_EQ(read_text(tree / p.name + "/missing.xm", status), "No such member in the archive.") << p.name;
        EXPECT_EQ(read_text(tree / p.name + "/sub", status), "No such member in the archive.") << p.name;
        EXPECT_TRUE(is_archive_file((tree / p.name).c_str())) << p.name;
    }
}

TEST(ArchivePath, ACompressedFileOrAOneModuleZipIsTheModuleItHolds) {
    TempTree tree;
    write_fixture_archive(tree / "song.xm.gz", FixtureKind::gz, {{"song.xm", song_bytes('d')}});
    write_fixture_archive(tree / "song.mdz", FixtureKind::zip_deflated, {{"song.mod", song_bytes('e')}});
    write_fixture_archive(tree / "two.zip", FixtureKind::zip_deflated, {{"a.xm", "a"}, {"b.xm", "b"}});
    tree.file("plain.xm", 100);
    int status = -1;
    EXPECT_EQ(read_text(tree / "song.xm.gz", status), song_bytes('d'));
    EXPECT_EQ(read_text(tree / "song.mdz", status), song_bytes('e'));
    EXPECT_EQ(read_text(tree / "two.zip", status), "Archive of many files: open it as a folder.");
    EXPECT_EQ(read_text(tree / "plain.xm", status), std::string(100, 'x'));
    EXPECT_FALSE(is_archive_file((tree / "song.xm.gz").c_str()));
    EXPECT_FALSE(is_archive_file((tree / "song.mdz").c_str()));
    EXPECT_FALSE(is_archive_file((tree / "plain.xm").c_str()));
}

TEST(ArchivePath, ADirectoryNamedLikeAnArchiveStaysADirectory) {
    TempTree tree;
    tree.dir("x.zip");
    std::ofstream(tree / "x.zip/song.xm") << "plain";
    ArchiveSplit split;
    char message[128];
    EXPECT_EQ(split_archive_path((tree / "x.zip/song.xm").c_str(), split, message, sizeof message), 0);
    int status = -1;
    EXPECT_EQ(read_text(tree / "x.zip/song.xm", status), "plain");
}

TEST(ArchivePath, AnArchiveInsideAnArchiveIsEnteredOneLevelDeep) {
    TempTree tree;
    write_fixture_archive(tree / "inner2.zip", FixtureKind::zip_deflated, {{"deep.xm", "deep"}});
    write_fixture_archive(tree / "inner.zip", FixtureKind::zip_deflated,
                          {{"song.xm", song_bytes('f')}, {"inner2.zip", fixture_bytes(tree / "inner2.zip")}});
    write_fixture_archive(tree / "outer.tar.gz", FixtureKind::tar_gz,
                          {{"a.xm", "a"}, {"packs/inner.zip", fixture_bytes(tree / "inner.zip")}});
    int status = -1;
    EXPECT_EQ(read_text(tree / "outer.tar.gz/packs/inner.zip/song.xm", status), song_bytes('f'));
    EXPECT_EQ(read_text(tree / "outer.tar.gz/packs/inner.zip/inner2.zip/deep.xm", status),
              "Archives nested deeper than one level are not opened.");

    ArchiveIndex index;
    char message[256];
    ASSERT_EQ(read_archive_index((tree / "outer.tar.gz/packs/inner.zip").c_str(), index, message, sizeof message), 0);
    EXPECT_TRUE(index.nested);
    const std::vector<ArchiveEntry> entries = archive_folder(index, "");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].name, "inner2.zip");
    EXPECT_EQ(entries[1].kind, ArchiveEntryKind::file);  // listed, not entered
}

TEST(ArchivePath, AFolderListsItsOwnEntriesOnceWithImpliedFolders) {
    ArchiveIndex index;
    index.members = {
        {"a.xm", 10, false, false, false},        {"sub", -1, true, false, false},
        {"sub/b.xm", 20, false, false, false},    {"deep/er/c.xm", 30, false, false, false},
        {"deep/d.zip", 40, false, false, false},  {"../evil.xm", 5, false, false, true},
        {"sealed.xm", 6, false, true, false},
    };
    auto names_of = [](const std::vector<ArchiveEntry> &entries) {
        std::vector<std::string> out;
        for (const ArchiveEntry &e : entries) out.push_back(e.name + ":" + std::to_string(static_cast<int>(e.kind)));
        return out;
    };
    const auto folder = std::to_string(static_cast<int>(ArchiveEntryKind::folder));
    const auto archive = std::to_string(static_cast<int>(ArchiveEntryKind::archive));
    const auto file = std::to_string(static_cast<int>(ArchiveEntryKind::file));
    const auto encrypted = std::to_string(static_cast<int>(ArchiveEntryKind::encrypted));
    const auto unsafe = std::to_string(static_cast<int>(ArchiveEntryKind::unsafe));
    EXPECT_EQ(names_of(archive_folder(index, "")),
              (std::vector<std::string>{"a.xm:" + file, "sub:" + folder, "deep:" + folder, "../evil.xm:" + unsafe,
                                        "sealed.xm:" + encrypted}));
    EXPECT_EQ(names_of(archive_folder(index, "deep")),
              (std::vector<std::string>{"er:" + folder, "d.zip:" + archive}));
    EXPECT_EQ(names_of(archive_folder(index, "sub")), (std::vector<std::string>{"b.xm:" + file}));
}

// Each bad pack gets its reason, at once, and the rest of it stays usable.
TEST(ArchivePath, BadPacksAreRefusedWithAReason) {
    TempTree tree;
    write_fixture_archive(tree / "sealed.zip", FixtureKind::zip_encrypted, {{"song.xm", song_bytes('g')}});
    write_fixture_archive(tree / "names.tar", FixtureKind::tar,
                          {{"../escape.xm", "out"}, {"/abs.xm", "abs"}, {"good.xm", "good"}});
    write_fixture_archive(tree / "bomb.zip", FixtureKind::zip_deflated,
                          {{"zeros.xm", std::string(40 << 20, '\0')}, {"good.xm", "good"}});
    write_fixture_archive(tree / "bomb.tar.gz", FixtureKind::tar_gz,
                          {{"zeros.xm", std::string(40 << 20, '\0')}, {"good.xm", "good"}});
    write_fixture_archive(tree / "whole.zip", FixtureKind::zip_deflated,
                          {{"a.xm", song_bytes('h', 200000)}, {"b.xm", song_bytes('i', 200000)}});
    const std::string whole = fixture_bytes(tree / "whole.zip");
    std::ofstream(tree / "cut.zip", std::ios::binary) << whole.substr(0, whole.size() / 2);
    std::ofstream(tree / "noise.zip", std::ios::binary) << "PK\3\4" + std::string(300, 'x');
    ASSERT_EQ(mkfifo((tree / "fifo.zip").c_str(), 0600), 0);
    tree.file("empty.zip", 0);

    const struct {
        std::string path;
        const char *reason;
    } cases[] = {
        {"sealed.zip/song.xm", "Member is encrypted."},
        {"names.tar/../escape.xm", "Member name leaves the archive: refused."},
        {"names.tar/good.xm", nullptr},
        {"bomb.zip/zeros.xm", "Member unpacks to over 200 times its archive's size: refused."},
        {"bomb.zip/good.xm", nullptr},
        // In a compressed stream the member after a bomb is out of reach.
        {"bomb.tar.gz/zeros.xm", "Member unpacks to over 200 times its archive's size: refused."},
        {"bomb.tar.gz/good.xm", "Archive unpacks to over 200 times its size: refused."},
        {"cut.zip/b.xm", "Damaged archive: "},
        {"noise.zip/a.xm", "Damaged archive: "},
        {"fifo.zip/song.xm", "Not a file."},
        {"empty.zip/song.xm", "Damaged archive: "},
    };
    for (const auto &c : cases) {
        const auto start = std::chrono::steady_clock::now();
        int status = 0;
        const std::string got = read_text(tree / c.path, status);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.path;
        if (!c.reason) {
            EXPECT_EQ(status, 0) << c.path << ": " << got;
            EXPECT_EQ(got, "good");
        } else {
            EXPECT_EQ(status, -1) << c.path;
            EXPECT_EQ(got.rfind(c.reason, 0), 0u) << c.path << ": " << got;
        }
    }

    ArchiveIndex index;
    char message[256];
    ASSERT_EQ(read_archive_index((tree / "names.tar").c_str(), index, message, sizeof message), 0);
    ASSERT_EQ(index.members.size(), 3u);
    EXPECT_TRUE(index.members[0].unsafe);
    EXPECT_EQ(index.members[0].name, "../escape.xm");  // shown as stored
    EXPECT_TRUE(index.members[1].unsafe);
    EXPECT_FALSE(index.members[2].unsafe);
    ASSERT_EQ(read_archive_index((tree / "bomb.tar.gz").c_str(), index, message, sizeof message), 0);
    EXPECT_EQ(index.problem, "Archive unpacks to over 200 times its size: listed in part.");
    ASSERT_EQ(read_archive_index((tree / "sealed.zip").c_str(), index, message, sizeof message), 0);
    ASSERT_EQ(index.members.size(), 1u);
    EXPECT_TRUE(index.members[0].encrypted);
    EXPECT_EQ(read_archive_index((tree / "fifo.zip").c_str(), index, message, sizeof message), -1);
    EXPECT_STREQ(message, "Not a file.");
    // A truncated pack lists what comes before the damage, or refuses.
    if (read_archive_index((tree / "cut.zip").c_str(), index, message, sizeof message) == 0) {
        EXPECT_FALSE(index.problem.empty());
    }
}

// Members read in the pack's order, against it, and after the pack was
// written anew: each read gives the member's bytes as the file holds them.
TEST(ArchivePath, ReadingOnThroughAPackFollowsItsChanges) {
    TempTree tree;
    std::vector<FixtureMember> members;
    for (char c = 'a'; c <= 'f'; ++c) members.push_back({std::string(1, c) + ".xm", song_bytes(c)});
    write_fixture_archive(tree / "pack.tar.gz", FixtureKind::tar_gz, members);
    int status = -1;
    for (const char *name : {"a.xm", "c.xm", "d.xm", "b.xm", "f.xm", "f.xm", "e.xm", "a.xm"})
        EXPECT_EQ(read_text(tree / "pack.tar.gz/" + name, status), song_bytes(name[0])) << name;
    EXPECT_EQ(read_text(tree / "pack.tar.gz/b.xm", status), song_bytes('b'));
    members[3].data = song_bytes('z');  // d.xm, after b.xm: read on, from a new file
    write_fixture_archive(tree / "new.tar.gz", FixtureKind::tar_gz, members);
    ASSERT_EQ(std::rename((tree / "new.tar.gz").c_str(), (tree / "pack.tar.gz").c_str()), 0);
    EXPECT_EQ(read_text(tree / "pack.tar.gz/d.xm", status), song_bytes('z'));
    EXPECT_EQ(read_text(tree / "pack.tar.gz/missing.xm", status), "No such member in the archive.");
    EXPECT_EQ(read_text(tree / "pack.tar.gz/e.xm", status), song_bytes('e'));
}

TEST(ArchivePath, AListingStopsAtItsLimitAndSaysSo) {
    TempTree tree;
    std::vector<FixtureMember> many;
    for (int i = 0; i < kMaxArchiveMembers + 10; ++i) many.push_back({"m" + std::to_string(i) + ".xm", ""});
    write_fixture_archive(tree / "many.tar", FixtureKind::tar, many);
    ArchiveIndex index;
    char message[256];
    ASSERT_EQ(read_archive_index((tree / "many.tar").c_str(), index, message, sizeof message), 0);
    EXPECT_EQ(static_cast<int>(index.members.size()), kMaxArchiveMembers);
    EXPECT_EQ(index.problem, "Only the first 16383 members are listed.");
}

// A pack written anew while it is listed: the listing is of the file as it
// was opened, and says that it changed.
TEST(ArchivePath, APackChangedWhileListedSaysSo) {
    TempTree tree;
    std::vector<FixtureMember> many;
    for (int i = 0; i < 16000; ++i) many.push_back({"m" + std::to_string(i) + ".xm", "x"});
    write_fixture_archive(tree / "a.tar", FixtureKind::tar, many);
    write_fixture_archive(tree / "b.tar", FixtureKind::tar, many);
    ASSERT_EQ(std::rename((tree / "a.tar").c_str(), (tree / "pack.tar").c_str()), 0);
    std::atomic<bool> listing{true};
    std::thread writer([&] {
        // Once the pack is open for its listing, its copy takes its place.
        const std::filesystem::path pack = tree / "pack.tar";
        while (listing) {
            std::error_code error;
            for (const auto &fd : std::filesystem::directory_iterator("/proc/self/fd", error)) {
                if (std::filesystem::read_symlink(fd.path(), error) != pack) continue;
                renameat2(AT_FDCWD, (tree / "pack.tar").c_str(), AT_FDCWD, (tree / "b.tar").c_str(), RENAME_EXCHANGE);
                return;
            }
        }
    });
    ArchiveIndex index;
    char message[256];
    const int read = read_archive_index((tree / "pack.tar").c_str(), index, message, sizeof message);
    listing = false;
    writer.join();
    ASSERT_EQ(read, 0);
    EXPECT_EQ(index.members.size(), many.size());
    EXPECT_EQ(index.problem, "Archive changed while it was read: listed as read.");
}

TEST(ArchivePath, TheFileRowNamesTheMemberAndItsArchive) {
    TempTree tree;
    write_fixture_archive(tree / "pack.zip", FixtureKind::zip_deflated, {{"sub/song.xm", "x"}});
    std::string member;
    std::string archive;
    ASSERT_TRUE(archive_member_names((tree / "pack.zip/sub/song.xm").c_str(), member, archive));
    EXPECT_EQ(member, "song.xm");
    EXPECT_EQ(archive, "pack.zip");
    ASSERT_TRUE(archive_member_names((tree / "pack.zip/in.zip/song.xm").c_str(), member, archive));
    EXPECT_EQ(archive, "in.zip");
    EXPECT_FALSE(archive_member_names((tree / "pack.zip").c_str(), member, archive));
}

// A member near the end of a large zip is read straight from where the
// zip's directory places it, and read the same through a path.
TEST(ArchivePath, AMemberNearTheEndOfALargeZipIsReadThroughItsDirectory) {
    TempTree tree;
    std::vector<FixtureMember> members;
    for (int i = 0; i < 2000; ++i)
        members.push_back({"songs/m" + std::to_string(i) + ".xm", song_bytes(static_cast<char>(i), 1000 + i)});
    write_fixture_archive(tree / "pack.zip", FixtureKind::zip_deflated, members);
    for (int i : {1990, 1999, 0, 1990}) {
        std::vector<char> data;
        ASSERT_EQ(read_zip_member_directly((tree / "pack.zip").c_str(), members[i].name.c_str(), data), 0) << i;
        EXPECT_EQ(std::string(data.begin(), data.end()), members[i].data) << i;
        int status = -1;
        EXPECT_EQ(read_text(tree / "pack.zip/" + members[i].name, status), members[i].data) << i;
    }
    std::vector<char> data;
    EXPECT_EQ(read_zip_member_directly((tree / "pack.zip").c_str(), "songs/missing.xm", data), 1);
    int status = -1;
    EXPECT_EQ(read_text(tree / "pack.zip/songs/missing.xm", status), "No such member in the archive.");
}

// A zip written anew in place, its member moved: its directory is read
// again, and the member is read from where it now stands.
TEST(ArchivePath, AZipWrittenAnewIsReadFromItsNewDirectory) {
    TempTree tree;
    const std::string path = tree / "pack.zip";
    std::ofstream(path, std::ios::binary) << build_zip({{{"a.xm", "first a"}, {"b.xm", "first b"}}, false, ""});
    std::vector<char> data;
    ASSERT_EQ(read_zip_member_directly(path.c_str(), "b.xm", data), 0);
    EXPECT_EQ(std::string(data.begin(), data.end()), "first b");
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        << build_zip({{{"new.xm", song_bytes('n', 500)}, {"a.xm", "first a"}, {"b.xm", "second b"}}, false, ""});
    ASSERT_EQ(read_zip_member_directly(path.c_str(), "b.xm", data), 0);
    EXPECT_EQ(std::string(data.begin(), data.end()), "second b");
}

// A zip member is read directly only where the zip's directory and the
// member's own records agree; the rest is left to the walk through the
// pack, which reads it or gives its reason.
TEST(ArchivePath, ZipMembersAreReadDirectlyOnlyWhereTheirRecordsAgree) {
    TempTree tree;
    write_fixture_archive(tree / "sealed.zip", FixtureKind::zip_encrypted, {{"song.xm", song_bytes('g')}});
    write_fixture_archive(tree / "inner.zip", FixtureKind::zip_deflated, {{"song.xm", song_bytes('f')}});
    write_fixture_archive(tree / "outer.zip", FixtureKind::zip_stored,
                          {{"inner.zip", fixture_bytes(tree / "inner.zip")}, {"good.xm", "good"}});
    write_fixture_archive(tree / "pack.tar", FixtureKind::tar, {{"good.xm", "good"}});
    write_fixture_archive(tree / "stored.zip", FixtureKind::zip_stored, {{"a.xm", "aaaa"}, {"good.xm", "good"}});
    std::ofstream(tree / "names.zip", std::ios::binary)
        << build_zip({{{"../evil.xm", "evil"},
                       {"good.xm", "good", 0, "../twin.xm"},
                       {"twin.xm", "twin", 0, "other.xm"},
                       {"fine.xm", "fine"}},
                      false,
                      ""});
    std::ofstream(tree / "zip64.zip", std::ios::binary)
        << build_zip({{{"a.xm", "aaaa"}, {"good.xm", "good"}}, true, ""});
    const std::string whole = build_zip({{{"a.xm", "aaaa"}, {"b.xm", "bbbb"}}, false, ""});
    std::string bad_crc = whole;
    bad_crc[30 + 4] = 'x';  // a.xm's data
    std::ofstream(tree / "crc.zip", std::ios::binary) << bad_crc;
    std::string bad_header = whole;
    bad_header[28] = bad_header[29] = '\xff';  // a.xm's local extra field runs past the file
    std::ofstream(tree / "damaged.zip", std::ios::binary) << bad_header;

    const struct {
        const char *archive;
        const char *member;
        int direct;
        const char *read;  // what a path to it reads, or the reason it gives
    } cases[] = {
        {"sealed.zip", "song.xm", 1, "Member is encrypted."},
        {"outer.zip", "inner.zip/song.xm", 1, nullptr},
        {"outer.zip", "good.xm", 0, "good"},
        {"pack.tar", "good.xm", 1, "good"},
        {"stored.zip", "good.xm", 0, "good"},
        {"zip64.zip", "good.xm", 0, "good"},
        {"names.zip", "../evil.xm", 1, "Member name leaves the archive: refused."},
        {"names.zip", "good.xm", 1, nullptr},  // its local header names another
        {"names.zip", "twin.xm", 1, nullptr},
        {"names.zip", "fine.xm", 0, "fine"},
        {"crc.zip", "a.xm", 1, "Damaged archive: "},
        {"crc.zip", "b.xm", 0, "bbbb"},
        // The walk stops at the damaged header; the directory leads past it.
        {"damaged.zip", "a.xm", 1, "Damaged archive: "},
        {"damaged.zip", "b.xm", 0, "bbbb"},
    };
    for (const auto &c : cases) {
        std::vector<char> data;
        EXPECT_EQ(read_zip_member_directly((tree / c.archive).c_str(), c.member, data), c.direct)
            << c.archive << "/" << c.member;
        if (!c.read) continue;
        int status = -1;
        const std::string got = read_text(tree / c.archive + "/" + c.member, status);
        EXPECT_EQ(got.rfind(c.read, 0), 0u) << c.archive << "/" << c.member << ": " << got;
    }
    int status = -1;
    EXPECT_EQ(read_text(tree / "outer.zip/inner.zip/song.xm", status), song_bytes('f'));
}
