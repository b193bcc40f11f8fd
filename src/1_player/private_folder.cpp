#include "1_player/private_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kWritableByOthers = S_IWGRP | S_IWOTH;

}  // namespace

FolderTrust examine_own_folder(const char *dir) {
    struct stat info;
    if (stat(dir, &info) != 0) return errno == ENOENT ? FolderTrust::missing : FolderTrust::unknown;
    if (!S_ISDIR(info.st_mode)) return FolderTrust::not_directory;
    if (info.st_uid != geteuid()) return FolderTrust::foreign;
    if (info.st_mode & kWritableByOthers) return FolderTrust::open_to_others;
    return FolderTrust::own;
}

const char *folder_trust_text(FolderTrust trust) {
    switch (trust) {
    case FolderTrust::own: return "is the user's own";
    case FolderTrust::missing: return "does not exist";
    case FolderTrust::not_directory: return "is not a directory";
    case FolderTrust::foreign: return "belongs to another user";
    case FolderTrust::open_to_others: return "can be written by other users";
    case FolderTrust::unknown: break;
    }
    return "can't be examined";
}

bool safe_parent_folder(const char *parent) {
    struct stat info;
    if (stat(parent, &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    if (info.st_uid != geteuid() && info.st_uid != 0) return false;
    return (info.st_mode & kWritableByOthers) == 0 || (info.st_mode & S_ISVTX) != 0;
}

const char *usable_runtime_dir(const char *runtime_dir) {
    return runtime_dir && runtime_dir[0] && safe_parent_folder(runtime_dir) ? runtime_dir : nullptr;
}

int make_own_folder(const char *dir, const char *what, char *message, std::size_t size) {
    if (mkdir(dir, S_IRWXU) != 0 && errno != EEXIST) {
        std::snprintf(message, size, "%s: can't create '%s': %s.", what, dir, std::strerror(errno));
        return -1;
    }
    const FolderTrust trust = examine_own_folder(dir);
    if (trust != FolderTrust::own) {
        std::snprintf(message, size, "%s: '%s' %s.", what, dir, folder_trust_text(trust));
        return -1;
    }
    struct stat info;
    if (stat(dir, &info) != 0) {
        std::snprintf(message, size, "%s: '%s': %s.", what, dir, std::strerror(errno));
        return -1;
    }
    if ((info.st_mode & 077) != 0 && chmod(dir, info.st_mode & 07700) != 0) {
        std::snprintf(message, size, "%s: can't make '%s' private: %s.", what, dir, std::strerror(errno));
        return -1;
    }
    return 0;
}
