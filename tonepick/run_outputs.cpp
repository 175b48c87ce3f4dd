#include "tonepick/run_outputs.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <functional>
#include <string>
#include <unordered_set>

#include "common/output_directory.h"
#include "common/output_writer.h"
#include "common/instrument_formats/instrument_formats.h"
#include "tonepick/instruments/wav_file.h"
#include "tonepick/kit_samples.h"
#include "tonepick/kit_sfz.h"
#include "tonepick/midi/dac_track.h"
#include "tonepick/tonepick_run.h"

// patch_NN.EXT, or patch_NN without a dot for an empty extension.
std::string patchFileName(size_t index, const std::string& extension) {
    std::array<char, 32> number{};
    std::snprintf(number.data(), number.size(), "patch_%02zu", index);
    return extension.empty() ? std::string(number.data()) : std::string(number.data()) + "." + extension;
}

namespace {

// kit.sfz and kit.sf2 for the files: the samples of `sized` that are the
// first of their sound.
void writeKitMaps(TonepickRun& run, const std::vector<SizedKitSample>& sized, const std::vector<uint32_t>& firstEqual) {
    std::vector<const SizedKitSample*> files;
    for (uint32_t n = 0; n < sized.size(); ++n)
        if (firstEqual[n] == n) files.push_back(&sized[n]);
    {
        const std::string sfz = kitSfzText(static_cast<uint32_t>(files.size()));
        OutputWriter map(*run.files, joinOutputPath(run.settings.outputDir, "kit.sfz"), run.out, run.outputFailed);
        if (map.created()) map.write(sfz.data(), sfz.size());
    }
    std::vector<uint64_t> bytes;
    std::vector<uint32_t> rates;
    for (const SizedKitSample* f : files) {
        bytes.push_back(f->bytes);
        rates.push_back(f->sample->rate);
    }
    const Sf2Bank bank = kitSf2Bank(bytes, rates);
    OutputWriter sf2(*run.files, joinOutputPath(run.settings.outputDir, "kit.sf2"), run.out, run.outputFailed);
    if (!sf2.created()) return;
    const bool whole = writeSf2(sf2, bank, [&](uint32_t i, const std::function<void(const uint8_t*, size_t)>& put) {
        KitSampleReader reader = openKitSample(run, *files[i]->sample, files[i]->bytes);
        const uint8_t* piece = nullptr;
        for (size_t k = nextKitPiece(reader, piece); k != 0; k = nextKitPiece(reader, piece)) put(piece, k);
        return !reader.failed;
    });
    if (!whole) sf2.markIncomplete();
}

}  // namespace

std::vector<uint32_t> writeKitSamples(TonepickRun& run) {
    DacKit& kit = run.kit;
    const std::vector<uint32_t> numbers = numberKitSamples(kit);
    std::vector<uint32_t> byNumber(numbers.size());
    for (uint32_t i = 0; i < numbers.size(); ++i) byNumber[numbers[i]] = i;
    makeOutputDir(run);

    uint64_t wholePassBudget = kKitWholePassBudget;
    std::vector<SizedKitSample> sized(byNumber.size());
    for (uint32_t n = 0; n < byNumber.size(); ++n) {
        const KitSample& s = kit.samples[byNumber[n]];
        sized[n] = SizedKitSample{&s, kitSampleBytes(run, s, wholePassBudget)};
    }
    // Samples with the same rate and bytes are one sound wherever they lie:
    // one file, numbered as the first of them, with the plays of all.
    const std::vector<uint32_t> firstEqual = findEqualKitSamples(run, sized);
    std::vector<uint32_t> fileOf(sized.size());
    std::vector<uint64_t> plays(sized.size(), 0);
    std::vector<uint64_t> morePlaces(sized.size(), 0);
    uint32_t files = 0;
    for (uint32_t n = 0; n < sized.size(); ++n) {
        const uint32_t f = firstEqual[n];
        if (f == n) {
            fileOf[n] = files++;
        } else {
            fileOf[n] = fileOf[f];
            ++morePlaces[f];
        }
        plays[f] += sized[n].sample->plays;
    }

    std::string listing = "file\tnote\trate\tbytes\tplays\tsource\n";
    for (uint32_t n = 0; n < sized.size(); ++n) {
        if (firstEqual[n] != n) continue;
        const KitSample& s = *sized[n].sample;
        const uint64_t size = sized[n].bytes;
        const std::string name = wavFileName(static_cast<int32_t>(fileOf[n]));
        char line[160];
        std::snprintf(line, sizeof line, "%s\t%d\t%" PRIu32 "\t%" PRIu64 "\t%" PRIu64 "\t", name.c_str(),
                      dacNoteOf(fileOf[n]), s.rate, size, plays[n]);
        listing += line;
        listing += kitSamplePlace(s);
        if (morePlaces[n] != 0)
            listing += " (+" + std::to_string(morePlaces[n]) + (morePlaces[n] == 1 ? " place)" : " places)");
        listing += '\n';

        OutputWriter file(*run.files, joinOutputPath(run.settings.outputDir, name), run.out, run.outputFailed);
        if (!file.created()) continue;
        uint8_t header[kWavHeaderSize];
        fillWavHeader(header, size, s.rate);
        file.write(header, sizeof header);
        KitSampleReader reader = openKitSample(run, s, size);
        const uint8_t* bytes = nullptr;
        for (size_t k = nextKitPiece(reader, bytes); k != 0; k = nextKitPiece(reader, bytes)) file.write(bytes, k);
        if (reader.failed) file.markIncomplete();
    }
    {
        OutputWriter text(*run.files, joinOutputPath(run.settings.outputDir, "kit.txt"), run.out, run.outputFailed);
        if (text.created()) text.write(listing.data(), listing.size());
    }
    writeKitMaps(run, sized, firstEqual);

    // The drum track plays each sample's file.
    std::vector<uint32_t> fileByIndex(numbers.size());
    for (uint32_t i = 0; i < numbers.size(); ++i) fileByIndex[i] = fileOf[numbers[i]];
    return fileByIndex;
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
