#include "tonepick/pack_outputs.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <map>
#include <string>
#include <unordered_map>

#include "common/output_directory.h"
#include "common/output_writer.h"
#include "common/instrument_formats/instrument_formats.h"
#include "tonepick/instruments/patch_list.h"
#include "tonepick/instruments/wav_file.h"
#include "tonepick/midi/dac_track.h"
#include "tonepick/pack/song_title.h"
#include "tonepick/run_outputs.h"
#include "tonepick/tonepick_run.h"

namespace {

constexpr uint32_t kSampleRate = 44100;

// Where something is first heard, and the songs that use it.
struct PackUse {
    size_t firstSong = 0;     // index into the songs
    uint32_t firstTime = 0;   // sampleTime in that song
    std::vector<size_t> songs;  // song indices, ascending, no repeats

    void add(size_t song) {
        if (songs.empty() || songs.back() != song) songs.push_back(song);
    }
    void merge(const PackUse& other) {
        std::vector<size_t> all;
        all.reserve(songs.size() + other.songs.size());
        size_t i = 0, j = 0;
        while (i < songs.size() || j < other.songs.size()) {
            size_t next = 0;
            if (j == other.songs.size() || (i < songs.size() && songs[i] <= other.songs[j])) {
                next = songs[i++];
                if (j < other.songs.size() && other.songs[j] == next) ++j;
            } else {
                next = other.songs[j++];
            }
            all.push_back(next);
        }
        songs = std::move(all);
    }
};

std::string songList(const std::vector<PackSongResult>& songs, const std::vector<size_t>& indices) {
    std::string text;
    for (const size_t i : indices) {
        if (!text.empty()) text += ',';
        text += songNumberText(songs[i].number, songs.size());
    }
    return text;
}

void writeText(TonepickRun& run, const std::string& path, const std::string& text) {
    OutputWriter file(*run.files, path, run.out, run.outputFailed);
    if (file.created()) file.write(text.data(), text.size());
}

// Makes `dir`; false (reported) when it is not a directory afterwards.
bool makeFolder(TonepickRun& run, const std::string& dir) {
    OutputDirectoryState state;
    if (prepareOutputDirectory(state, dir, *run.files, run.out)) return true;
    run.outputFailed = true;
    return false;
}

size_t writeInstruments(TonepickRun& run, const std::vector<PackSongResult>& songs) {
    // Every distinct instrument once, as within one song: the first key-on in
    // pack order places it, the loudest key-on anywhere gives its levels.
    PatchList list;
    std::vector<PackUse> uses;
    for (size_t s = 0; s < songs.size(); ++s) {
        const PackSongResult& song = songs[s];
        for (size_t p = 0; p < song.patches.size(); ++p) {
            const int32_t index = capturePatch(list, song.patches[p]);
            if (index < 0) continue;
            if (static_cast<size_t>(index) == uses.size()) uses.push_back(PackUse{s, song.patchFirstHeard[p], {}});
            uses[static_cast<size_t>(index)].add(s);
        }
    }
    const int type = run.settings.formatIndex;
    const int size = instrumentTypeSize(type);
    const std::string dir = joinOutputPath(run.settings.outputDir, "instruments");
    if (uses.empty() || size == 0) {
        writeText(run, joinOutputPath(run.settings.outputDir, "instruments.txt"), "file\tsongs\tfirst heard\n");
        return 0;
    }
    makeFolder(run, dir);
    // With -i unique, files of equal bytes are one: the first stands for all.
    std::vector<std::string> fileBytes;
    std::vector<PackUse> fileUses;
    std::map<std::string, size_t> byBytes;
    std::array<uint8_t, kMaxInstrumentSize> buffer{};
    for (size_t i = 0; i < list.patches.size(); ++i) {
        writeInstrument(list.patches[i], type, buffer.data());
        std::string bytes(buffer.begin(), buffer.begin() + size);
        if (run.settings.uniqueInstruments) {
            const auto [at, added] = byBytes.emplace(bytes, fileBytes.size());
            if (!added) {
                fileUses[at->second].merge(uses[i]);
                continue;
            }
        }
        fileBytes.push_back(std::move(bytes));
        fileUses.push_back(uses[i]);
    }
    std::string listing = "file\tsongs\tfirst heard\n";
    for (size_t n = 0; n < fileBytes.size(); ++n) {
        const std::string name = patchFileName(n, run.settings.patchExtension);
        OutputWriter file(*run.files, joinOutputPath(dir, name), run.out, run.outputFailed);
        if (file.created()) file.write(fileBytes[n].data(), fileBytes[n].size());
        const PackUse& use = fileUses[n];
        listing += name + '\t' + songList(songs, use.songs) + '\t' +
                   songNumberText(songs[use.firstSong].number, songs.size()) + ' ' +
                   minutesSecondsMillis(use.firstTime) + '\n';
    }
    writeText(run, joinOutputPath(run.settings.outputDir, "instruments.txt"), listing);
    return fileBytes.size();
}

struct DigestKey {
    uint64_t a = 0, b = 0;
    bool operator<(const DigestKey& o) const { return a != o.a ? a < o.a : b < o.b; }
};

size_t writeKit(TonepickRun& run, const std::vector<PackSongResult>& songs) {
    struct PackSample {
        const SongKitSample* first = nullptr;
        const PackSongResult* song = nullptr;
        uint64_t plays = 0;
        PackUse use;
    };
    std::vector<PackSample> samples;
    std::map<DigestKey, size_t> byDigest;
    for (size_t s = 0; s < songs.size(); ++s) {
        for (const SongKitSample& k : songs[s].kit) {
            if (!k.readable) continue;
            const auto [at, added] = byDigest.emplace(DigestKey{k.digest[0], k.digest[1]}, samples.size());
            if (added) samples.push_back(PackSample{&k, &songs[s], 0, PackUse{s, 0, {}}});
            PackSample& sample = samples[at->second];
            sample.plays += k.plays;
            sample.use.add(s);
        }
    }
    const std::string dir = joinOutputPath(run.settings.outputDir, "kit");
    if (!makeFolder(run, dir)) return 0;
    std::string listing = "file\tnote\trate\tbytes\tplays\tsource\tsongs\n";
    std::vector<uint8_t> bytes;
    for (size_t n = 0; n < samples.size(); ++n) {
        const PackSample& sample = samples[n];
        const std::string name = wavFileName(static_cast<int32_t>(n));
        OutputWriter file(*run.files, joinOutputPath(dir, name), run.out, run.outputFailed);
        if (file.created()) {
            if (run.files->readFile(joinOutputPath(sample.song->folderPath, sample.first->file), bytes)) {
                file.write(bytes.data(), bytes.size());
            } else {
                file.markIncomplete();
            }
        }
        char line[96];
        std::snprintf(line, sizeof line, "%s\t%d\t", name.c_str(), dacNoteOf(static_cast<uint32_t>(n)));
        listing += line;
        listing += sample.first->rate + '\t' + sample.first->bytes + '\t' + std::to_string(sample.plays) + '\t' +
                   songNumberText(sample.song->number, songs.size()) + ' ' + sample.first->source + '\t' +
                   songList(songs, sample.use.songs) + '\n';
    }
    writeText(run, joinOutputPath(dir, "kit.txt"), listing);
    return samples.size();
}

void writeSongList(TonepickRun& run, const std::vector<PackSongResult>& songs) {
    std::string text = "number\tfolder\ttitle\tgame\tcomposer\tlength\tloop\tinstruments\tsamples\tstatus\n";
    for (const PackSongResult& s : songs) {
        text += songNumberText(s.number, songs.size()) + '\t' + s.folder + '\t' + s.title + '\t' + s.game + '\t' +
                s.composer + '\t' + minutesSeconds(s.totalSamples) + '\t' +
                (s.loopSamples == 0 ? std::string("-") : minutesSeconds(s.loopSamples)) + '\t' +
                std::to_string(s.patches.size()) + '\t' + std::to_string(s.samples) + '\t' + std::to_string(s.status) +
                '\n';
    }
    writeText(run, joinOutputPath(run.settings.outputDir, "songs.txt"), text);
}

}  // namespace

std::string minutesSeconds(uint64_t samples) {
    const uint64_t seconds = samples / kSampleRate;
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIu64 ":%02" PRIu64, seconds / 60, seconds % 60);
    return text;
}

std::string minutesSecondsMillis(uint64_t samples) {
    const uint64_t millis = samples * 1000 / kSampleRate;
    char text[40];
    std::snprintf(text, sizeof text, "%" PRIu64 ":%02" PRIu64 ".%03" PRIu64, millis / 60000, millis / 1000 % 60,
                  millis % 1000);
    return text;
}

PackFolderCounts writePackFolders(TonepickRun& run, const std::vector<PackSongResult>& songs) {
    PackFolderCounts counts;
    counts.instruments = writeInstruments(run, songs);
    if (run.settings.sampleKit) counts.samples = writeKit(run, songs);
    writeSongList(run, songs);
    return counts;
}
