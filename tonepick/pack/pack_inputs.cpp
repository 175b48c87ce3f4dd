#include "tonepick/pack/pack_inputs.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>
#include <unordered_map>

#include "tonepick/pack/archive_entries.h"
#include "tonepick/pack/playlist.h"

namespace fs = std::filesystem;

namespace {

std::string lastPart(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

bool isRegularFile(const fs::path& path) {
    std::error_code ignored;
    return fs::is_regular_file(path, ignored);  // symbolic links followed
}

PackSong fileSong(const fs::path& path) {
    PackSong song;
    song.path = path.string();
    song.fileName = path.filename().string();
    if (!isRegularFile(path)) {
        song.source = SongSource::kMissing;
        song.problem = "Error: Can't open file \"" + song.path + "\"\n";
    }
    return song;
}

bool readPlaylistFile(const fs::path& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.resize(kMaxPlaylistBytes);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return true;
}

// The songs a playlist file lists, relative entries taken from its folder.
// Returns the normal forms of the paths listed.
std::set<std::string> addPlaylistSongs(const fs::path& playlist, const std::string& text,
                                       std::vector<PackSong>& songs) {
    std::set<std::string> listed;
    const fs::path folder = playlist.parent_path();
    for (const std::string& entry : playlistEntries(text)) {
        const fs::path path = fs::path(entry).is_absolute() ? fs::path(entry) : folder / entry;
        listed.insert(path.lexically_normal().string());
        songs.push_back(fileSong(path));
    }
    return listed;
}

bool addFolderSongs(const fs::path& folder, std::vector<PackSong>& songs, std::string& error) {
    std::error_code failed;
    fs::directory_iterator it(folder, failed);
    if (failed) {
        error = "Error: Can't open folder \"" + folder.string() + "\"\n";
        return false;
    }
    std::vector<fs::path> logs;
    std::vector<fs::path> playlists;
    for (; it != fs::directory_iterator(); it.increment(failed)) {
        const fs::path& path = it->path();
        const std::string name = path.filename().string();
        if (!isLogName(name) && !isPlaylistName(name)) continue;
        if (!isRegularFile(path)) continue;  // subfolders, links to anything but a file
        (isLogName(name) ? logs : playlists).push_back(path);
    }
    if (failed) {
        error = "Error: Can't read folder \"" + folder.string() + "\"\n";
        return false;
    }
    std::sort(logs.begin(), logs.end());
    std::set<std::string> listed;
    if (!playlists.empty()) {
        const fs::path playlist = *std::min_element(playlists.begin(), playlists.end());
        std::string text;
        if (readPlaylistFile(playlist, text)) listed = addPlaylistSongs(playlist, text, songs);
    }
    for (const fs::path& log : logs) {
        if (listed.count(log.lexically_normal().string()) == 0) songs.push_back(fileSong(log));
    }
    return true;
}

PackSong entrySong(const std::string& archivePath, const ArchiveEntryName& entry) {
    PackSong song;
    song.source = SongSource::kArchiveEntry;
    song.path = archivePath;
    song.entryName = entry.name;
    song.entryIndex = entry.index;
    song.fileName = lastPart(entry.name);
    return song;
}

bool addArchiveSongs(const std::string& path, std::vector<PackSong>& songs, std::string& error) {
    ArchiveListing listing;
    if (!listArchive(path, listing, error)) return false;
    std::vector<const ArchiveEntryName*> logs;
    std::unordered_map<std::string, const ArchiveEntryName*> byName;
    for (const ArchiveEntryName& entry : listing.files) {
        byName.emplace(normalEntryPath(entry.name), &entry);
        if (isLogName(entry.name)) logs.push_back(&entry);
    }
    std::stable_sort(logs.begin(), logs.end(),
                     [](const ArchiveEntryName* a, const ArchiveEntryName* b) { return a->name < b->name; });
    std::set<size_t> listed;
    if (!listing.playlistName.empty()) {
        const size_t slash = listing.playlistName.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "" : listing.playlistName.substr(0, slash + 1);
        for (const std::string& item : playlistEntries(listing.playlistText)) {
            const auto found = byName.find(normalEntryPath(folder + item));
            if (found == byName.end()) {
                PackSong song;
                song.source = SongSource::kMissing;
                song.path = path;
                song.entryName = item;
                song.fileName = lastPart(item);
                song.problem = "Error: no entry \"" + item + "\" in \"" + path + "\"\n";
                songs.push_back(std::move(song));
                continue;
            }
            listed.insert(found->second->index);
            songs.push_back(entrySong(path, *found->second));
        }
    }
    for (const ArchiveEntryName* log : logs) {
        if (listed.count(log->index) == 0) songs.push_back(entrySong(path, *log));
    }
    return true;
}

bool isFolder(const std::string& path) {
    std::error_code ignored;
    return fs::is_directory(path, ignored);
}

}  // namespace

bool isPackRun(const std::vector<std::string>& inputs) {
    if (inputs.size() != 1) return true;
    const std::string& input = inputs.front();
    return isFolder(input) || isArchiveName(input) || isPlaylistName(input);
}

bool addPackSongs(const std::string& input, std::vector<PackSong>& songs, std::string& error) {
    if (isFolder(input)) return addFolderSongs(input, songs, error);
    if (isArchiveName(input)) return addArchiveSongs(input, songs, error);
    if (isPlaylistName(input)) {
        std::string text;
        if (!isRegularFile(input) || !readPlaylistFile(input, text)) {
            error = "Error: Can't open file \"" + input + "\"\n";
            return false;
        }
        addPlaylistSongs(input, text, songs);
        return true;
    }
    // A log named on the command line: the run cannot start without it.
    PackSong song = fileSong(input);
    if (song.source == SongSource::kMissing) {
        error = song.problem;
        return false;
    }
    songs.push_back(std::move(song));
    return true;
}
