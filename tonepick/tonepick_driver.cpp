#include "tonepick/tonepick_driver.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/help_request.h"
#include "common/input_file.h"
#include "common/output_writer.h"
#include "tonepick/instruments/instrument_formats.h"
#include "tonepick/midi/vgm_midi_writer.h"
#include "tonepick/run_chips.h"
#include "tonepick/run_outputs.h"
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
            const InstrumentType type = instrumentTypeByName(argv[i + 1]);
            if (type == kInstrumentUnknown) {
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
VgmWalkResult readVgm(TonepickRun& run, BufferedInput& in) {
    if (readHeader(run.reader, in) != kHeaderOk) std::fprintf(run.out, "Error: something with header :)\n");
    std::fprintf(run.out, "Version: %X\nPSG Clock: %d\nYM2612 Clock: %d\n",
                 static_cast<unsigned>(run.reader.version), run.reader.psgClock, run.reader.ym2612Clock);
    RunChips chips{run};
    return walkAndDispatch(run.reader, run.stream, chips, in);
}

// Everything after the walk: the messages of its result and the output files.
TonepickExit finishRun(TonepickRun& run, VgmWalkResult walkResult) {
    if (run.stream.dacStreams.boundReached) {
        std::fprintf(run.out, "Warning: DAC streams stopped after %llu writes\n",
                     static_cast<unsigned long long>(run.stream.dacStreams.writeLimit));
    }
    if (run.reader.blocksDropped) {
        std::fprintf(run.out, "Warning: only the first %zu data blocks are kept\n", kMaxDataBlocks);
    }
    if (walkResult == kWalkUnexpectedEnd) {
        std::fprintf(run.out, "Error: unexpected end of vgm\n");
        return kExitFailed;
    }
    if (walkResult == kWalkInvalidCommand) std::fprintf(run.out, "Error: invalid command\n");

    // Made before the first WAV file when there was one; an empty argument
    // means the current directory.
    makeOutputDir(run);
    // A capture the stream never closed is written as the last sample, as if
    // the DAC had been switched off at the end.
    if (dacCaptureHasOpenSample(run.dac)) writeDacSample(run);

    {
        // Without vgm.mid the run ends here: no instrument or data block file.
        OutputWriter midi(*run.files, joinOutputPath(run.settings.outputDir, "vgm.mid"), run.out, run.outputFailed);
        if (!midi.created()) return kExitFailed;
        writeVgmMidi(run.channelEvents, &run.eventSpill, midi);
        if (midi.finish() != OutputStatus::kWritten) return kExitFailed;
    }
    writePatchFiles(run);
    writeDataBlocks(run);
    return run.outputFailed ? kExitFailed : kExitOk;
}

}  // namespace

void printTonepickUsage(TonepickRun& run) {
    std::fputs(kUsageText, run.out);
    std::fputs(kContactLine, run.out);
}

TonepickExit runTonepick(TonepickRun& run, int argc, const char* const argv[]) {
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
    const VgmWalkResult walkResult = readVgm(run, in);
    std::fclose(file);
    return finishRun(run, walkResult);
}

TonepickExit convertVgmBytes(TonepickRun& run, const uint8_t* data, size_t size) {
    BufferedInput in;
    openMemoryInput(in, data, size);
    return finishRun(run, readVgm(run, in));
}
