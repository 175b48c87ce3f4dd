#include "tonepick/pack/archive_entries.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>

#include "tonepick/pack/playlist.h"

namespace {

constexpr size_t kArchiveBlockSize = 64 * 1024;

archive* openArchive(const std::string& path) {
    archive* a = archive_read_new();
    if (a == nullptr) return nullptr;
    archive_read_support_format_zip(a);
    archive_read_support_filter_none(a);
    if (archive_read_open_filename(a, path.c_str(), kArchiveBlockSize) != ARCHIVE_OK) {
        archive_read_free(a);
        return nullptr;
    }
    return a;
}

std::string entryPathname(archive_entry* entry) {
    const char* name = archive_entry_pathname(entry);
    if (name == nullptr) name = archive_entry_pathname_utf8(entry);
    return name == nullptr ? std::string() : std::string(name);
}

// The rest of the current entry, up to `limit` bytes; false on a read error
// or when the entry holds more than `limit`.
bool readEntryData(archive* a, std::vector<uint8_t>& bytes, uint64_t limit, bool& tooBig) {
    tooBig = false;
    bytes.clear();
    std::vector<uint8_t> block(kArchiveBlockSize);
    for (;;) {
        const la_ssize_t got = archive_read_data(a, block.data(), block.size());
        if (got < 0) return false;
        if (got == 0) return true;
        if (bytes.size() + static_cast<uint64_t>(got) > limit) {
            tooBig = true;
            return false;
        }
        bytes.insert(bytes.end(), block.begin(), block.begin() + got);
    }
}

}  // namespace

struct ArchiveReaderState {
    archive* handle = nullptr;
    std::string path;
    size_t nextIndex = 0;  // entry whose header comes next
    ~ArchiveReaderState() {
        if (handle != nullptr) archive_read_free(handle);
    }
};

void ArchiveReaderStateDeleter::operator()(ArchiveReaderState* state) const { delete state; }

bool listArchive(const std::string& path, ArchiveListing& listing, std::string& error) {
    archive* a = openArchive(path);
    if (a == nullptr) {
        error = "Error: Can't open archive \"" + path + "\"\n";
        return false;
    }
    // Playlists by name: the first one wins, as for a folder.
    std::vector<std::pair<std::string, size_t>> playlists;
    archive_entry* entry = nullptr;
    size_t index = 0;
    int result = ARCHIVE_OK;
    while ((result = archive_read_next_header(a, &entry)) == ARCHIVE_OK || result == ARCHIVE_WARN) {
        if (archive_entry_filetype(entry) == AE_IFREG) {
            std::string name = entryPathname(entry);
            if (isPlaylistName(name)) playlists.emplace_back(name, index);
            listing.files.push_back(ArchiveEntryName{std::move(name), index});
        }
        ++index;
    }
    archive_read_free(a);
    if (result != ARCHIVE_EOF) {
        error = "Error: Can't read archive \"" + path + "\"\n";
        return false;
    }
    if (playlists.empty()) return true;
    const auto first = std::min_element(playlists.begin(), playlists.end());
    listing.playlistName = first->first;
    ArchiveReader reader;
    std::vector<uint8_t> bytes;
    std::string ignored;
    // An unreadable playlist is as good as none: the logs go by name.
    if (readArchiveEntry(reader, path, first->second, bytes, ignored)) {
        if (bytes.size() > kMaxPlaylistBytes) bytes.resize(kMaxPlaylistBytes);
        listing.playlistText.assign(bytes.begin(), bytes.end());
    }
    return true;
}

bool readArchiveEntry(ArchiveReader& reader, const std::string& path, size_t index, std::vector<uint8_t>& bytes,
                      std::string& error) {
    ArchiveReaderState* s = reader.state.get();
    // Entries come in archive order: going back means starting again.
    if (s == nullptr || s->path != path || s->nextIndex > index) {
        reader.state.reset(new ArchiveReaderState);
        s = reader.state.get();
        s->path = path;
        s->handle = openArchive(path);
    }
    if (s->handle == nullptr) {
        error = "Error: Can't open archive \"" + path + "\"\n";
        return false;
    }
    archive_entry* entry = nullptr;
    while (s->nextIndex <= index) {
        const int result = archive_read_next_header(s->handle, &entry);
        if (result != ARCHIVE_OK && result != ARCHIVE_WARN) {
            reader.state.reset();
            error = "Error: Can't read archive \"" + path + "\"\n";
            return false;
        }
        ++s->nextIndex;
    }
    bool tooBig = false;
    const std::string name = entryPathname(entry);
    if (!readEntryData(s->handle, bytes, kMaxArchiveEntryBytes, tooBig)) {
        // The archive's position is unknown after a failed read.
        reader.state.reset();
        bytes.clear();
        error = tooBig ? "Error: entry \"" + name + "\" of \"" + path + "\" is larger than 256 MiB\n"
                       : "Error: Can't read entry \"" + name + "\" of \"" + path + "\"\n";
        return false;
    }
    return true;
}
