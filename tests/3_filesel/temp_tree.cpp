#include "temp_tree.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "3_filesel/directory_listing.h"

TempTree::TempTree() {
    char pattern[] = "/tmp/xqtree.XXXXXX";
    path_ = mkdtemp(pattern);
}

TempTree::~TempTree() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void TempTree::dir(const std::string &relative) const { std::filesystem::create_directories(*this / relative); }

void TempTree::file(const std::string &relative, std::size_t bytes) const {
    std::ofstream(*this / relative, std::ios::binary) << std::string(bytes, 'x');
}

void TempTree::link(const std::string &relative, const std::string &target) const {
    std::filesystem::create_symlink(target, *this / relative);
}

std::vector<std::string> listing_order(const std::string &path) {
    std::vector<std::string> dirs;
    std::vector<std::string> others;
    DIR *dir = opendir(path.c_str());
    if (!dir) return dirs;
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == ".") continue;
        struct stat info;
        const bool is_dir = stat((path + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        (is_dir ? dirs : others).push_back(name);
    }
    closedir(dir);
    const auto before = [](const std::string &a, const std::string &b) { return listed_before(a.c_str(), b.c_str()); };
    std::sort(dirs.begin(), dirs.end(), before);
    std::sort(others.begin(), others.end(), before);
    dirs.insert(dirs.end(), others.begin(), others.end());
    return dirs;
}

std::string working_directory() {
    char here[4096];
    return getcwd(here, sizeof here) ? here : "";
}

WorkingDirectoryGuard::WorkingDirectoryGuard() : saved_(working_directory()) {}

WorkingDirectoryGuard::~WorkingDirectoryGuard() {
    if (!saved_.empty() && chdir(saved_.c_str()) != 0) std::abort();
}
