#include "tonepick/pack_song.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "common/input_file.h"
#include "common/output_files.h"
#include "tonepick/pack/song_title.h"
#include "tonepick/tonepick_driver.h"
#include "tonepick/tonepick_run.h"
#include "tonepick/vgm/buffered_input.h"
#include "tonepick/vgm/gzip_input.h"
#include "tonepick/vgm/vgm_tags.h"

namespace {

// Messages of one song, collected in memory and printed in pack order.
class MessageBuffer {
public:
    MessageBuffer() { file_ = open_memstream(&buffer_, &size_); }
    ~MessageBuffer() {
        if (file_ != nullptr) std::fclose(file_);
        std::free(buffer_);
    }
    MessageBuffer(const MessageBuffer&) = delete;
    MessageBuffer& operator=(const MessageBuffer&) = delete;
    std::FILE* file() const { return file_; }
    std::string take() {
        std::fflush(file_);
        return std::string(buffer_ == nullptr ? "" : buffer_, size_);
    }

private:
    std::FILE* file_ = nullptr;
    char* buffer_ = nullptr;
    size_t size_ = 0;
};

// Tags and lengths from the log's header and GD3 tag (inflated first when it
// is gzip data); the input is read on demand, with no thread of its own.
VgmTags readTags(BufferedInput& in) {
    inflateIfGzip(in, kInflateOnDemand);
    VgmTags tags = readVgmTags(in);
    closeInput(in);
    return tags;
}

// Tab, line ends and other control characters would break the lines of songs.txt.
std::string oneLine(const std::string& text) {
    std::string line = text;
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return line;
}

std::string firstNonEmpty(const std::string& a, const std::string& b) { return oneLine(a.empty() ? b : a); }

// FNV-1a over the bytes, twice with different starting points and primes.
void digestBytes(const std::vector<uint8_t>& bytes, uint64_t digest[2]) {
    uint64_t a = 0xCBF29CE484222325ull;
    uint64_t b = 0x84222325CBF29CE4ull;
    for (const uint8_t byte : bytes) {
        a = (a ^ byte) * 0x100000001B3ull;
        b = (b ^ byte) * 0x100000001A7ull;
    }
    digest[0] = a;
    digest[1] = b ^ bytes.size();
}

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        parts.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return parts;
        start = tab + 1;
    }
}

// The samples the song's kit.txt lists (by the names of its header's
// columns), each WAV file read back once to tell equal samples apart.
void gatherKit(PackSongResult& result, OutputFileSystem& files) {
    std::vector<uint8_t> bytes;
    if (!files.readFile(joinOutputPath(result.folderPath, "kit.txt"), bytes)) return;
    const std::string text(bytes.begin(), bytes.end());
    std::vector<std::string> columns;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        std::vector<std::string> parts = splitTabs(line);
        if (columns.empty()) {
            columns = std::move(parts);
            continue;
        }
        SongKitSample sample;
        for (size_t i = 0; i < columns.size() && i < parts.size(); ++i) {
            if (columns[i] == "file") sample.file = parts[i];
            else if (columns[i] == "rate") sample.rate = parts[i];
            else if (columns[i] == "bytes") sample.bytes = parts[i];
            else if (columns[i] == "source") sample.source = parts[i];
            else if (columns[i] == "plays") sample.plays = std::strtoull(parts[i].c_str(), nullptr, 10);
        }
        if (sample.file.empty()) continue;
        if (files.readFile(joinOutputPath(result.folderPath, sample.file), bytes)) {
            digestBytes(bytes, sample.digest);
            sample.readable = true;
        }
        result.kit.push_back(std::move(sample));
    }
}

}  // namespace

PackSongResult convertPackSong(const TonepickRun& pack, OutputFileSystem& files, PackSongInput& input) {
    const PackSong& song = *input.song;
    PackSongResult result;
    result.number = input.number;

    std::FILE* file = nullptr;
    std::string problem = song.source == SongSource::kMissing ? song.problem : input.loadError;
    if (problem.empty() && song.source == SongSource::kFile) {
        file = openInputFile(song.path.c_str());
        if (file == nullptr) problem = "Error: Can't open file \"" + song.path + "\"\n";
    }
    VgmTags tags;
    if (problem.empty()) {
        BufferedInput in;
        if (file != nullptr) {
            openFileInput(in, file);
        } else {
            openMemoryInput(in, input.bytes.data(), input.bytes.size());
        }
        tags = readTags(in);
        if (file != nullptr) std::rewind(file);
    }
    result.title = songTitle(tags, song.fileName);
    result.folder = songFolderName(input.number, input.songCount, result.title);
    result.folderPath = joinOutputPath(pack.settings.outputDir, result.folder);
    result.game = firstNonEmpty(tags.gd3[kGd3GameEnglish], tags.gd3[kGd3GameJapanese]);
    result.composer = firstNonEmpty(tags.gd3[kGd3AuthorEnglish], tags.gd3[kGd3AuthorJapanese]);
    result.totalSamples = tags.totalSamples;
    result.loopSamples = tags.loopSamples;

    MessageBuffer messages;
    std::fprintf(messages.file(), "== %s ==\n", result.folder.c_str());
    if (!problem.empty()) {
        std::fputs(problem.c_str(), messages.file());
        result.status = 1;
        result.messages = messages.take();
        return result;
    }

    // The run object of a single run, with the pack's settings and the song folder as its output directory.
    auto run = std::make_unique<TonepickRun>();
    run->out = messages.file();
    run->files = &files;
    run->settings = pack.settings;
    run->settings.outputDir = result.folderPath;
    // Named as the user can find it, for a refusal of something that is not a log.
    run->settings.inputPath = song.source == SongSource::kFile ? song.path : song.path + ":" + song.entryName;
    TonepickExit code = kExitOk;
    if (file != nullptr) {
        code = convertVgmFile(*run, file);
        std::fclose(file);
    } else {
        code = convertVgmBytes(*run, input.bytes.data(), input.bytes.size());
        std::vector<uint8_t>().swap(input.bytes);
    }
    result.status = static_cast<int>(code);
    result.patches = run->patches.patches;
    result.patchFirstHeard = run->patchFirstHeard;
    result.patchFirstHeard.resize(result.patches.size(), 0);
    result.samples = static_cast<size_t>(run->dac.sampleNumber);
    run.reset();  // the song's memory goes before its kit files are read back
    if (pack.settings.sampleKit) {
        gatherKit(result, files);
        result.samples = result.kit.size();
    }
    result.messages = messages.take();
    return result;
}
