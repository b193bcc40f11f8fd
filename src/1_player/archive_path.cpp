#include "1_player/archive_path.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "1_player/archive_library.h"
#include "1_player/module_loader.h"
#include "1_player/regular_file.h"
#include "1_player/zip_directory.h"

namespace {

constexpr std::size_t kReadBlock = 8 * 1024;

// The loaded library: every call goes through a Reader, which makes sure
// of it before its first call.
const ArchiveLibrary &lib() { return *archive_library(); }

constexpr const char *kSingleModuleEndings[] = {".mdz", ".s3z", ".itz", ".xmz"};
constexpr const char *kArchiveEndings[] = {".zip", ".7z",      ".rar",     ".lha",     ".lzh",     ".cab",
                                           ".tar", ".tgz",     ".tbz",     ".tbz2",    ".txz",     ".tlz",
                                           ".tzst", ".tar.gz", ".tar.bz2", ".tar.xz", ".tar.lzma", ".tar.zst",
                                           ".tar.z"};

bool ends_with_nocase(const char *name, const char *ending) {
    const std::size_t n = std::strlen(name);
    const std::size_t e = std::strlen(ending);
    if (n <= e) return false;
    for (std::size_t i = 0; i < e; ++i)
        if (std::tolower(static_cast<unsigned char>(name[n - e + i])) != ending[i]) return false;
    return true;
}

bool has_single_module_name(const char *name) {
    for (const char *ending : kSingleModuleEndings)
        if (ends_with_nocase(name, ending)) return true;
    return false;
}

const char *base_name(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

// What the first bytes of a file say: packed by one of the formats or
// compressions read here, or plain.
bool has_packed_magic(const unsigned char *b, std::size_t n) {
    auto starts = [&](const char *magic, std::size_t length, std::size_t at = 0) {
        return n >= at + length && std::memcmp(b + at, magic, length) == 0;
    };
    return starts("\x1f\x8b", 2) || starts("\x1f\x9d", 2) || starts("BZh", 3) ||
           starts("\xfd" "7zXZ\0", 6) || starts("\x5d\0\0", 3) || starts("\x28\xb5\x2f\xfd", 4) ||
           starts("PK\3\4", 4) || starts("PK\5\6", 4) || starts("7z\xbc\xaf\x27\x1c", 6) ||
           starts("Rar!\x1a\x07", 6) || starts("MSCF", 4) || starts("-lh", 3, 2) || starts("-lz", 3, 2) ||
           starts("ustar", 5, 257);
}

bool file_has_packed_magic(const char *path) {
    int failure = 0;
    std::FILE *file = open_regular_file(path, failure);
    if (!file) return false;
    unsigned char head[262];
    const std::size_t n = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return has_packed_magic(head, n);
}

// The archive file's identity, to tell that it changed while it was read.
struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    long long mtime_ns = 0;
    long long ctime_ns = 0;
    bool operator==(const FileStamp &) const = default;
};

FileStamp stamp_of(const struct stat &info) {
    return {info.st_dev, info.st_ino, info.st_size,
            static_cast<long long>(info.st_mtim.tv_sec) * 1'000'000'000LL + info.st_mtim.tv_nsec,
            static_cast<long long>(info.st_ctim.tv_sec) * 1'000'000'000LL + info.st_ctim.tv_nsec};
}

// The bytes [at, end) of an open file, handed to libarchive as a stream
// of their own.
struct FileRange {
    int fd = -1;
    long long at = 0;
    long long end = 0;
    std::vector<char> block;
};

la_ssize_t read_range(archive *, void *client, const void **buffer) {
    FileRange &range = *static_cast<FileRange *>(client);
    const std::size_t wanted = static_cast<std::size_t>(std::min<long long>(range.end - range.at, range.block.size()));
    if (wanted == 0) return 0;
    ssize_t n;
    do n = pread(range.fd, range.block.data(), wanted, range.at);
    while (n < 0 && errno == EINTR);
    if (n < 0) return ARCHIVE_FATAL;
    range.at += n;
    *buffer = range.block.data();
    return n;
}

// One libarchive reader over a file (opened without waiting on it) or over
// bytes in memory. Closes itself.
class Reader {
public:
    Reader() = default;
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;
    ~Reader() {
        if (a_) lib().read_free(a_);
        if (file_) std::fclose(file_);
    }

    // `raw`: a stream no archive format claims is read as one member (a
    // compressed single file, or a plain one).
    bool open_file(const char *path, bool raw, char *message, std::size_t size) {
        if (!open_plain(path, message, size)) return false;
        if (!make(raw) || lib().read_open_fd(a_, fileno(file_), kReadBlock) != ARCHIVE_OK) return fail(message, size);
        return true;
    }

    // Opens the file alone, for open_zip_range() once its directory is known.
    bool open_plain(const char *path, char *message, std::size_t size) {
        int failure = 0;
        file_ = open_regular_file(path, failure);
        if (!file_) {
            std::snprintf(message, size, "%s", failure == kNotRegularFile ? "Not a file." : "File can't be read.");
            return false;
        }
        struct stat info;
        if (fstat(fileno(file_), &info) != 0) {
            std::snprintf(message, size, "File can't be read.");
            return false;
        }
        stamp_ = stamp_of(info);
        bytes_ = info.st_size;
        return true;
    }

    // Reads the bytes [at, end) of the file opened by open_plain() as a zip
    // stream: one member's local header, data and descriptor, so that the
    // first header is that member's. Bounds stay those of the whole file.
    bool open_zip_range(long long at, long long end) {
        if (!archive_library() || !file_ || at < 0 || end < at || end > bytes_) return false;
        range_ = std::make_unique<FileRange>();
        range_->fd = fileno(file_);
        range_->at = at;
        range_->end = end;
        range_->block.resize(static_cast<std::size_t>(std::clamp<long long>(end - at, 1, kRangeBlock)));
        a_ = lib().read_new();
        if (!a_) return false;
        lib().read_support_format_zip_streamable(a_);
        return lib().read_open(a_, range_.get(), nullptr, read_range, nullptr) == ARCHIVE_OK;
    }

    bool open_memory(const std::vector<char> &data, bool raw, char *message, std::size_t size) {
        bytes_ = static_cast<long long>(data.size());
        if (!make(raw) || lib().read_open_memory(a_, data.data(), data.size()) != ARCHIVE_OK)
            return fail(message, size);
        return true;
    }

    // The reason libarchive gives, as a sentence.
    bool fail(char *message, std::size_t size) const {
        if (!archive_library()) {
            std::snprintf(message, size, "Can't read archives: libarchive is missing.");
            return false;
        }
        const char *why = a_ ? lib().error_string(a_) : nullptr;
        std::snprintf(message, size, "Damaged archive: %.120s.", why ? why : "unknown format");
        return false;
    }

    // Reads the current member into `data`, refusing more than `bound`
    // bytes; its declared size is checked first so that a bomb is stopped
    // before it is unpacked.
    bool read_member(archive_entry *entry, std::vector<char> &data, char *message, std::size_t size) const {
        if (lib().entry_is_encrypted(entry)) {
            std::snprintf(message, size, "Member is encrypted.");
            return false;
        }
        const long long bound = archive_bomb_bound(bytes_);
        const bool declared = lib().entry_size_is_set(entry);
        const long long stated = declared ? lib().entry_size(entry) : 0;
        if (!too_large(stated, bound, message, size)) return false;
        data.clear();
        if (declared) data.reserve(static_cast<std::size_t>(stated));
        char block[kReadBlock];
        for (;;) {
            const la_ssize_t n = lib().read_data(a_, block, sizeof block);
            if (n == 0) break;
            if (n < 0) {
                data.clear();
                return fail(message, size);
            }
            if (!too_large(static_cast<long long>(data.size()) + n, bound, message, size)) {
                data.clear();
                data.shrink_to_fit();
                return false;
            }
            data.insert(data.end(), block, block + n);
        }
        return true;
    }

    // True while `bytes` stays within the module and bomb bounds.
    bool too_large(long long bytes, long long bound, char *message, std::size_t size) const {
        if (bytes > kMaxModuleBytes) {
            std::snprintf(message, size, "Member is too large for a module (over %lld MiB).", kMaxModuleBytes >> 20);
            return false;
        }
        if (bytes > bound) {
            std::snprintf(message, size, "Member unpacks to over %lld times its archive's size: refused.",
                          kArchiveBombRatio);
            return false;
        }
        return true;
    }

    archive *get() const { return a_; }
    long long bytes() const { return bytes_; }
    int fd() const { return file_ ? fileno(file_) : -1; }
    const FileStamp &stamp() const { return stamp_; }
    // True when the file under the reader is still the one it opened.
    bool unchanged(const char *path) const {
        struct stat info;
        return !file_ || (stat(path, &info) == 0 && stamp_of(info) == stamp_);
    }

private:
    bool make(bool raw) {
        if (!archive_library()) return false;
        a_ = lib().read_new();
        if (!a_) return false;
        lib().read_support_filter_all(a_);
        lib().read_support_format_zip(a_);
        lib().read_support_format_7zip(a_);
        lib().read_support_format_tar(a_);
        lib().read_support_format_lha(a_);
        lib().read_support_format_rar(a_);
        lib().read_support_format_rar5(a_);
        lib().read_support_format_cab(a_);
        if (raw) lib().read_support_format_raw(a_);
        return true;
    }

    // Blocks read from a member's range.
    static constexpr long long kRangeBlock = 64 * 1024;

    archive *a_ = nullptr;
    std::FILE *file_ = nullptr;
    std::unique_ptr<FileRange> range_;
    FileStamp stamp_;
    long long bytes_ = 0;
};

bool is_raw(archive *a) { return lib().format(a) == ARCHIVE_FORMAT_RAW; }

// True when passing over a member unpacks it: in a compressed stream (a
// tar.gz) and in 7z's solid blocks. A zip's members are passed by seeking.
bool passing_unpacks(archive *a) {
    return lib().filter_count(a) > 1 || (lib().format(a) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_7ZIP;
}

// Whether a member path goes on into a member archive: `wanted` begins
// with `name` and a "/".
bool goes_into(const std::string &wanted, const std::string &name) {
    return wanted.size() > name.size() + 1 && wanted.compare(0, name.size(), name) == 0 && wanted[name.size()] == '/';
}

// How far a reading has walked through a pack: the members passed, the
// bytes unpacked on the way, and (when kept) the names passed.
struct Walk {
    int members = 0;
    long long walked = 0;
    std::set<std::string> *seen = nullptr;
};

constexpr int kNotInPack = -2;

int read_member_of(Reader &reader, const std::string &member, int depth, Walk &walk, std::vector<char> &data,
                   char *message, std::size_t size);

// Reads the member at `member` of the archive in `bytes` (one level in).
int read_member_in_memory(const std::vector<char> &bytes, const std::string &member, std::vector<char> &data,
                          char *message, std::size_t size) {
    Reader inner;
    if (!inner.open_memory(bytes, false, message, size)) return -1;
    Walk walk;
    const int found = read_member_of(inner, member, 1, walk, data, message, size);
    return found == kNotInPack ? -1 : found;
}

// Reads on from where `reader` stands to the member at `member` (already
// normalised). Returns 0, -1 with the reason, or kNotInPack at the end of
// the pack.
int read_member_of(Reader &reader, const std::string &wanted, int depth, Walk &walk, std::vector<char> &data,
                   char *message, std::size_t size) {
    archive *a = reader.get();
    const long long walk_bound = std::max(kArchiveBombFloorBytes, kArchiveBombRatio * reader.bytes());
    archive_entry *entry = nullptr;
    for (;;) {
        const int r = lib().read_next_header(a, &entry);
        if (r == ARCHIVE_EOF) break;
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
            reader.fail(message, size);
            return -1;
        }
        if (++walk.members > kMaxArchiveMembers) break;
        const char *raw_name = lib().entry_pathname(entry);
        std::string name;
        const bool safe = raw_name && normalise_member_name(raw_name, name);
        const bool directory = lib().entry_filetype(entry) == AE_IFDIR;
        if (safe && walk.seen) walk.seen->insert(name);
        if (safe && !directory && name == wanted) return reader.read_member(entry, data, message, size) ? 0 : -1;
        if (safe && !directory && goes_into(wanted, name)) {
            if (depth > 0) {
                std::snprintf(message, size, "Archives nested deeper than one level are not opened.");
                return -1;
            }
            std::vector<char> bytes;
            if (!reader.read_member(entry, bytes, message, size)) return -1;
            return read_member_in_memory(bytes, wanted.substr(name.size() + 1), data, message, size);
        }
        if (lib().entry_size_is_set(entry) && passing_unpacks(a))
            walk.walked += std::max<long long>(lib().entry_size(entry), 0);
        if (walk.walked > walk_bound) {
            std::snprintf(message, size, "Archive unpacks to over %lld times its size: refused.", kArchiveBombRatio);
            return -1;
        }
    }
    std::snprintf(message, size, "No such member in the archive.");
    return kNotInPack;
}

// The normalised member path, or false with the reason for one that must
// never be resolved.
bool wanted_member(const std::string &member, std::string &wanted, char *message, std::size_t size) {
    if (normalise_member_name(member.c_str(), wanted) && !wanted.empty()) return true;
    std::snprintf(message, size, "Member name leaves the archive: refused.");
    return false;
}

// The pack a member was last read from, kept open where that reading
// stopped: a playlist that follows the pack's order finds each next member
// by reading on rather than from the start (a tar.gz is not unpacked again
// from its beginning for every song). Reopened when the member wanted was
// passed already or the file changed.
struct OpenPack {
    std::string path;
    std::unique_ptr<Reader> reader;
    Walk walk;
    std::set<std::string> seen;
};

// Guards the open pack and the kept zip directories.
std::mutex open_pack_mutex;
OpenPack open_pack;  // guarded by open_pack_mutex

// True when `wanted`, or a member archive on its way, was passed already.
bool passed_already(const OpenPack &pack, const std::string &wanted) {
    if (pack.seen.count(wanted)) return true;
    for (std::size_t slash = wanted.find('/'); slash != std::string::npos; slash = wanted.find('/', slash + 1))
        if (pack.seen.count(wanted.substr(0, slash))) return true;
    return false;
}

// The central directories of the zips read last, so that reading one
// member after another from a pack reads its directory once. A file that
// is not a zip, or whose directory can't be trusted, is kept too, as
// such.
struct KeptDirectory {
    std::string path;
    FileStamp stamp;
    bool trusted = false;
    ZipDirectory directory;
};

constexpr std::size_t kDirectoriesKept = 2;
std::vector<KeptDirectory> kept_directories;  // most recent first; guarded by open_pack_mutex

bool read_all_at(int fd, long long at, std::size_t n, unsigned char *out) {
    while (n > 0) {
        const ssize_t got = pread(fd, out, n, at);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got;
        n -= static_cast<std::size_t>(got);
        at += got;
    }
    return true;
}

// The trusted central directory of the zip open in `reader` (opened by
// open_plain), read now or kept from before; null for a file that does not
// begin like a zip or whose directory can't be trusted.
const ZipDirectory *zip_directory_of(const std::string &path, const Reader &reader) {
    auto kept = std::find_if(kept_directories.begin(), kept_directories.end(), [&](const KeptDirectory &k) {
        return k.path == path && k.stamp == reader.stamp();
    });
    if (kept == kept_directories.end()) {
        KeptDirectory fresh;
        fresh.path = path;
        fresh.stamp = reader.stamp();
        const int fd = reader.fd();
        unsigned char magic[4];
        const auto read_at = [fd](long long at, std::size_t n, unsigned char *out) { return read_all_at(fd, at, n, out); };
        fresh.trusted = read_at(0, sizeof magic, magic) && std::memcmp(magic, "PK\3\4", 4) == 0 &&
                        parse_zip_directory(reader.bytes(), read_at, fresh.directory);
        if (kept_directories.size() >= kDirectoriesKept) kept_directories.pop_back();
        kept_directories.insert(kept_directories.begin(), std::move(fresh));
        kept = kept_directories.begin();
    } else if (kept != kept_directories.begin()) {
        std::rotate(kept_directories.begin(), kept, kept + 1);
        kept = kept_directories.begin();
    }
    return kept->trusted ? &kept->directory : nullptr;
}

// libarchive looks this far ahead once a member's data ends, for a data
// descriptor that may be only 12 bytes long.
constexpr long long kDescriptorLookAhead = 24;

// Reads the member `wanted` (normalised) of a plain zip by going straight
// to its local header, as its central directory places it. Returns 0 with
// the member's bytes, or 1 when the zip is not read this way: not a zip, a
// directory that can't be trusted, a member it does not name as a file
// (one inside a member archive), an encrypted one or one over the bounds,
// or a member whose own records disagree with the directory. The walk
// through the pack then reads it or gives the reason.
int read_zip_member_at(const std::string &archive, const std::string &wanted, std::vector<char> &data) {
    char message[256];
    Reader reader;
    if (!reader.open_plain(archive.c_str(), message, sizeof message)) return 1;
    const ZipDirectory *directory = zip_directory_of(archive, reader);
    const ZipEntry *entry = directory ? directory->find(wanted) : nullptr;
    if (!entry || entry->encrypted || entry->size > archive_bomb_bound(reader.bytes())) return 1;
    // The records after the member (there always are some: at least the
    // end record) are shown as far as libarchive looks ahead.
    if (!reader.open_zip_range(entry->offset, std::min(entry->end + kDescriptorLookAhead, reader.bytes()))) return 1;
    archive_entry *header = nullptr;
    const int r = lib().read_next_header(reader.get(), &header);
    if (r != ARCHIVE_OK && r != ARCHIVE_WARN) return 1;
    const char *raw_name = lib().entry_pathname(header);
    std::string name;
    if (!raw_name || !normalise_member_name(raw_name, name) || name != wanted ||
        lib().entry_filetype(header) == AE_IFDIR)
        return 1;
    if (!reader.read_member(header, data, message, sizeof message) ||
        static_cast<long long>(data.size()) != entry->size) {
        data.clear();
        return 1;
    }
    return 0;
}

int read_pack_member(const std::string &archive, const std::string &member, std::vector<char> &data, char *message,
                     std::size_t size) {
    std::string wanted;
    if (!wanted_member(member, wanted, message, size)) return -1;
    std::lock_guard<std::mutex> lock(open_pack_mutex);
    if (read_zip_member_at(archive, wanted, data) == 0) return 0;
    OpenPack &pack = open_pack;
    const bool reusable = pack.reader && pack.path == archive && pack.reader->unchanged(archive.c_str()) &&
                          !passed_already(pack, wanted);
    if (!reusable) {
        pack = OpenPack{};
        auto reader = std::make_unique<Reader>();
        if (!reader->open_file(archive.c_str(), false, message, size)) return -1;
        pack.path = archive;
        pack.reader = std::move(reader);
        pack.walk.seen = &pack.seen;
    }
    const int found = read_member_of(*pack.reader, wanted, 0, pack.walk, data, message, size);
    // A reading that failed or reached the end leaves nothing to read on from.
    if (found != 0) pack = OpenPack{};
    return found == kNotInPack ? -1 : found;
}

// A packed file that is not entered: a compressed single module, or an
// archive holding exactly one file.
int read_packed_file(const char *path, std::vector<char> &data, char *message, std::size_t size) {
    Reader reader;
    if (!reader.open_file(path, true, message, size)) return -1;
    archive *a = reader.get();
    archive_entry *entry = nullptr;
    int r = lib().read_next_header(a, &entry);
    if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
            reader.fail(message, size);
            return -1;
        }
    if (is_raw(a)) {
        if (lib().filter_count(a) <= 1) return 1;  // no compression: a plain file
        return reader.read_member(entry, data, message, size) ? 0 : -1;
    }
    // The one file of the archive, wherever it stands among its folders.
    int files = 0;
    bool read = false;
    for (;;) {
        if (lib().entry_filetype(entry) != AE_IFDIR) {
            if (++files > 1) break;
            if (!reader.read_member(entry, data, message, size)) return -1;
            read = true;
        }
        r = lib().read_next_header(a, &entry);
        if (r == ARCHIVE_EOF) break;
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
            reader.fail(message, size);
            return -1;
        }
    }
    if (files == 1 && read) return 0;
    data.clear();
    std::snprintf(message, size, "%s", files == 0 ? "Archive holds no file." : "Archive of many files: open it as a folder.");
    return -1;
}

}  // namespace

long long archive_bomb_bound(long long archive_bytes) {
    const long long ratio = archive_bytes > kMaxModuleBytes / kArchiveBombRatio ? kMaxModuleBytes
                                                                                : archive_bytes * kArchiveBombRatio;
    return std::min(kMaxModuleBytes, std::max(kArchiveBombFloorBytes, ratio));
}

int split_archive_path(const char *path, ArchiveSplit &split, char *message, std::size_t size) {
    const std::string whole(path);
    std::size_t at = whole[0] == '/' ? 1 : 0;
    while (at < whole.size()) {
        std::size_t end = whole.find('/', at);
        if (end == std::string::npos) return 0;
        if (end == at) {  // an empty component
            ++at;
            continue;
        }
        const std::string prefix = whole.substr(0, end);
        std::size_t rest = end;
        while (rest < whole.size() && whole[rest] == '/') ++rest;
        if (rest >= whole.size()) return 0;  // a trailing "/" only
        struct stat info;
        if (stat(prefix.c_str(), &info) != 0) return 0;
        if (S_ISREG(info.st_mode)) {
            split.archive = prefix;
            split.member = whole.substr(rest);
            return 1;
        }
        if (!S_ISDIR(info.st_mode)) {
            std::snprintf(message, size, "Not a file.");
            return -1;
        }
        at = rest;
    }
    return 0;
}

bool has_archive_name(const char *name) {
    if (has_single_module_name(name)) return false;
    for (const char *ending : kArchiveEndings)
        if (ends_with_nocase(name, ending)) return true;
    return false;
}

bool normalise_member_name(const char *raw, std::string &out) {
    out.clear();
    if (raw[0] == '/' || raw[0] == '\\') return false;
    const char *p = raw;
    while (*p) {
        const char *end = std::strchr(p, '/');
        const std::size_t length = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
        const std::string part(p, length);
        if (part == "..") return false;
        if (!part.empty() && part != ".") {
            if (!out.empty()) out += '/';
            out += part;
        }
        p += length;
        if (*p == '/') ++p;
    }
    return true;
}

int read_archive_index(const char *path, ArchiveIndex &index, char *message, std::size_t size) {
    index = ArchiveIndex{};
    index.path = path;
    ArchiveSplit split;
    const int entered = split_archive_path(path, split, message, size);
    if (entered < 0) return -1;
    Reader outer;
    Reader inner;
    std::vector<char> bytes;
    Reader *reader = &outer;
    const std::string file = entered ? split.archive : std::string(path);
    if (!outer.open_file(file.c_str(), false, message, size)) return -1;
    if (entered) {
        // An archive inside an archive: its bytes are read whole, within the
        // bounds of any member, and listed from memory.
        std::string wanted;
        if (!wanted_member(split.member, wanted, message, size)) return -1;
        Walk walk;
        if (read_member_of(outer, wanted, 1, walk, bytes, message, size) != 0) return -1;
        if (!inner.open_memory(bytes, false, message, size)) return -1;
        reader = &inner;
        index.nested = true;
    }
    archive *a = reader->get();
    const long long walk_bound = std::max(kArchiveBombFloorBytes, kArchiveBombRatio * reader->bytes());
    long long walked = 0;
    archive_entry *entry = nullptr;
    for (;;) {
        const int r = lib().read_next_header(a, &entry);
        if (r == ARCHIVE_EOF) break;
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
            reader->fail(message, size);
            if (index.members.empty()) return -1;
            index.problem = message;
            break;
        }
        if (static_cast<int>(index.members.size()) >= kMaxArchiveMembers) {
            std::snprintf(message, size, "Only the first %d members are listed.", kMaxArchiveMembers);
            index.problem = message;
            break;
        }
        ArchiveMember member;
        const char *raw_name = lib().entry_pathname(entry);
        if (!raw_name) raw_name = "";
        member.unsafe = !normalise_member_name(raw_name, member.name);
        if (member.unsafe) member.name = raw_name;
        if (member.name.empty()) continue;
        member.directory = lib().entry_filetype(entry) == AE_IFDIR;
        member.encrypted = lib().entry_is_encrypted(entry);
        if (lib().entry_size_is_set(entry)) member.size = lib().entry_size(entry);
        if (passing_unpacks(a)) walked += std::max<long long>(member.size, 0);
        index.members.push_back(std::move(member));
        if (walked > walk_bound) {
            std::snprintf(message, size, "Archive unpacks to over %lld times its size: listed in part.",
                          kArchiveBombRatio);
            index.problem = message;
            break;
        }
    }
    if (!outer.unchanged(file.c_str())) {
        std::snprintf(message, size, "Archive changed while it was read: listed as read.");
        index.problem = message;
    }
    return 0;
}

std::vector<ArchiveEntry> archive_folder(const ArchiveIndex &index, const std::string &folder) {
    std::vector<ArchiveEntry> entries;
    std::set<std::string> seen;
    const std::string prefix = folder.empty() ? std::string() : folder + "/";
    for (const ArchiveMember &member : index.members) {
        if (member.unsafe) {
            if (folder.empty() && seen.insert(member.name).second)
                entries.push_back({member.name, ArchiveEntryKind::unsafe, member.size});
            continue;
        }
        if (member.name.compare(0, prefix.size(), prefix) != 0 || member.name.size() == prefix.size()) continue;
        const std::string rest = member.name.substr(prefix.size());
        const std::size_t slash = rest.find('/');
        const std::string name = rest.substr(0, slash);
        if (!seen.insert(name).second) continue;
        ArchiveEntryKind kind = ArchiveEntryKind::file;
        if (slash != std::string::npos || member.directory)
            kind = ArchiveEntryKind::folder;
        else if (member.encrypted)
            kind = ArchiveEntryKind::encrypted;
        else if (!index.nested && has_archive_name(name.c_str()))
            kind = ArchiveEntryKind::archive;
        entries.push_back({name, kind, kind == ArchiveEntryKind::folder ? -1 : member.size});
    }
    return entries;
}

int read_packed_module(const char *path, std::vector<char> &data, char *message, std::size_t size) {
    ArchiveSplit split;
    const int entered = split_archive_path(path, split, message, size);
    if (entered < 0) return -1;
    if (entered == 0) return file_has_packed_magic(path) ? read_packed_file(path, data, message, size) : 1;
    return read_pack_member(split.archive, split.member, data, message, size);
}

int read_zip_member_directly(const char *archive, const char *member, std::vector<char> &data) {
    std::string wanted;
    if (!normalise_member_name(member, wanted) || wanted.empty()) return 1;
    std::lock_guard<std::mutex> lock(open_pack_mutex);
    return read_zip_member_at(archive, wanted, data);
}

bool is_archive_file(const char *path) {
    if (has_single_module_name(path) || !file_has_packed_magic(path)) return false;
    char message[256];
    Reader reader;
    if (!reader.open_file(path, true, message, sizeof message)) return false;
    archive_entry *entry = nullptr;
    const int r = lib().read_next_header(reader.get(), &entry);
    return (r == ARCHIVE_OK || r == ARCHIVE_WARN) && !is_raw(reader.get());
}

bool path_readable(const char *path) {
    if (access(path, R_OK) == 0) return true;
    ArchiveSplit split;
    char message[128];
    return split_archive_path(path, split, message, sizeof message) == 1 && access(split.archive.c_str(), R_OK) == 0;
}

bool archive_member_names(const char *path, std::string &member, std::string &archive) {
    ArchiveSplit split;
    char message[128];
    if (split_archive_path(path, split, message, sizeof message) != 1) return false;
    member = base_name(split.member);
    archive = base_name(split.archive);
    // A member inside a member archive names the archive it is in.
    const std::size_t slash = split.member.rfind('/');
    if (slash != std::string::npos) {
        const std::string folder = split.member.substr(0, slash);
        const std::size_t inner = folder.rfind('/');
        const std::string last = folder.substr(inner == std::string::npos ? 0 : inner + 1);
        if (has_archive_name(last.c_str())) archive = last;
    }
    return true;
}
