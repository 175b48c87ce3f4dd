#include "seqconv/bank_outputs.h"

#include <cstdio>
#include <functional>
#include <vector>

#include "common/output_directory.h"
#include "common/output_writer.h"
#include "seqconv/bank_files/dac_key_map.h"
#include "seqconv/bank_files/patch_files.h"
#include "seqconv/bank_files/song_sf2.h"
#include "seqconv/bank_files/song_sfz.h"
#include "seqconv/output/listings.h"
#include "seqconv/seqconv_run.h"

namespace {

void writeWholeFile(SeqconvRun& run, const std::string& outDir, const std::string& name, const void* data,
                    size_t size) {
    if (!run.outputDirState.attempted && !prepareOutputDirectory(run.outputDirState, outDir, *run.files, run.out))
        run.outputFailed = true;
    OutputWriter file(*run.files, joinOutputPath(outDir, name), run.out, run.outputFailed);
    if (!file.created()) return;
    file.write(data, size);
    file.finish();
}

// NNN.sf2: the song's DAC keys as a SoundFont, its sample data streamed
// from the bank.
void writeSongSf2(SeqconvRun& run, const std::string& outDir, int32_t song, const std::vector<DacKeySample>& keys) {
    const SongSf2 sf2 = buildSongSf2(song, keys);
    char name[32];
    std::snprintf(name, sizeof name, "%03d.sf2", static_cast<int>(song));
    OutputWriter file(*run.files, joinOutputPath(outDir, name), run.out, run.outputFailed);
    if (!file.created()) return;
    const bool whole =
        writeSf2(file, sf2.bank, [&](uint32_t i, const std::function<void(const uint8_t*, size_t)>& put) {
            const std::vector<uint8_t> pcm =
                samplePcm(run.samples, run.samples.headers[static_cast<size_t>(sf2.headers[i])]);
            put(pcm.data(), pcm.size());
            return true;
        });
    if (!whole) file.markIncomplete();
    file.finish();
}

void writePatchFiles(SeqconvRun& run, const std::string& outDir) {
    int32_t pastEnd = 0;
    for (const int32_t patch : run.bankUse.fmPatches) {
        const PatchFile file = buildPatchFile(run.instruments, patch, run.options.patchFormat);
        if (file.pastBankEnd) ++pastEnd;
        writeWholeFile(run, outDir, patchFileName(patch, run.options.patchExtension), file.bytes.data(),
                       file.bytes.size());
    }
    if (pastEnd > 0)
        std::fprintf(run.out, "Warning: %d patches run past the end of the instrument bank\n", static_cast<int>(pastEnd));
}

void writeSampleFiles(SeqconvRun& run, const std::string& outDir) {
    const bool pal = run.flags.palTempo;
    for (const SampleFile& sample : sampleFilesToWrite(run.samples, run.bankUse.samples)) {
        const std::vector<uint8_t> wav = buildSampleWav(run.samples, sample, pal);
        const int ownCode = run.samples.headers[static_cast<size_t>(sample.header)].rateCode();
        writeWholeFile(run, outDir, sampleFileName(sample.header, sample.rateCode, ownCode), wav.data(), wav.size());
    }
    const std::string listing = buildSamplesListing(run.samples, run.bankUse.samples, pal);
    writeWholeFile(run, outDir, "samples.txt", listing.data(), listing.size());
    if (!run.bankUse.samples.silentKeys.empty()) {
        std::fprintf(run.out, "Warning: %d DAC keys play no sample\n",
                     static_cast<int>(run.bankUse.samples.silentKeys.size()));
    }
}

}  // namespace

void noteSongBankUse(SeqconvRun& run, const std::string& outDir, int32_t song, const SongLists& lists) {
    if (run.options.patchFiles) {
        for (const int32_t patch : lists.usedPatches) {
            if (patchType(run.instruments, patch) == kFmPatchType) run.bankUse.fmPatches.insert(patch);
        }
    }
    if (run.options.sampleBank == nullptr || lists.dacKeys.empty()) return;
    const std::vector<DacKeySample> keys = mapDacKeys(run.samples, run.instruments, lists.dacKeys, run.flags.palTempo);
    recordSongSamples(run.bankUse.samples, song, keys);
    const std::string sfz = buildSongSfz(song, keys);
    char name[32];
    std::snprintf(name, sizeof name, "%03d.sfz", static_cast<int>(song));
    writeWholeFile(run, outDir, name, sfz.data(), sfz.size());
    writeSongSf2(run, outDir, song, keys);
}

void writeBankFiles(SeqconvRun& run, const std::string& outDir) {
    if (run.options.patchFiles) writePatchFiles(run, outDir);
    if (run.options.sampleBank != nullptr) writeSampleFiles(run, outDir);
}
