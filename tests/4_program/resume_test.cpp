#include "4_program/resume.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "3_playlist/playlist_store.h"
#include "file_size_limit.h"
#include "temp_home.h"

namespace {

std::string resume_path() {
    char path[kPathCapacity];
    EXPECT_EQ(resume_file_path(path), 0);
    return path;
}

ResumePlace three_entries(const std::string &dir) {
    ResumePlace place;
    place.playlist = true;
    place.entry = 1;
    place.position = 1;
    place.paths = {dir + "/a.xm", dir + "/b.xm", dir + "/c.xm"};
    return place;
}

std::string documented_text(const std::string &dir) {
    return "XQ RESUME 1\nplaylist=1\nentry=1\nposition=1\nentries=3\n" + dir + "/a.xm\n" + dir + "/b.xm\n" + dir +
           "/c.xm\nend\n";
}

// What --resume reports on standard error, and whether it went on.
struct Prepared {
    int result;
    std::string errors;
    ResumeStart start;
};

Prepared prepare() {
    Prepared p{};
    char *text = nullptr;
    std::size_t size = 0;
    FILE *errors = open_memstream(&text, &size);
    p.result = prepare_resume(p.start, errors);
    std::fclose(errors);
    p.errors = text ? text : "";
    std::free(text);
    return p;
}

}  // namespace

TEST(Resume, WritesTheDocumentedFileAndReadsItBack) {
    TempHome home;
    home.write(".xq/keep", "");
    char message[2 * kPathCapacity];
    const ResumePlace place = three_entries("/m");
    ASSERT_EQ(store_resume(resume_path().c_str(), place, message, sizeof message), 0) << message;
    EXPECT_EQ(home.read(".xq/resume"), documented_text("/m"));
    struct stat info {};
    ASSERT_EQ(stat(resume_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u) << "it names the user's files";

    ResumePlace read;
    ASSERT_EQ(read_resume(resume_path().c_str(), read, message, sizeof message), 0) << message;
    EXPECT_TRUE(read.playlist);
    EXPECT_EQ(read.entry, 1);
    EXPECT_EQ(read.position, 1);
    EXPECT_EQ(read.paths, place.paths);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.path() + "/.xq"), {}), 2)
        << "no temporary file is left";
}

TEST(Resume, AMissingOrDamagedFileIsRefusedWithItsReason) {
    TempHome home;
    const std::string good = documented_text("/m");
    const struct {
        const char *what;
        std::string content;
        const char *reason;
    } cases[] = {
        {"empty", "", "is empty"},
        {"cut inside a line", good.substr(0, good.size() / 2), "is cut short"},
        {"cut at a line's end", good.substr(0, good.find("/m/c.xm")), "is cut short"},
        {"without its last line", good.substr(0, good.size() - 4), "is cut short"},
        {"binary", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\n", 11), "is not a resume file (it holds bytes"},
        {"another file", "16bits=1\nstereo=1\n", "is not a resume file"},
        {"a bad number", "XQ RESUME 1\nplaylist=1\nentry=x\nposition=0\nentries=1\n/m/a.xm\nend\n",
         "its first lines are not as xq writes them"},
        {"an entry past the list", "XQ RESUME 1\nplaylist=1\nentry=3\nposition=0\nentries=3\n/a\n/b\n/c\nend\n",
         "its numbers do not fit together"},
        {"a module of two paths", "XQ RESUME 1\nplaylist=0\nentry=0\nposition=0\nentries=2\n/a\n/b\nend\n",
         "its numbers do not fit together"},
        {"more after the end", good + "/m/d.xm\n", "does not end as xq writes it"},
    };
    for (const auto &c : cases) {
        home.write(".xq/resume", c.content);
        ResumePlace place;
        place.entry = 7;
        char message[2 * kPathCapacity] = "";
        EXPECT_EQ(read_resume(resume_path().c_str(), place, message, sizeof message), -1) << c.what;
        const std::string text = message;
        EXPECT_EQ(text.rfind("Can't resume: '" + resume_path() + "' ", 0), 0u) << c.what << ": " << text;
        EXPECT_NE(text.find(c.reason), std::string::npos) << c.what << ": " << text;
        EXPECT_EQ(place.entry, 7) << c.what << ": nothing of a damaged file is used";
    }
    std::filesystem::remove(home.path() + "/.xq/resume");
    ResumePlace place;
    char message[2 * kPathCapacity];
    EXPECT_EQ(read_resume(resume_path().c_str(), place, message, sizeof message), -1);
    EXPECT_EQ(std::string(message), "Nothing to resume: '" + resume_path() +
                                        "' does not exist yet (xq writes it as it ends).");
}

// Something other than a regular file is refused by name at once: a FIFO
// would wait for a writer, /dev/zero never end.
TEST(Resume, WhatIsNotARegularFileIsRefusedAtOnce) {
    TempHome home;
    home.write(".xq/keep", "");
    const std::string path = resume_path();
    const struct {
        const char *what;
        std::function<int()> make;
    } cases[] = {
        {"a FIFO", [&] { return mkfifo(path.c_str(), 0600); }},
        {"a link to /dev/zero", [&] { return symlink("/dev/zero", path.c_str()); }},
        {"a directory", [&] { return mkdir(path.c_str(), 0700); }},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(c.make(), 0) << c.what;
        ResumePlace place;
        char message[2 * kPathCapacity] = "";
        EXPECT_EQ(read_resume(path.c_str(), place, message, sizeof message), -1) << c.what;
        EXPECT_EQ(std::string(message), "Can't resume: '" + path + "' is not a regular file.") << c.what;
        std::filesystem::remove(path);
    }
}

// "~/.xq" is used only while it is a directory of the user's own, writable
// by nobody else (a link is judged by the folder it leads to): through any
// other, another user could choose what plays, or what xq overwrites.
TEST(Resume, AFolderThatIsNotTheUsersOwnIsNeitherReadNorWritten) {
    TempHome home;
    const std::string dir = home.path() + "/.xq";
    const std::string elsewhere = home.path() + "/elsewhere";
    const std::string old_text = documented_text("/old");
    home.write("elsewhere/resume", old_text);
    const struct {
        const char *what;
        std::function<void()> make;
        const char *reason;
        bool needs_root;  // to hand a folder to another user
    } cases[] = {
        {"a link to a folder others may write",
         [&] {
             ASSERT_EQ(chmod(elsewhere.c_str(), 0777), 0);
             ASSERT_EQ(symlink(elsewhere.c_str(), dir.c_str()), 0);
         },
         "can be written by other users", false},
        {"writable by others",
         [&] {
             home.write(".xq/resume", old_text);
             ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
         },
         "can be written by other users", false},
        {"another user's",
         [&] {
             home.write(".xq/resume", old_text);
             ASSERT_EQ(chown(dir.c_str(), 65534, 65534), 0);
         },
         "belongs to another user", true},
    };
    for (const auto &c : cases) {
        if (c.needs_root && geteuid() != 0) continue;
        c.make();
        const std::string path = resume_path();
        ResumePlace place;
        char message[2 * kPathCapacity] = "";
        EXPECT_EQ(read_resume(path.c_str(), place, message, sizeof message), -1) << c.what;
        EXPECT_EQ(std::string(message).rfind("Can't resume: '" + dir + "' " + c.reason, 0), 0u)
            << c.what << ": " << message;
        EXPECT_TRUE(place.paths.empty()) << c.what;
        EXPECT_EQ(store_resume(path.c_str(), three_entries("/m"), message, sizeof message), -1) << c.what;
        EXPECT_EQ(std::string(message).rfind("Can't save '" + path + "': '" + dir + "' " + c.reason, 0), 0u)
            << c.what << ": " << message;
        EXPECT_EQ(home.read(".xq/resume"), old_text) << c.what;
        std::filesystem::remove_all(dir);
    }
    EXPECT_EQ(home.read("elsewhere/resume"), old_text);

    // A link to a folder of the user's own (dotfiles kept elsewhere) serves.
    ASSERT_EQ(chmod(elsewhere.c_str(), 0700), 0);
    ASSERT_EQ(symlink(elsewhere.c_str(), dir.c_str()), 0);
    const std::string path = resume_path();
    char message[2 * kPathCapacity] = "";
    ResumePlace place;
    EXPECT_EQ(read_resume(path.c_str(), place, message, sizeof message), 0) << message;
    EXPECT_EQ(store_resume(path.c_str(), three_entries("/m"), message, sizeof message), 0) << message;
    EXPECT_NE(home.read("elsewhere/resume"), old_text);
    EXPECT_TRUE(std::filesystem::is_symlink(dir));
}

TEST(Resume, AFailedWriteIsReportedAndLeavesTheOldFileWhole) {
    TempHome home;
    char message[2 * kPathCapacity];
    // No directory: nothing can be created.
    EXPECT_EQ(store_resume(resume_path().c_str(), three_entries("/m"), message, sizeof message), -1);
    EXPECT_EQ(std::string(message).rfind("Can't save '" + resume_path() + "': ", 0), 0u) << message;

    // A full disk, imitated by a file size limit.
    const std::string old_text = documented_text("/old");
    home.write(".xq/resume", old_text);
    ResumePlace big = three_entries("/m/" + std::string(200, 'd'));
    int result;
    {
        const FileSizeLimit limit(100);
        result = store_resume(resume_path().c_str(), big, message, sizeof message);
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(std::string(message), "Can't save '" + resume_path() + "': File too large.");
    EXPECT_EQ(home.read(".xq/resume"), old_text);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.path() + "/.xq"), {}), 1)
        << "no temporary file is left";

    // A path that would break the file's lines is not written.
    ResumePlace odd = three_entries("/m");
    odd.paths[1] = "/m/two\nlines.xm";
    EXPECT_EQ(store_resume(resume_path().c_str(), odd, message, sizeof message), -1);
    EXPECT_EQ(home.read(".xq/resume"), old_text);
}

TEST(Resume, EntriesThatAreGoneAreLeftOutAndTheEntryMovesWithThem) {
    TempHome home;
    const std::string dir = home.path() + "/mods";
    home.write(".xq/keep", "");
    for (const char *name : {"a.xm", "b.xm", "c.xm", "d.xm"}) home.write(std::string("mods/") + name, "x");
    const struct {
        const char *what;
        std::vector<const char *> gone;
        int entry;       // written: of a b c d, at position 2
        int start;       // the entry --resume starts at
        int position;
        int count;
    } cases[] = {
        {"all there", {}, 2, 2, 2, 4},
        {"one before it gone", {"a.xm"}, 2, 1, 2, 3},
        {"one after it gone", {"d.xm"}, 2, 2, 2, 3},
        {"its own gone: the next from its start", {"c.xm"}, 2, 2, 0, 3},
        {"the last, gone: the one before from its start", {"d.xm"}, 3, 2, 0, 3},
    };
    for (const auto &c : cases) {
        ResumePlace place;
        place.playlist = true;
        place.entry = c.entry;
        place.position = 2;
        for (const char *name : {"a.xm", "b.xm", "c.xm", "d.xm"}) place.paths.push_back(dir + "/" + name);
        char message[2 * kPathCapacity];
        ASSERT_EQ(store_resume(resume_path().c_str(), place, message, sizeof message), 0);
        for (const char *name : c.gone) std::filesystem::rename(dir + "/" + name, dir + "/" + name + ".away");
        const Prepared p = prepare();
        for (const char *name : c.gone) std::filesystem::rename(dir + "/" + name + ".away", dir + "/" + name);
        ASSERT_EQ(p.result, 0) << c.what << ": " << p.errors;
        EXPECT_TRUE(p.start.playlist);
        EXPECT_EQ(p.start.entry, c.start) << c.what;
        EXPECT_EQ(p.start.position, c.position) << c.what;
        EXPECT_EQ(playlist_count, c.count) << c.what;
        std::string expected_errors;
        for (const char *name : c.gone) expected_errors += "XQ: Can't open '" + dir + "/" + name + "'\n";
        EXPECT_EQ(p.errors, expected_errors) << c.what;
    }
    playlist_clear();
}

TEST(Resume, NothingLeftToPlayIsRefused) {
    TempHome home;
    char message[2 * kPathCapacity];
    ResumePlace module;
    module.paths = {home.path() + "/gone.xm"};
    home.write(".xq/keep", "");
    ASSERT_EQ(store_resume(resume_path().c_str(), module, message, sizeof message), 0);
    Prepared p = prepare();
    EXPECT_EQ(p.result, -1);
    EXPECT_EQ(p.errors, "XQ: Can't open '" + home.path() + "/gone.xm'\n");

    home.write("here.xm", "x");
    module.paths = {home.path() + "/here.xm"};
    module.position = 3;
    ASSERT_EQ(store_resume(resume_path().c_str(), module, message, sizeof message), 0);
    p = prepare();
    ASSERT_EQ(p.result, 0) << p.errors;
    EXPECT_FALSE(p.start.playlist);
    EXPECT_EQ(std::string(p.start.path), home.path() + "/here.xm");
    EXPECT_EQ(p.start.position, 3);

    ResumePlace list = three_entries(home.path() + "/none");
    ASSERT_EQ(store_resume(resume_path().c_str(), list, message, sizeof message), 0);
    p = prepare();
    EXPECT_EQ(p.result, -1);
    EXPECT_NE(p.errors.find("XQ: Nothing to resume: no entry of '" + resume_path() + "' can be opened.\n"),
              std::string::npos)
        << p.errors;
    playlist_clear();
}
