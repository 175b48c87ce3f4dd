#include "tests/support/zip_writer.h"

#include <archive.h>
#include <archive_entry.h>

bool writeZip(const std::string& path, const std::vector<ZipEntry>& entries) {
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    bool ok = archive_write_open_filename(a, path.c_str()) == ARCHIVE_OK;
    for (const ZipEntry& e : entries) {
        if (!ok) break;
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.name.c_str());
        archive_entry_set_size(entry, static_cast<la_int64_t>(e.bytes.size()));
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        ok = archive_write_header(a, entry) == ARCHIVE_OK &&
             (e.bytes.empty() ||
              archive_write_data(a, e.bytes.data(), e.bytes.size()) == static_cast<la_ssize_t>(e.bytes.size()));
        archive_entry_free(entry);
    }
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    return ok;
}
