#pragma once
// Reading .zip archives through libarchive, straight from the file: no entry
// is extracted to disk, and an entry's bytes are held in memory only while its
// song is converted.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One regular-file entry of an archive.
struct ArchiveEntryName {
    std::string name;  // as stored (may hold "../" or start with "/")
    size_t index = 0;  // position among all the archive's entries
};

// An entry bigger than this is refused: a forged archive cannot make a song
// hold more memory than a big log needs.
constexpr uint64_t kMaxArchiveEntryBytes = 256ull << 20;
// Playlists inside archives are read up to this size.
constexpr size_t kMaxPlaylistBytes = 1u << 20;

struct ArchiveListing {
    std::vector<ArchiveEntryName> files;   // regular files, in archive order
    std::string playlistName;              // the first playlist by name, "" when none
    std::string playlistText;              // its bytes (up to kMaxPlaylistBytes)
};

// Lists the regular files of the archive at `path` and reads its first
// playlist by name. False with `error` set when it cannot be opened or read.
bool listArchive(const std::string& path, ArchiveListing& listing, std::string& error);

// Reads entries of one archive, in any order (reopening it to go back).
struct ArchiveReaderState;
struct ArchiveReaderStateDeleter {
    void operator()(ArchiveReaderState* state) const;
};
struct ArchiveReader {
    std::unique_ptr<ArchiveReaderState, ArchiveReaderStateDeleter> state;
};

// The bytes of entry `index` of the archive at `path`. False with `error`
// set (a whole message line) when the archive or the entry cannot be read or
// the entry is larger than kMaxArchiveEntryBytes.
bool readArchiveEntry(ArchiveReader& reader, const std::string& path, size_t index, std::vector<uint8_t>& bytes,
                      std::string& error);
