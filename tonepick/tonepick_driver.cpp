#include "tonepick/tonepick_driver.h"

#include <cstdio>
#include <cstring>
#include <vector>
#include <string>

#include "common/ascii_case.h"
#include "common/help_request.h"
#include "common/input_file.h"
#include "common/output_writer.h"
#include "common/instrument_formats/instrument_formats.h"
#include "tonepick/midi/note_transpose.h"
#include "tonepick/midi/vgm_midi_writer.h"
#include "tonepick/run_chips.h"
#include "tonepick/run_level_chips.h"
#include "tonepick/run_outputs.h"
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
    "  -m - MIDI file contents:\n"
    "        plain  - notes and pitch bends at velocity 127 (default)\n"
    "        levels - also velocities, expression and pan from the chips' levels\n\n"
    "  -s - samples:\n"
    "        stretch - one file per stretch of DAC streaming (default)\n"
    "        kit     - one file per distinct sample, kit.txt, a DAC drum track in vgm.mid\n\n"
    "  -i - instrument files:\n"
    "        all    - one file per distinct instrument heard (default)\n"
    "        unique - no two files with the same bytes\n\n"
    "  -t - transpose: semitones added to every FM and PSG note of vgm.mid,\n"
    "       -127 to 127 (default 0; 12 gives concert pitch)\n\n"
    "      Warning: all outputs will be overwrited automatically.\n\n";
constexpr const char* kContactLine = "Bug reports and questions: see README.md of mdmusic_tools.\n";

constexpr int kFirstOption = 3;  // argv: program, input, output_dir, options...

// An option value that is one of two words, in any letter case: `second`
// says which; false for any other word.
bool chooseWord(const char* value, const char* first, const char* second, bool& isSecond) {
    if (equalIgnoringCase(value, first)) {
        isSecond = false;
        return true;
    }
    if (equalIgnoringCase(value, second)) {
        isSecond = true;
        return true;
    }
    return false;
}

// The value of -m (null when it is missing), any letter case; false after
// printing the error.
bool parseMidiMode(TonepickRun& run, const char* value) {
    if (value == nullptr) {
        std::fprintf(run.out, "Error: MIDI mode expected in command line\n\n");
        return false;
    }
    if (!vgmMidiModeByName(value, run.settings.midiMode)) {
        std::fprintf(run.out, "Error: unknown MIDI mode \"%s\"\n\n", value);
        return false;
    }
    return true;
}

// The value of -t (null when it is missing): an optional sign and decimal
// digits, -127 to 127; false after printing the error.
bool parseTranspose(TonepickRun& run, const char* value) {
    if (value == nullptr) {
        std::fprintf(run.out, "Error: transpose expected in command line\n\n");
        return false;
    }
    const char* digits = value + (value[0] == '-' || value[0] == '+' ? 1 : 0);
    int magnitude = 0;
    bool valid = *digits != '\0';
    for (const char* c = digits; valid && *c != '\0'; ++c) {
        valid = *c >= '0' && *c <= '9';
        // Stop growing past the limit, so that long digit strings cannot overflow.
        if (valid && magnitude <= kMaxTranspose) magnitude = magnitude * 10 + (*c - '0');
    }
    if (!valid || magnitude > kMaxTranspose) {
        std::fprintf(run.out, "Error: transpose must be a whole number from -127 to 127\n\n");
        return false;
    }
    run.settings.transpose = value[0] == '-' ? -magnitude : magnitude;
    return true;
}

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
        } else if (std::strcmp(word, "-m") == 0) {
            if (!parseMidiMode(run, hasValue ? argv[i + 1] : nullptr)) return false;
        } else if (std::strcmp(word, "-t") == 0) {
            if (!parseTranspose(run, hasValue ? argv[i + 1] : nullptr)) return false;
        } else if (std::strcmp(word, "-s") == 0) {
            if (!hasValue) {
                std::fprintf(run.out, "Error: sample mode expected in command line\n\n");
                return false;
            }
            if (!chooseWord(argv[i + 1], "stretch", "kit", run.settings.sampleKit)) {
                std::fprintf(run.out, "Error: unknown sample mode \"%s\"\n\n", argv[i + 1]);
                return false;
            }
        } else if (std::strcmp(word, "-i") == 0) {
            if (!hasValue) {
                std::fprintf(run.out, "Error: instrument file mode expected in command line\n\n");
                return false;
            }
            if (!chooseWord(argv[i + 1], "all", "unique", run.settings.uniqueInstruments)) {
                std::fprintf(run.out, "Error: unknown instrument file mode \"%s\"\n\n", argv[i + 1]);
                return false;
            }
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
VgmWalkResult readVgm(TonepickRun& run, BufferedInput& in) {
    in.damageReport = reportDamagedGzip;
    in.damageContext = run.out;
    inflateIfGzip(in);
    if (readHeader(run.reader, in) != kHeaderOk) std::fprintf(run.out, "Error: something with header :)\n");
    std::fprintf(run.out, "Version: %X\nPSG Clock: %d\nYM2612 Clock: %d\n",
                 static_cast<unsigned>(run.reader.version), run.reader.psgClock, run.reader.ym2612Clock);
    VgmWalkResult walkResult = kWalkEnded;
    if (run.settings.midiMode == VgmMidiMode::kLevels) {
        LevelRunChips chips{{run}};
        walkResult = walkAndDispatch(run.reader, run.stream, chips, in);
    } else {
        RunChips chips{run};
        walkResult = walkAndDispatch(run.reader, run.stream, chips, in);
    }
    // Either way: the inflating thread stops before the caller closes the file.
    closeInput(in);
    return walkResult;
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
    if (run.kit.samplesFull) std::fprintf(run.out, "Warning: only the first %zu samples are kept\n", kMaxKitSamples);
    if (run.kit.playsFull) {
        std::fprintf(run.out, "Warning: only the first %zu DAC plays are kept in vgm.mid\n", kMaxKitPlays);
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
    // the DAC had been switched off at the end (for the kit: the last direct play).
    std::vector<uint32_t> kitNumbers;
    if (run.settings.sampleKit) {
        if (dacCaptureHasOpenSample(run.dac)) {
            DacSample stretch = finishDacSample(run.dac);
            kitDirectStretch(run.kit, stretch);
        }
        kitEndAllPlays(run.kit);
        kitNumbers = writeKitSamples(run);
    } else if (dacCaptureHasOpenSample(run.dac)) {
        writeDacSample(run);
    }

    if (run.settings.transpose != 0) {
        const uint64_t clamped = countClampedNotes(run.channelEvents, &run.eventSpill, run.settings.transpose);
        if (clamped != 0) {
            std::fprintf(run.out, "Warning: %llu notes were clamped to the MIDI range\n",
                         static_cast<unsigned long long>(clamped));
        }
    }
    {
        // Without vgm.mid the run ends here: no instrument or data block file.
        OutputWriter midi(*run.files, joinOutputPath(run.settings.outputDir, "vgm.mid"), run.out, run.outputFailed);
        if (!midi.created()) return kExitFailed;
        const VgmMidiDrums drums{run.kit.plays, kitNumbers};
        LevelLists* levels = run.settings.midiMode == VgmMidiMode::kLevels ? &run.levelEvents : nullptr;
        writeVgmMidi(run.channelEvents, &run.eventSpill, midi, levels, run.settings.sampleKit ? &drums : nullptr,
                     run.settings.transpose);
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
