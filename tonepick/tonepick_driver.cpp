#include "tonepick/tonepick_driver.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "tonepick/instruments/instrument_formats.h"
#include "tonepick/instruments/patch_files.h"
#include "tonepick/midi/vgm_midi_writer.h"
#include "tonepick/tonepick_run.h"
#include "tonepick/vgm/buffered_input.h"
#include "tonepick/vgm/command_dispatch.h"
#include "tonepick/vgm/gzip_input.h"

namespace {

constexpr const char* kUsageText =
    "Usage: tonepick input output_dir [options]\n\n"
    "      input - vgm or vgz file path\n"
    "      output_dir - output directory\n\n"
    "Options:\n"
    "  -p - (patch) instruments format:\n"
    "        gems - internal GEMS 2.8 format (default)\n"
    "        tyi  - Tiido's instrument file\n"
    "        tfi  - TFM Music Maker instrument file\n"
    "        eif  - ECHO instrument file\n"
    "        y12  - GensKMOD YM2612 channel dump\n"
    "        vgi  - VGM Music Maker instrument file\n"
    "        dmp  - DefleMask instrument file\n"
    "        dmp0 - DefleMask instrument file version 0\n"
    "        smps - internal SMPS format (Sonic 3)\n\n"
    "  -pext - instruments extension (default: format name)\n\n"
    "      Warning: all outputs will be overwrited automatically.\n\n";
constexpr const char* kContactLine = "Bug reports and questions: see README.md of mdmusic_tools.\n";

constexpr int kFirstOption = 3;  // argv: program, input, output_dir, options...

// Reads the options into run.settings; false after printing an error and the usage text.
bool parseOptions(TonepickRun& run, int argc, const char* const argv[]) {
    bool extensionGiven = false;
    for (int i = kFirstOption; i < argc; i += 2) {
        const char* word = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(word, "-p") == 0) {
            if (!hasValue) {
                std::fprintf(run.out, "Error: instrument type expected in command line\n\n");
                return false;
            }
            const int type = instrumentTypeByName(argv[i + 1]);
            if (type < 0) {
                std::fprintf(run.out, "Error: unknown instrument type \"%s\"\n\n", argv[i + 1]);
                return false;
            }
            run.settings.formatIndex = type;
        } else if (std::strcmp(word, "-pext") == 0) {
            if (!hasValue) {
                std::fprintf(run.out, "Error: extension expected in command line\n\n");
                return false;
            }
            run.settings.patchExtension = argv[i + 1];
            extensionGiven = true;
        } else {
            std::fprintf(run.out, "Error: unknown command line option \"%s\"\n\n", word);
            return false;
        }
    }
    if (!extensionGiven) run.settings.patchExtension = instrumentTypeName(run.settings.formatIndex);
    return true;
}

void reportDamagedGzip(void* out) { std::fprintf(static_cast<std::FILE*>(out), "Error: damaged gzip data\n"); }

// Header, version line and the walk over the VGM (decompressed first when it
// is gzip data); returns the walk result. The input is closed when it returns.
int readVgm(TonepickRun& run, BufferedInput& in) {
    installDispatcher(run);
    in.damageReport = reportDamagedGzip;
    in.damageContext = run.out;
    inflateIfGzip(in);
    if (readHeader(run.reader, in) != kHeaderOk) std::fprintf(run.out, "Error: something with header :)\n");
    std::fprintf(run.out, "Version: %X\nPSG Clock: %d\nYM2612 Clock: %d\n",
                 static_cast<unsigned>(run.reader.version), run.reader.psgClock, run.reader.ym2612Clock);
    const int walkResult = walkAndDispatch(run, in);
    closeInput(in);
    return walkResult;
}

void writeDataBlocks(TonepickRun& run) {
    for (int i = 0; i < blockCount(run.reader); ++i) {
        const DataBlock& block = run.reader.blocks[static_cast<size_t>(i)];
        char name[48];
        std::snprintf(name, sizeof name, "datablock_%02d(%02X).bin", i, static_cast<unsigned>(block.type));
        const std::string path = joinOutputPath(run.settings.outputDir, name);
        auto file = run.files->create(path);
        if (!file) {
            std::fprintf(run.out, "Error: Can't create file \"%s\"\n", path.c_str());
            continue;
        }
        const size_t written = block.bytes.empty() ? 0 : file->write(block.bytes.data(), block.bytes.size());
        if (written < block.size || !file->flush()) {
            std::fprintf(run.out, "Error: Can't write file \"%s\"\n", path.c_str());
        }
    }
}

// Everything after the walk: the messages of its result and the output files.
int finishRun(TonepickRun& run, int walkResult) {
    if (run.reader.blocksDropped) {
        std::fprintf(run.out, "Warning: only the first %zu data blocks are kept\n", kMaxDataBlocks);
    }
    if (walkResult == kWalkUnexpectedEnd) {
        std::fprintf(run.out, "Error: unexpected end of vgm\n");
        return kExitFailed;
    }
    if (walkResult == kWalkInvalidCommand) std::fprintf(run.out, "Error: invalid command\n");

    // An empty directory argument means the current directory: nothing to create.
    if (!run.settings.outputDir.empty()) run.files->createDirectory(run.settings.outputDir);
    flushOpenDacCapture(run);

    const std::string midiPath = joinOutputPath(run.settings.outputDir, "vgm.mid");
    {
        auto midi = run.files->create(midiPath);
        if (!midi) {
            std::fprintf(run.out, "Error: Can't create file \"%s\"\n", midiPath.c_str());
            return kExitFailed;
        }
        if (!writeVgmMidi(run.channelEvents, &run.eventSpill, *midi) || !midi->flush()) {
            std::fprintf(run.out, "Error: Can't write file \"%s\"\n", midiPath.c_str());
            return kExitFailed;
        }
    }
    writePatchFiles(run);
    writeDataBlocks(run);
    return kExitOk;
}

}  // namespace

void printTonepickUsage(TonepickRun& run) {
    std::fputs(kUsageText, run.out);
    std::fputs(kContactLine, run.out);
}

int runTonepick(TonepickRun& run, int argc, const char* const argv[]) {
    if (argc < kFirstOption) {
        printTonepickUsage(run);
        return kExitOk;
    }
    if (!parseOptions(run, argc, argv)) {
        printTonepickUsage(run);
        return kExitOk;
    }
    const char* inputPath = argv[1];
    std::FILE* file = std::fopen(inputPath, "rb");
    if (file == nullptr) {
        std::fprintf(run.out, "Error: Can't open file \"%s\"\n\n", inputPath);
        printTonepickUsage(run);
        return kExitCannotOpen;
    }
    run.settings.outputDir = argv[2];

    BufferedInput in;
    openFileInput(in, file);
    const int walkResult = readVgm(run, in);
    std::fclose(file);
    return finishRun(run, walkResult);
}

int convertVgmBytes(TonepickRun& run, const uint8_t* data, size_t size) {
    BufferedInput in;
    openMemoryInput(in, data, size);
    return finishRun(run, readVgm(run, in));
}
