#include "1_player/archive_library.h"

#include <dlfcn.h>
#include <mutex>

namespace {

// The library as this build's headers name it, then its development link.
constexpr const char *kLibraryNames[] = {"libarchive.so.13", "libarchive.so"};

template <class Function>
bool look_up(void *handle, const char *name, Function &out) {
    out = reinterpret_cast<Function>(dlsym(handle, name));
    return out != nullptr;
}

bool load(ArchiveLibrary &lib) {
    void *handle = nullptr;
    for (const char *name : kLibraryNames)
        if ((handle = dlopen(name, RTLD_NOW | RTLD_LOCAL)) != nullptr) break;
    if (!handle) return false;
    // Kept loaded for the rest of the run: the functions stay valid.
    return look_up(handle, "archive_read_new", lib.read_new) && look_up(handle, "archive_read_free", lib.read_free) &&
           look_up(handle, "archive_read_support_filter_all", lib.read_support_filter_all) &&
           look_up(handle, "archive_read_support_format_zip", lib.read_support_format_zip) &&
           look_up(handle, "archive_read_support_format_zip_streamable", lib.read_support_format_zip_streamable) &&
           look_up(handle, "archive_read_support_format_7zip", lib.read_support_format_7zip) &&
           look_up(handle, "archive_read_support_format_tar", lib.read_support_format_tar) &&
           look_up(handle, "archive_read_support_format_lha", lib.read_support_format_lha) &&
           look_up(handle, "archive_read_support_format_rar", lib.read_support_format_rar) &&
           look_up(handle, "archive_read_support_format_rar5", lib.read_support_format_rar5) &&
           look_up(handle, "archive_read_support_format_cab", lib.read_support_format_cab) &&
           look_up(handle, "archive_read_support_format_raw", lib.read_support_format_raw) &&
           look_up(handle, "archive_read_open", lib.read_open) &&
           look_up(handle, "archive_read_open_fd", lib.read_open_fd) &&
           look_up(handle, "archive_read_open_memory", lib.read_open_memory) &&
           look_up(handle, "archive_read_next_header", lib.read_next_header) &&
           look_up(handle, "archive_read_data", lib.read_data) &&
           look_up(handle, "archive_error_string", lib.error_string) && look_up(handle, "archive_format", lib.format) &&
           look_up(handle, "archive_filter_count", lib.filter_count) &&
           look_up(handle, "archive_entry_pathname", lib.entry_pathname) &&
           look_up(handle, "archive_entry_size", lib.entry_size) &&
           look_up(handle, "archive_entry_size_is_set", lib.entry_size_is_set) &&
           look_up(handle, "archive_entry_filetype", lib.entry_filetype) &&
           look_up(handle, "archive_entry_is_encrypted", lib.entry_is_encrypted);
}

}  // namespace

const ArchiveLibrary *archive_library() {
    static ArchiveLibrary lib{};
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] { loaded = load(lib); });
    return loaded ? &lib : nullptr;
}
