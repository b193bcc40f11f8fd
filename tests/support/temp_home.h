// A private temporary HOME for tests that read or write the options file.
#pragma once

#include <string>

class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;

    const std::string &path() const { return path_; }
    // Writes `content` to a file below HOME (creating ".xq" when needed).
    void write(const std::string &relative, const std::string &content) const;
    std::string read(const std::string &relative) const;

private:
    std::string path_;
    std::string old_home_;
    bool had_home_ = false;
};
