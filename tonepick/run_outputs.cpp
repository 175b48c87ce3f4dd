#include "tonepick/run_outputs.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <string>
#include <unordered_set>

#include "common/output_directory.h"
#include "common/output_writer.h"
#include "tonepick/instruments/instrument_formats.h"
#include "tonepick/instruments/wav_file.h"
#include "tonepick/midi/dac_track.h"
#include "tonepick/tonepick_run.h"
#include "tonepick/vgm/dac_stream_player.h"

std::string patchFileName(size_t index, const std::string& extension) {
    std::array<char, 32> number{};
    std::snprintf(number.data(), number.size(), "patch_%02zu.", index);
    return std::string(number.data()) + extension;
}

namespace {

constexpr size_t kKitChunk = 64 * 1024;  // sample bytes gathered per write

// Calls put(bytes, n) with the bytes of kit sample `s` in pieces; false when
// some could not be read back.
// A PCM or stream sample as a pass over the stream bank (the PCM blocks end
// to end) from its place; false when its block is not in the bank.
bool kitSamplePass(TonepickRun& run, const KitSample& s, DacStream& pass) {
    const StreamBank& bank = run.stream.dacStreams.pcmBank;
    const auto at = std::lower_bound(bank.blocks.begin(), bank.blocks.end(), s.block,
                                     [](const StreamBankBlock& b, uint32_t block) { return b.block < block; });
    if (at == bank.blocks.end() || at->block != s.block) return false;
    pass.hasBank = true;
    pass.bankType = kPcmBlockType;
    pass.stepSize = s.step;
    pass.start = at->offset + s.offset;
    pass.writes = std::max(s.length, s.pcmReach);
    pass.reverse = s.reverse;
    return true;
}

// Extra bytes the kit's stream samples may hold beyond what their plays
// reached: a drum cut short by the next one is still written whole, but a
// forged log of many start positions cannot turn a few command bytes into a
// copy of the whole bank per start.
constexpr uint64_t kKitWholePassBudget = 64ull << 20;

// How many bytes sample `s` holds: as far as a PCM play read, or a stream
// play reached, or a whole pass while `budget` allows.
uint64_t kitSampleBytes(TonepickRun& run, const KitSample& s, uint64_t& budget) {
    if (s.source == KitSource::kDirect) return s.length;
    DacStream pass;
    if (!kitSamplePass(run, s, pass)) return 0;
    const uint64_t whole = dac_stream_detail::passBytesInBank(run.stream.dacStreams, pass);
    const uint64_t reached = std::min(whole, std::max(std::min(s.streamReach, s.length), s.pcmReach));
    if (s.length == 0 || whole - reached > budget) return reached;  // no stream play: as far as read
    budget -= whole - reached;
    return whole;
}

// Calls put(bytes, n) with the first `count` bytes of kit sample `s` in
// pieces; false when some could not be read back.
template <typename Put>
bool forEachKitSamplePiece(TonepickRun& run, const KitSample& s, uint64_t count, Put&& put) {
    std::vector<uint8_t> chunk(kKitChunk);
    switch (s.source) {
        case KitSource::kPcm:
        case KitSource::kStream: {
            DacStream pass;
            if (!kitSamplePass(run, s, pass)) return true;
            uint64_t left = count;
            for (uint64_t done = 0; done < pass.writes && left != 0; done += chunk.size()) {
                const size_t take = static_cast<size_t>(std::min<uint64_t>(chunk.size(), pass.writes - done));
                uint64_t firstFound = 0;
                size_t found = dac_stream_detail::readPassBytes(run.stream.dacStreams, pass, run.reader.blocks, done,
                                                                take, chunk.data(), firstFound);
                if (found > left) found = static_cast<size_t>(left);
                if (found != 0) put(chunk.data(), found);
                left -= found;
            }
            return true;
        }
        case KitSource::kDirect:
            for (uint64_t at = 0; at < s.length; at += chunk.size()) {
                const size_t take = static_cast<size_t>(std::min<uint64_t>(chunk.size(), s.length - at));
                if (!readKitDirectBytes(run.kit, s, at, chunk.data(), take)) return false;
                put(chunk.data(), take);
            }
            return true;
    }
    return true;
}

// Where a sample lies, for kit.txt.
std::string kitSamplePlace(const KitSample& s) {
    if (s.source == KitSource::kDirect) return "direct";
    char text[96];
    std::snprintf(text, sizeof text, "block %" PRIu32 " offset %" PRIu64, s.block, s.offset);
    std::string place = text;
    if (s.step != 1) place += " step " + std::to_string(s.step);
    if (s.reverse) place += " reverse";
    return place;
}

}  // namespace

std::vector<uint32_t> writeKitSamples(TonepickRun& run) {
    DacKit& kit = run.kit;
    const std::vector<uint32_t> numbers = numberKitSamples(kit);
    std::vector<uint32_t> byNumber(numbers.size());
    for (uint32_t i = 0; i < numbers.size(); ++i) byNumber[numbers[i]] = i;
    makeOutputDir(run);

    uint64_t wholePassBudget = kKitWholePassBudget;
    std::string listing = "file\tnote\trate\tbytes\tplays\tsource\n";
    for (uint32_t n = 0; n < byNumber.size(); ++n) {
        const KitSample& s = kit.samples[byNumber[n]];
        const std::string name = wavFileName(static_cast<int32_t>(n));
        const uint64_t size = kitSampleBytes(run, s, wholePassBudget);
        char line[160];
        std::snprintf(line, sizeof line, "%s\t%d\t%" PRIu32 "\t%" PRIu64 "\t%" PRIu64 "\t", name.c_str(), dacNoteOf(n),
                      s.rate, size, s.plays);
        listing += line;
        listing += kitSamplePlace(s);
        listing += '\n';

        OutputWriter file(*run.files, joinOutputPath(run.settings.outputDir, name), run.out, run.outputFailed);
        if (!file.created()) continue;
        uint8_t header[kWavHeaderSize];
        fillWavHeader(header, size, s.rate);
        file.write(header, sizeof header);
        if (!forEachKitSamplePiece(run, s, size, [&](const uint8_t* bytes, size_t k) { file.write(bytes, k); }))
            file.markIncomplete();
    }
    OutputWriter text(*run.files, joinOutputPath(run.settings.outputDir, "kit.txt"), run.out, run.outputFailed);
    if (text.created()) text.write(listing.data(), listing.size());
    return numbers;
}

void makeOutputDir(TonepickRun& run) {
    if (run.outputDirState.attempted) return;
    if (!prepareOutputDirectory(run.outputDirState, run.settings.outputDir, *run.files, run.out))
        run.outputFailed = true;
}

void writeDacSample(TonepickRun& run) {
    makeOutputDir(run);
    DacSample sample = finishDacSample(run.dac);
    const std::string path = joinOutputPath(run.settings.outputDir, wavFileName(sample.number));
    OutputWriter file(*run.files, path, run.out, run.outputFailed);
    if (!file.created()) return;
    if (!writeWavFile(file, sample)) file.markIncomplete();
}

void writePatchFiles(TonepickRun& run) {
    const int type = run.settings.formatIndex;
    const int size = instrumentTypeSize(type);
    if (size == 0) return;
    std::array<uint8_t, kMaxInstrumentSize> buffer{};
    const std::vector<PatchRecord>& patches = run.patches.patches;
    // With -i unique, the file bytes already written: patches that differ only
    // in registers a format does not store give the same file.
    std::unordered_set<std::string> written;
    size_t number = 0;
    for (size_t i = 0; i < patches.size(); ++i) {
        writeInstrument(patches[i], type, buffer.data());
        if (run.settings.uniqueInstruments &&
            !written.emplace(buffer.begin(), buffer.begin() + size).second)
            continue;
        const std::string path =
            joinOutputPath(run.settings.outputDir, patchFileName(number++, run.settings.patchExtension));
        OutputWriter file(*run.files, path, run.out, run.outputFailed);
        if (!file.created()) continue;
        file.write(buffer.data(), static_cast<size_t>(size));
    }
}

void writeDataBlocks(TonepickRun& run) {
    for (int i = 0; i < blockCount(run.reader); ++i) {
        const DataBlock& block = run.reader.blocks[static_cast<size_t>(i)];
        char name[48];
        std::snprintf(name, sizeof name, "datablock_%02d(%02X).bin", i, static_cast<unsigned>(block.type));
        OutputWriter file(*run.files, joinOutputPath(run.settings.outputDir, name), run.out, run.outputFailed);
        if (!file.created()) continue;
        file.write(block.bytes.data(), block.bytes.size());
        // A block cut short by the end of the input has fewer bytes than it declares.
        if (block.bytes.size() < block.size) file.markIncomplete();
    }
}
