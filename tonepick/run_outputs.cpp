#include "tonepick/run_outputs.h"

#include <array>
#include <cstdio>
#include <string>

#include "common/output_directory.h"
#include "common/output_writer.h"
#include "tonepick/instruments/instrument_formats.h"
#include "tonepick/instruments/wav_file.h"
#include "tonepick/tonepick_run.h"

namespace {

std::string patchFileName(size_t index, const std::string& extension) {
    std::array<char, 32> number{};
    std::snprintf(number.data(), number.size(), "patch_%02zu.", index);
    return std::string(number.data()) + extension;
}

}  // namespace

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
    for (size_t i = 0; i < patches.size(); ++i) {
        const std::string path =
            joinOutputPath(run.settings.outputDir, patchFileName(i, run.settings.patchExtension));
        OutputWriter file(*run.files, path, run.out, run.outputFailed);
        if (!file.created()) continue;
        writeInstrument(patches[i], type, buffer.data());
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
