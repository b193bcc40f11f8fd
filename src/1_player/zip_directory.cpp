#include "1_player/zip_directory.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "1_player/archive_path.h"

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;        // "PK\5\6"
constexpr std::uint32_t kEnd64Signature = 0x06064b50;      // "PK\6\6"
constexpr std::uint32_t kLocatorSignature = 0x07064b50;    // "PK\6\7"
constexpr std::uint32_t kCentralSignature = 0x02014b50;    // "PK\1\2"
constexpr std::size_t kEndBytes = 22;
constexpr std::size_t kEnd64Bytes = 56;
constexpr std::size_t kLocatorBytes = 20;
constexpr std::size_t kCentralBytes = 46;
constexpr long long kLocalBytes = 30;
// End records tried before the directory is given up: a comment may hold
// signatures of its own.
constexpr int kMostEndRecordsTried = 4;

std::uint16_t u16(const unsigned char *p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t u32(const unsigned char *p) { return u16(p) | static_cast<std::uint32_t>(u16(p + 2)) << 16; }
std::uint64_t u64(const unsigned char *p) { return u32(p) | static_cast<std::uint64_t>(u32(p + 4)) << 32; }

// Where the central directory stands, as an end record (and its ZIP64
// record) says.
struct DirectoryPlace {
    std::uint64_t offset = 0;
    std::uint64_t bytes = 0;
    std::uint64_t count = 0;
    long long end = 0;  // where the records after the directory begin
};

// The ZIP64 end record named by the locator at `locator` (an offset of the
// file), whose bytes are `at`.
bool read_zip64_place(const unsigned char *at, long long locator, const ZipReadAt &read_at, DirectoryPlace &place) {
    if (u32(at) != kLocatorSignature || u32(at + 4) != 0 || u32(at + 16) > 1) return false;
    const std::uint64_t record = u64(at + 8);
    if (record > static_cast<std::uint64_t>(locator) || locator - static_cast<long long>(record) < static_cast<long long>(kEnd64Bytes))
        return false;
    unsigned char r[kEnd64Bytes];
    if (!read_at(static_cast<long long>(record), sizeof r, r)) return false;
    // The record runs up to the locator, and names disk 0 only.
    if (u32(r) != kEnd64Signature || u64(r + 4) != static_cast<std::uint64_t>(locator) - record - 12 ||
        u32(r + 16) != 0 || u32(r + 20) != 0 || u64(r + 24) != u64(r + 32))
        return false;
    place.count = u64(r + 32);
    place.bytes = u64(r + 40);
    place.offset = u64(r + 48);
    place.end = static_cast<long long>(record);
    return true;
}

// The place the end record at `p` of `tail` (which begins at offset `base`
// of the file) gives, its ZIP64 record followed where there is one.
bool read_place(const unsigned char *tail, std::size_t p, long long base, const ZipReadAt &read_at,
                DirectoryPlace &place) {
    const unsigned char *e = tail + p;
    const long long at = base + static_cast<long long>(p);
    if (p >= kLocatorBytes && u32(e - kLocatorBytes) == kLocatorSignature)
        return read_zip64_place(e - kLocatorBytes, at - static_cast<long long>(kLocatorBytes), read_at, place);
    if (u16(e + 4) != 0 || u16(e + 6) != 0 || u16(e + 8) != u16(e + 10)) return false;
    place.count = u16(e + 10);
    place.bytes = u32(e + 12);
    place.offset = u32(e + 16);
    place.end = at;
    // Saturated fields belong to a ZIP64 record that is missing.
    return place.count != 0xffff && place.bytes != 0xffffffff && place.offset != 0xffffffff;
}

// The ZIP64 extra field's values for the fields of `e` that are saturated,
// in their order: unpacked size, packed size, offset, disk.
bool read_zip64_extra(const unsigned char *extra, std::size_t n, std::uint64_t &size, std::uint64_t &packed,
                      std::uint64_t &offset, std::uint32_t &disk) {
    std::size_t at = 0;
    bool saturated_size = size == 0xffffffff, saturated_packed = packed == 0xffffffff,
         saturated_offset = offset == 0xffffffff, saturated_disk = disk == 0xffff;
    while (at < n) {
        if (n - at < 4) return false;
        const std::uint16_t id = u16(extra + at);
        const std::size_t length = u16(extra + at + 2);
        at += 4;
        if (length > n - at) return false;
        if (id == 0x0001) {
            const unsigned char *f = extra + at;
            std::size_t left = length;
            auto take64 = [&](bool wanted, std::uint64_t &value) {
                if (!wanted) return true;
                if (left < 8) return false;
                value = u64(f);
                f += 8;
                left -= 8;
                return true;
            };
            std::uint64_t disk64 = disk;
            if (!take64(saturated_size, size) || !take64(saturated_packed, packed) ||
                !take64(saturated_offset, offset))
                return false;
            if (saturated_disk) {
                if (left < 4) return false;
                disk64 = u32(f);
            }
            disk = static_cast<std::uint32_t>(disk64);
            saturated_size = saturated_packed = saturated_offset = saturated_disk = false;
        }
        at += length;
    }
    return !saturated_size && !saturated_packed && !saturated_offset && !saturated_disk;
}

// Reads the `place.count` records of the directory in `d` (its `place.bytes`
// bytes) into `out`. Each member must lie before the directory.
bool read_entries(const unsigned char *d, const DirectoryPlace &place, std::vector<ZipEntry> &out,
                  std::vector<long long> &lowest_ends) {
    const std::size_t n = static_cast<std::size_t>(place.bytes);
    const long long directory = static_cast<long long>(place.offset);
    std::size_t at = 0;
    out.reserve(static_cast<std::size_t>(place.count));
    lowest_ends.reserve(static_cast<std::size_t>(place.count));
    for (std::uint64_t i = 0; i < place.count; ++i) {
        if (n - at < kCentralBytes || u32(d + at) != kCentralSignature) return false;
        const unsigned char *c = d + at;
        const std::size_t name_bytes = u16(c + 28), extra_bytes = u16(c + 30), comment_bytes = u16(c + 32);
        if (n - at - kCentralBytes < name_bytes + extra_bytes + comment_bytes) return false;
        if (name_bytes == 0 || name_bytes >= PATH_MAX) return false;
        const char *name = reinterpret_cast<const char *>(c + kCentralBytes);
        if (std::memchr(name, '\0', name_bytes)) return false;
        std::uint64_t size = u32(c + 24), packed = u32(c + 20), offset = u32(c + 42);
        std::uint32_t disk = u16(c + 34);
        if (!read_zip64_extra(c + kCentralBytes + name_bytes, extra_bytes, size, packed, offset, disk) || disk != 0)
            return false;
        // The local header, its name and the packed data come before the
        // directory (the local extra field's length is its own, checked when
        // the member is read).
        const std::uint64_t lowest = kLocalBytes + name_bytes;
        if (offset >= place.offset || packed > place.offset || place.offset - offset < lowest + packed) return false;
        ZipEntry entry;
        entry.name.assign(name, name_bytes);
        entry.offset = static_cast<long long>(offset);
        entry.packed = static_cast<long long>(packed);
        entry.size = size > static_cast<std::uint64_t>(LLONG_MAX) ? LLONG_MAX : static_cast<long long>(size);
        entry.method = u16(c + 10);
        const std::uint16_t flags = u16(c + 8);
        entry.encrypted = (flags & 0x0001) != 0 || (flags & 0x0040) != 0 || entry.method == 99;
        const unsigned host = u16(c + 4) >> 8;
        const std::uint32_t attributes = u32(c + 38);
        entry.directory = name[name_bytes - 1] == '/' || (host == 3 && ((attributes >> 16) & 0170000) == 0040000) ||
                          (host == 0 && (attributes & 0x10) != 0);
        entry.end = directory;
        out.push_back(std::move(entry));
        lowest_ends.push_back(static_cast<long long>(offset + lowest + packed));
        at += kCentralBytes + name_bytes + extra_bytes + comment_bytes;
    }
    return at == n;
}

// Orders the entries by their local headers and gives each the offset
// where the next begins; false when two overlap.
bool place_entries(std::vector<ZipEntry> &entries, const std::vector<long long> &lowest_ends, long long directory) {
    std::vector<std::size_t> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return entries[a].offset < entries[b].offset; });
    std::vector<ZipEntry> sorted;
    sorted.reserve(entries.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        const long long next = k + 1 < order.size() ? entries[order[k + 1]].offset : directory;
        if (lowest_ends[order[k]] > next) return false;
        sorted.push_back(std::move(entries[order[k]]));
        sorted.back().end = next;
    }
    entries = std::move(sorted);
    return true;
}

bool read_directory(long long file_size, const DirectoryPlace &place, const ZipReadAt &read_at, ZipDirectory &out) {
    if (place.count > static_cast<std::uint64_t>(kMaxArchiveMembers) ||
        place.bytes > static_cast<std::uint64_t>(kMaxZipDirectoryBytes) || place.offset > static_cast<std::uint64_t>(file_size) ||
        place.bytes < place.count * kCentralBytes ||
        place.offset + place.bytes != static_cast<std::uint64_t>(place.end))
        return false;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(place.bytes));
    if (!bytes.empty() && !read_at(static_cast<long long>(place.offset), bytes.size(), bytes.data())) return false;
    std::vector<long long> lowest_ends;
    if (!read_entries(bytes.data(), place, out.entries, lowest_ends) ||
        !place_entries(out.entries, lowest_ends, static_cast<long long>(place.offset)))
        return false;
    out.directory_offset = static_cast<long long>(place.offset);
    for (std::size_t i = 0; i < out.entries.size(); ++i) {
        std::string name;
        if (out.entries[i].directory || !normalise_member_name(out.entries[i].name.c_str(), name) || name.empty())
            continue;
        out.by_name.emplace_back(std::move(name), i);
    }
    std::sort(out.by_name.begin(), out.by_name.end());
    return true;
}

}  // namespace

const ZipEntry *ZipDirectory::find(const std::string &wanted) const {
    const auto at = std::lower_bound(by_name.begin(), by_name.end(), std::make_pair(wanted, std::size_t{0}));
    return at != by_name.end() && at->first == wanted ? &entries[at->second] : nullptr;
}

bool parse_zip_directory(long long file_size, const ZipReadAt &read_at, ZipDirectory &out) {
    out = ZipDirectory{};
    if (file_size < static_cast<long long>(kEndBytes)) return false;
    const std::size_t tail_bytes = static_cast<std::size_t>(std::min<long long>(file_size, kZipEndSearchBytes));
    const long long base = file_size - static_cast<long long>(tail_bytes);
    std::vector<unsigned char> tail(tail_bytes);
    if (!read_at(base, tail_bytes, tail.data())) return false;
    // From the end back: an end record whose comment reaches the file's end
    // exactly, and whose directory holds together.
    int tried = 0;
    for (std::size_t p = tail_bytes - kEndBytes + 1; p-- > 0 && tried < kMostEndRecordsTried;) {
        if (u32(tail.data() + p) != kEndSignature || p + kEndBytes + u16(tail.data() + p + 20) != tail_bytes) continue;
        ++tried;
        DirectoryPlace place;
        if (read_place(tail.data(), p, base, read_at, place) && read_directory(file_size, place, read_at, out))
            return true;
        out = ZipDirectory{};
    }
    return false;
}
