#include "tonepick/tonepick_driver.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/help_request.h"
#include "common/input_file.h"
#include "common/output_directory.h"
#include "tonepick/instruments/instrument_formats.h"
#include "tonepick/instruments/patch_files.h"
#include "tonepick/midi/vgm_midi_writer.h"
#include "tonepick/tonepick_run.h"
#include "tonepick/vgm/buffered_input.h"
#include "tonepick/vgm/command_dispatch.h"

namespace {

constexpr const char* kUsageText =
    "Usage: tonepick input output_dir [options]\n\n"
    "      input - vgm file path (NOT *.vgz)\n"
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
            // "-pext .tfi" means the same as "-pext tfi": the dot is added to the name anyway.
            const char* extension = argv[i + 1];
            run.settings.patchExtension = extension[0] == '.' ? extension + 1 : extension;
            extensionGiven = true;
        } else {
            std::fprintf(run.out, "Error: unknown command line option \"%s\"\n\n", word);
            return false;
        }
    }
    if (!extensionGiven) run.settings.patchExtension = instrumentTypeName(run.settings.formatIndex);
    return true;
}

// Header, version line and the walk; returns the walk result.
int readVgm(TonepickRun& run, BufferedInput& in) {
    installDispatcher(run);
    if (readHeader(run.reader, in) != kHeaderOk) std::fprintf(run.out, "Error: something with header :)\n");
    std::fprintf(run.out, "Version: %X\nPSG Clock: %d\nYM2612 Clock: %d\n",
                 static_cast<unsigned>(run.reader.version), run.reader.psgClock, run.reader.ym2612Clock);
    return walkAndDispatch(run, in);
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

    // Made before the first WAV file when there was one; an empty argument means the current directory.
    prepareOutputDirectory(run.outputDirState, run.settings.outputDir, *run.files, run.out);
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
    if (asksForHelp(argc, argv)) {
        printTonepickUsage(run);
        return kExitOk;
    }
    if (argc < kFirstOption || !parseOptions(run, argc, argv)) {
        printTonepickUsage(run);
        return kExitCannotStart;
    }
    const char* inputPath = argv[1];
    std::FILE* file = openInputFile(inputPath);
    if (file == nullptr) {
        std::fprintf(run.out, "Error: Can't open file \"%s\"\n\n", inputPath);
        printTonepickUsage(run);
        return kExitCannotStart;
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
