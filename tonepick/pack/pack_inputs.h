#pragma once
// The songs of a pack: what the inputs of the command line hold, in order.
// An input is a log, a folder (its .vgm/.vgz files), a .zip archive (its
// .vgm/.vgz entries in any folder) or an .m3u/.m3u8 playlist. A folder or
// archive that holds a playlist is taken in the playlist's order, the logs it
// does not list following by name; otherwise by name (byte order of the whole
// path). Nothing found here ever becomes an output path.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class SongSource : uint8_t {
    kFile,          // a file on disk: `path`
    kArchiveEntry,  // entry number `entryIndex` (`entryName`) of the archive at `path`
    kMissing,       // a playlist entry that names nothing readable: `problem` says why
};

struct PackSong {
    SongSource source = SongSource::kFile;
    std::string path;
    std::string entryName;
    size_t entryIndex = 0;   // position among all entries of the archive, in its own order
    std::string fileName;    // last part of the name, for the title when the log has none
    std::string problem;     // kMissing: the message line for the song's block
};

// The inputs make a pack run unless they are a single log (not a folder,
// archive or playlist).
bool isPackRun(const std::vector<std::string>& inputs);

// Appends the songs of `input`. False, with `error` set to the message line,
// when the input cannot be opened, listed or read as an archive (a missing
// entry of a playlist is a song of its own, kMissing, instead).
bool addPackSongs(const std::string& input, std::vector<PackSong>& songs, std::string& error);
