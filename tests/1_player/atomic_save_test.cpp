#include "1_player/atomic_save.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "1_player/regular_file.h"
#include "file_size_limit.h"
#include "../3_filesel/temp_tree.h"

namespace {

bool write_text(std::FILE *file, const void *context) {
    return std::fputs(static_cast<const char *>(context), file) >= 0;
}

std::string read(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int files_in(const std::string &dir) {
    int n = 0;
    std::error_code ignored;  // a link in a loop is no directory
    for (const auto &entry : std::filesystem::directory_iterator(dir)) n += !entry.is_directory(ignored);
    return n;
}

}  // namespace

// The link stays a link, its target gets the text, and the temporary file
// is made beside the target, not beside the link.
TEST(AtomicSave, SavesThroughSymbolicLinksToTheirTarget) {
    TempTree tree;
    tree.dir("here");
    tree.dir("there");
    tree.file("there/list.pli");
    tree.link("here/abs.pli", tree / "there/list.pli");
    tree.link("here/rel.pli", "../there/list.pli");
    tree.link("here/chain.pli", "rel.pli");
    tree.link("here/dangling.pli", "../there/new.pli");
    const struct {
        const char *link;
        const char *target;
    } cases[] = {
        {"here/abs.pli", "there/list.pli"},
        {"here/rel.pli", "there/list.pli"},
        {"here/chain.pli", "there/list.pli"},
        {"here/dangling.pli", "there/new.pli"},  // the target is made
    };
    for (const auto &c : cases) {
        const std::string text = std::string("saved through ") + c.link + "\n";
        int failure = 0;
        ASSERT_EQ(save_atomically((tree / c.link).c_str(), write_text, text.c_str(), failure), SaveOutcome::saved)
            << c.link << ": " << file_failure_text(failure);
        struct stat info;
        ASSERT_EQ(lstat((tree / c.link).c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode)) << c.link;
        EXPECT_EQ(read(tree / c.target), text) << c.link;
        EXPECT_EQ(files_in(tree / "there"), c.target == std::string("there/new.pli") ? 2 : 1) << c.link;
        EXPECT_EQ(files_in(tree / "here"), 4) << c.link;  // the links, and no temporary file
    }
    char target[PATH_MAX];
    int failure = 0;
    ASSERT_EQ(save_target((tree / "here/chain.pli").c_str(), target, sizeof target, failure), 0);
    EXPECT_EQ(std::string(target), tree / "here/../there/list.pli");
}

TEST(AtomicSave, RefusesWhatIsNotARegularFileAndLinkLoops) {
    TempTree tree;
    tree.dir("folder");
    ASSERT_EQ(mkfifo((tree / "fifo").c_str(), 0600), 0);
    tree.link("to-null", "/dev/null");
    tree.link("loop-a", "loop-b");
    tree.link("loop-b", "loop-a");
    const struct {
        std::string path;
        int failure;
    } cases[] = {
        {tree / "folder", kNotRegularFile},
        {tree / "fifo", kNotRegularFile},
        {tree / "to-null", kNotRegularFile},
        {"/dev/null", kNotRegularFile},
        {tree / "loop-a", ELOOP},
        {tree / "no/such/dir/list.pli", ENOENT},
    };
    for (const auto &c : cases) {
        int failure = 0;
        EXPECT_EQ(save_atomically(c.path.c_str(), write_text, "x\n", failure), SaveOutcome::not_opened) << c.path;
        EXPECT_EQ(failure, c.failure) << c.path;
    }
    struct stat info;
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(files_in(tree.path()), 4);  // the FIFO and the links, nothing new
    EXPECT_STREQ(file_failure_text(kNotRegularFile), "not a regular file");
}

// A write that fails part way (a file size limit stands in for a full
// disk) leaves the old file whole and no temporary file; a write that
// succeeds keeps the old file's permissions.
TEST(AtomicSave, AFailedWriteKeepsTheOldFileAndASaveItsMode) {
    TempTree tree;
    const std::string path = tree / "options";
    std::ofstream(path) << "old\n";
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    const std::string big(4000, 'x');
    int failure = 0;
    SaveOutcome outcome;
    {
        const FileSizeLimit limit(1000);
        outcome = save_atomically(path.c_str(), write_text, big.c_str(), failure);
    }
    EXPECT_EQ(outcome, SaveOutcome::not_written);
    EXPECT_EQ(failure, EFBIG);
    EXPECT_EQ(read(path), "old\n");
    EXPECT_EQ(files_in(tree.path()), 1);

    ASSERT_EQ(save_atomically(path.c_str(), write_text, "new\n", failure), SaveOutcome::saved);
    EXPECT_EQ(read(path), "new\n");
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// Opening what the user named never waits: a FIFO without a writer is
// refused at once, as are devices and directories.
TEST(RegularFile, OpensOnlyRegularFilesAndNeverWaits) {
    TempTree tree;
    tree.dir("folder");
    tree.file("song.xm", 10);
    ASSERT_EQ(mkfifo((tree / "fifo").c_str(), 0600), 0);
    tree.link("link", "song.xm");
    alarm(5);  // an open that blocks fails the test instead of hanging it
    const struct {
        std::string path;
        bool opens;
        int failure;
    } cases[] = {
        {tree / "song.xm", true, 0},         {tree / "link", true, 0},
        {tree / "fifo", false, kNotRegularFile}, {tree / "folder", false, kNotRegularFile},
        {"/dev/zero", false, kNotRegularFile},   {tree / "missing", false, ENOENT},
    };
    for (const auto &c : cases) {
        int failure = 0;
        std::FILE *file = open_regular_file(c.path.c_str(), failure);
        EXPECT_EQ(file != nullptr, c.opens) << c.path;
        if (file) {
            char bytes[16];
            EXPECT_EQ(std::fread(bytes, 1, sizeof bytes, file), 10u) << c.path;
            std::fclose(file);
        } else {
            EXPECT_EQ(failure, c.failure) << c.path;
        }
    }
    alarm(0);
}

// The options and every playlist format say the same about a save, and a
// long path is cut to its tail so that the reason still shows.
TEST(AtomicSave, SaysWhatTheSaveDidWithThePathCutToItsTail) {
    TempTree tree;
    tree.dir("folder");
    const std::string saved = tree / "list.pli";
    const std::string folder = tree / "folder";
    const std::string missing = tree / "no/such/list.pli";
    const struct {
        std::string path;
        int result;
        std::string message;
    } cases[] = {
        {saved, 0, "'" + saved + "' saved."},
        {folder, -1, "Can't save '" + folder + "': not a regular file."},
        {missing, -1, "Can't open '" + missing + "'."},
    };
    for (const auto &c : cases) {
        char message[512];
        std::string shown(c.message);
        if (c.path.size() > 60) {
            const std::string tail = "~" + c.path.substr(c.path.size() - 59);
            shown.replace(shown.find(c.path), c.path.size(), tail);
        }
        EXPECT_EQ(save_with_message(c.path.c_str(), write_text, "x\n", message, sizeof message), c.result) << c.path;
        EXPECT_EQ(std::string(message), shown);
    }

    const std::string long_path = "/" + std::string(70, 'd') + "/name.pli";
    char message[128];
    format_with_path(message, sizeof message, "Can't open '", long_path.c_str(), "'.");
    EXPECT_EQ(std::string(message), "Can't open '~" + long_path.substr(long_path.size() - 59) + "'.");
    format_with_path(message, sizeof message, "'", "/short.pli", "' saved.");
    EXPECT_STREQ(message, "'/short.pli' saved.");
}
