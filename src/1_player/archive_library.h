// libarchive, loaded the first time a pack is read rather than at start:
// with what it brings along (libxml2, ICU, the shared C++ runtime and its
// compressors) it would add about 2 MB to every run, most of which never
// opens a pack. Only the functions the reader uses are looked up.
#pragma once

#include <archive.h>
#include <archive_entry.h>

struct ArchiveLibrary {
    archive *(*read_new)();
    int (*read_free)(archive *);
    int (*read_support_filter_all)(archive *);
    int (*read_support_format_zip)(archive *);
    int (*read_support_format_zip_streamable)(archive *);
    int (*read_support_format_7zip)(archive *);
    int (*read_support_format_tar)(archive *);
    int (*read_support_format_lha)(archive *);
    int (*read_support_format_rar)(archive *);
    int (*read_support_format_rar5)(archive *);
    int (*read_support_format_cab)(archive *);
    int (*read_support_format_raw)(archive *);
    int (*read_open)(archive *, void *, archive_open_callback *, archive_read_callback *, archive_close_callback *);
    int (*read_open_fd)(archive *, int, size_t);
    int (*read_open_memory)(archive *, const void *, size_t);
    int (*read_next_header)(archive *, archive_entry **);
    la_ssize_t (*read_data)(archive *, void *, size_t);
    const char *(*error_string)(archive *);
    int (*format)(archive *);
    int (*filter_count)(archive *);
    const char *(*entry_pathname)(archive_entry *);
    la_int64_t (*entry_size)(archive_entry *);
    int (*entry_size_is_set)(archive_entry *);
    __LA_MODE_T (*entry_filetype)(archive_entry *);
    int (*entry_is_encrypted)(archive_entry *);
};

// The library's functions, loaded on the first call (on the calling
// thread; the main path and the player's loads both come here, so the
// loading is guarded); null when the library or one of the functions is
// missing.
const ArchiveLibrary *archive_library();
