#include "temp_home.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

TempHome::TempHome() {
    char pattern[] = "/tmp/xqhome.XXXXXX";
    path_ = mkdtemp(pattern);
    if (const char *home = std::getenv("HOME")) {
        had_home_ = true;
        old_home_ = home;
    }
    setenv("HOME", path_.c_str(), 1);
}

TempHome::~TempHome() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    if (had_home_)
        setenv("HOME", old_home_.c_str(), 1);
    else
        unsetenv("HOME");
}

void TempHome::write(const std::string &relative, const std::string &content) const {
    std::filesystem::path file = std::filesystem::path(path_) / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
}

std::string TempHome::read(const std::string &relative) const {
    std::ifstream in(std::filesystem::path(path_) / relative, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
