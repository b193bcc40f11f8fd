// Real temporary directories for the file selector's tests, and the order
// in which the directory stream returns their entries.
#pragma once

#include <string>
#include <vector>

class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree &) = delete;
    TempTree &operator=(const TempTree &) = delete;

    const std::string &path() const { return path_; }
    std::string operator/(const std::string &relative) const { return path_ + "/" + relative; }

    void dir(const std::string &relative) const;
    void file(const std::string &relative, std::size_t bytes = 0) const;
    void link(const std::string &relative, const std::string &target) const;

private:
    std::string path_;
};

// The names of `path` in the listing's order: the directories (by stat,
// which follows links) and then the rest, each sorted as the listing sorts
// them, "." left out.
std::vector<std::string> listing_order(const std::string &path);

// The working directory, restored when the guard ends.
class WorkingDirectoryGuard {
public:
    WorkingDirectoryGuard();
    ~WorkingDirectoryGuard();
    WorkingDirectoryGuard(const WorkingDirectoryGuard &) = delete;
    WorkingDirectoryGuard &operator=(const WorkingDirectoryGuard &) = delete;

private:
    std::string saved_;
};

// The working directory's path as the kernel names it.
std::string working_directory();
