#include "archive_fixture.h"

#include <archive.h>
#include <archive_entry.h>
#include <fstream>
#include <iterator>
#include <stdexcept>

void write_fixture_archive(const std::string &path, FixtureKind kind, const std::vector<FixtureMember> &members) {
    archive *a = archive_write_new();
    switch (kind) {
    case FixtureKind::zip_stored:
        archive_write_set_format_zip(a);
        archive_write_set_options(a, "zip:compression=store");
        break;
    case FixtureKind::zip_deflated: archive_write_set_format_zip(a); break;
    case FixtureKind::zip_encrypted:
        archive_write_set_format_zip(a);
        archive_write_set_options(a, "zip:encryption=zipcrypt");
        archive_write_set_passphrase(a, "secret");
        break;
    case FixtureKind::seven_zip: archive_write_set_format_7zip(a); break;
    case FixtureKind::tar: archive_write_set_format_pax_restricted(a); break;
    case FixtureKind::tar_gz:
        archive_write_set_format_pax_restricted(a);
        archive_write_add_filter_gzip(a);
        break;
    case FixtureKind::tar_xz:
        archive_write_set_format_pax_restricted(a);
        archive_write_add_filter_xz(a);
        break;
    case FixtureKind::tar_bz2:
        archive_write_set_format_pax_restricted(a);
        archive_write_add_filter_bzip2(a);
        break;
    case FixtureKind::gz:
        archive_write_set_format_raw(a);
        archive_write_add_filter_gzip(a);
        break;
    }
    if (archive_write_open_filename(a, path.c_str()) != ARCHIVE_OK)
        throw std::runtime_error(archive_error_string(a));
    for (const FixtureMember &m : members) {
        archive_entry *e = archive_entry_new();
        archive_entry_set_pathname(e, m.name.c_str());
        archive_entry_set_filetype(e, m.directory ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(e, m.directory ? 0755 : 0644);
        archive_entry_set_size(e, m.directory ? 0 : static_cast<la_int64_t>(m.data.size()));
        if (archive_write_header(a, e) != ARCHIVE_OK) throw std::runtime_error(archive_error_string(a));
        if (!m.directory && !m.data.empty()) archive_write_data(a, m.data.data(), m.data.size());
        archive_entry_free(e);
        if (kind == FixtureKind::gz) break;
    }
    archive_write_close(a);
    archive_write_free(a);
}

std::string fixture_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

unsigned long crc32_of(const std::string &data) {
    unsigned long crc = 0xffffffffUL;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320UL & (0UL - (crc & 1)));
    }
    return crc ^ 0xffffffffUL;
}

void put(std::string &out, unsigned long long value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

}  // namespace

std::string build_zip(const BuiltZip &zip) {
    std::string out;
    std::string directory;
    for (const BuiltZipMember &m : zip.members) {
        const std::string &local_name = m.local_name.empty() ? m.name : m.local_name;
        const unsigned long long offset = out.size();
        const unsigned long crc = crc32_of(m.data);
        const unsigned long long size32 = zip.zip64 ? 0xffffffffULL : m.data.size();
        put(out, 0x04034b50, 4);
        put(out, zip.zip64 ? 45 : 20, 2);
        put(out, m.flags, 2);
        put(out, 0, 2);  // stored
        put(out, 0, 4);  // time and date
        put(out, crc, 4);
        put(out, size32, 4);
        put(out, size32, 4);
        put(out, local_name.size(), 2);
        put(out, zip.zip64 ? 20 : 0, 2);
        out += local_name;
        if (zip.zip64) {
            put(out, 1, 2);
            put(out, 16, 2);
            put(out, m.data.size(), 8);
            put(out, m.data.size(), 8);
        }
        out += m.data;

        const unsigned long long stated = m.offset != -1 ? static_cast<unsigned long long>(m.offset) : offset;
        put(directory, 0x02014b50, 4);
        put(directory, 3 << 8 | 45, 2);
        put(directory, zip.zip64 ? 45 : 20, 2);
        put(directory, m.flags, 2);
        put(directory, 0, 2);
        put(directory, 0, 4);
        put(directory, crc, 4);
        put(directory, size32, 4);
        put(directory, size32, 4);
        put(directory, m.name.size(), 2);
        put(directory, zip.zip64 ? 28 : 0, 2);
        put(directory, 0, 2);  // comment
        put(directory, 0, 2);  // disk
        put(directory, 0, 2);
        put(directory, 0100644UL << 16, 4);
        put(directory, zip.zip64 ? 0xffffffffULL : stated, 4);
        directory += m.name;
        if (zip.zip64) {
            put(directory, 1, 2);
            put(directory, 24, 2);
            put(directory, m.data.size(), 8);
            put(directory, m.data.size(), 8);
            put(directory, stated, 8);
        }
    }
    const unsigned long long directory_offset = out.size();
    out += directory;
    const unsigned long long count = zip.members.size();
    if (zip.zip64) {
        const unsigned long long record = out.size();
        put(out, 0x06064b50, 4);
        put(out, 44, 8);
        put(out, 45, 2);
        put(out, 45, 2);
        put(out, 0, 4);
        put(out, 0, 4);
        put(out, count, 8);
        put(out, count, 8);
        put(out, directory.size(), 8);
        put(out, directory_offset, 8);
        put(out, 0x07064b50, 4);
        put(out, 0, 4);
        put(out, record, 8);
        put(out, 1, 4);
    }
    put(out, 0x06054b50, 4);
    put(out, 0, 2);
    put(out, 0, 2);
    put(out, zip.zip64 ? 0xffff : count, 2);
    put(out, zip.zip64 ? 0xffff : count, 2);
    put(out, zip.zip64 ? 0xffffffffULL : directory.size(), 4);
    put(out, zip.zip64 ? 0xffffffffULL : directory_offset, 4);
    put(out, zip.comment.size(), 2);
    out += zip.comment;
    return out;
}

std::size_t built_directory_offset(const std::string &bytes) {
    const std::size_t end = bytes.size() - 22;
    std::size_t offset = 0;
    for (int i = 3; i >= 0; --i) offset = offset << 8 | static_cast<unsigned char>(bytes[end + 16 + i]);
    return offset;
}
