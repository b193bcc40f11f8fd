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
