#include "tonepick/tonepick_driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/ascii_case.h"
#include "common/earlier_run_files.h"
#include "common/help_request.h"
#include "common/input_file.h"
#include "common/output_writer.h"
#include "common/instrument_formats/instrument_formats.h"
#include "tonepick/midi/note_transpose.h"
#include "tonepick/midi/vgm_midi_writer.h"
#include "tonepick/pack/pack_inputs.h"
#include "tonepick/pack_run.h"
#include "tonepick/run_chips.h"
#include "tonepick/run_level_chips.h"
#include "tonepick/run_outputs.h"
#include "tonepick/tonepick_run.h"
#include "tonepick/vgm/buffered_input.h"
#include "tonepick/vgm/command_dispatch.h"
#include "tonepick/vgm/gzip_input.h"

namespace {

constexpr const char* kUsageText =
    "Usage: tonepick input... output_dir [options]\n\n"
    "      input - vgm or vgz file path, or a whole pack of them:\n"
    "              a folder, a .zip archive or an .m3u playlist\n"
    "      output_dir - output directory (for a pack: a folder per song,\n"
    "                   instruments/, kit/, instruments.txt, songs.txt)\n\n"
    "Options (anywhere on the line; -- ends them):\n"
    "  -p - (patch) instruments format:\n";
// kInstrumentFormatUsageLines, then:
constexpr const char* kUsageTail =
    "\n"
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
    "  -j - songs of a pack converted at once (default: number of cores)\n\n"
    "  -h, --help - this text;  --version - the version\n\n"
    "      Warning: all outputs will be overwrited automatically.\n\n";
constexpr const char* kContactLine = "Bug reports and questions: see man tonepick.\n";

#ifndef TONEPICK_VERSION
#define TONEPICK_VERSION "unknown"
#endif

// What the options leave to check once all are read.
struct OptionState {
    bool extensionGiven = false;
};

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

bool applyFormat(TonepickRun& run, OptionState&, const char* value) {
    const InstrumentType type = instrumentTypeByName(value);
    if (type == kInstrumentUnknown) {
        std::fprintf(run.out, "Error: unknown instrument type \"%s\"\n\n", value);
        return false;
    }
    run.settings.formatIndex = type;
    return true;
}

bool applyExtension(TonepickRun& run, OptionState& state, const char* value) {
    // "-pext .tfi" means the same as "-pext tfi": the dot is added to the name anyway.
    run.settings.patchExtension = value[0] == '.' ? value + 1 : value;
    state.extensionGiven = true;
    return true;
}

bool applyMidiMode(TonepickRun& run, OptionState&, const char* value) {
    if (!vgmMidiModeByName(value, run.settings.midiMode)) {
        std::fprintf(run.out, "Error: unknown MIDI mode \"%s\"\n\n", value);
        return false;
    }
    return true;
}

// The value of -t: an optional sign and decimal digits, -127 to 127; false
// after printing the error.
bool applyTranspose(TonepickRun& run, OptionState&, const char* value) {
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

bool applySampleMode(TonepickRun& run, OptionState&, const char* value) {
    if (!chooseWord(value, "stretch", "kit", run.settings.sampleKit)) {
        std::fprintf(run.out, "Error: unknown sample mode \"%s\"\n\n", value);
        return false;
    }
    return true;
}

bool applyInstrumentMode(TonepickRun& run, OptionState&, const char* value) {
    if (!chooseWord(value, "all", "unique", run.settings.uniqueInstruments)) {
        std::fprintf(run.out, "Error: unknown instrument file mode \"%s\"\n\n", value);
        return false;
    }
    return true;
}

constexpr int kMaxThreads = 256;

bool applyThreads(TonepickRun& run, OptionState&, const char* value) {
    char* end = nullptr;
    const long n = std::strtol(value, &end, 10);
    if (value[0] < '0' || value[0] > '9' || *end != '\0' || n < 1 || n > kMaxThreads) {
        std::fprintf(run.out, "Error: unknown thread count \"%s\"\n\n", value);
        return false;
    }
    run.settings.threads = static_cast<int>(n);
    return true;
}

// Every option: its word (compared exactly), the error when its value is
// missing, and what its value does (false after printing an error).
struct OptionRule {
    const char* word;
    const char* valueMissing;
    bool (*apply)(TonepickRun& run, OptionState& state, const char* value);
};

constexpr OptionRule kOptions[] = {
    {"-p", "Error: instrument type expected in command line\n\n", applyFormat},
    {"-pext", "Error: extension expected in command line\n\n", applyExtension},
    {"-m", "Error: MIDI mode expected in command line\n\n", applyMidiMode},
    {"-s", "Error: sample mode expected in command line\n\n", applySampleMode},
    {"-i", "Error: instrument file mode expected in command line\n\n", applyInstrumentMode},
    {"-t", "Error: transpose expected in command line\n\n", applyTranspose},
    {"-j", "Error: thread count expected in command line\n\n", applyThreads},
};

enum class CommandLine { kRun, kHelp, kVersion, kError };

bool isHelpWord(const char* word) { return std::strcmp(word, "-h") == 0 || std::strcmp(word, "--help") == 0; }

// Reads the command line left to right: option pairs anywhere, "--" ending
// them, every other word a path. Options go into run.settings.
CommandLine parseCommandLine(TonepickRun& run, int argc, const char* const argv[], std::vector<std::string>& paths) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (isHelpWord(argv[i])) return CommandLine::kHelp;
    }
    OptionState state;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        if (optionsEnded || word[0] != '-' || word[1] == '\0') {
            paths.emplace_back(word);
            continue;
        }
        if (std::strcmp(word, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (std::strcmp(word, "--version") == 0) return CommandLine::kVersion;
        const OptionRule* rule = nullptr;
        for (const OptionRule& r : kOptions) {
            if (std::strcmp(word, r.word) == 0) rule = &r;
        }
        if (rule == nullptr) {
            std::fprintf(run.out, "Error: unknown command line option \"%s\"\n\n", word);
            return CommandLine::kError;
        }
        if (i + 1 >= argc) {
            std::fputs(rule->valueMissing, run.out);
            return CommandLine::kError;
        }
        if (!rule->apply(run, state, argv[++i])) return CommandLine::kError;
    }
    if (!state.extensionGiven) run.settings.patchExtension = instrumentTypeName(run.settings.formatIndex);
    return CommandLine::kRun;
}


// Where the gzip damage report of one read goes, and whether it came.
struct GzipDamage {
    std::FILE* out = nullptr;
    bool reported = false;
};

void reportDamagedGzip(void* context) {
    GzipDamage& damage = *static_cast<GzipDamage*>(context);
    damage.reported = true;
    std::fprintf(damage.out, "Error: damaged gzip data\n");
}

// How the walk over the input went, beyond the walk's own result.
struct VgmRead {
    bool notVgm = false;     // the input does not begin with "Vgm ": nothing was walked
    VgmWalkResult walk = kWalkEnded;
    bool damagedGzip = false;  // the gzip data was damaged (reported where found)
};

// Header, version line and the walk over the VGM (decompressed first when it
// is gzip data). The input is closed when it returns.
VgmRead readVgm(TonepickRun& run, BufferedInput& in) {
    GzipDamage damage{run.out};
    in.damageReport = reportDamagedGzip;
    in.damageContext = &damage;
    inflateIfGzip(in);
    VgmRead result;
    const VgmHeaderResult header = readHeader(run.reader, in);
    if (header != kHeaderOk) std::fprintf(run.out, "Error: something with header :)\n");
    if (header == kHeaderNotVgm) {
        std::fprintf(run.out, "Error: \"%s\" is not a VGM file\n", run.settings.inputPath.c_str());
        result.notVgm = true;
        closeInput(in);
        return result;
    }
    std::fprintf(run.out, "Version: %X\nPSG Clock: %d\nYM2612 Clock: %d\n",
                 static_cast<unsigned>(run.reader.version), run.reader.psgClock, run.reader.ym2612Clock);
    if (run.settings.midiMode == VgmMidiMode::kLevels) {
        LevelRunChips chips{{run}};
        result.walk = walkAndDispatch(run.reader, run.stream, chips, in);
    } else {
        RunChips chips{run};
        result.walk = walkAndDispatch(run.reader, run.stream, chips, in);
    }
    // The rest of the gzip member the walk ended in is checked (its CRC and
    // size), so that damage past the walk's last byte is not silent; it is
    // reported here, where the walk ends, before the walk's own messages.
    finishGzipMember(in);
    result.damagedGzip = damage.reported;
    // Either way: the inflating thread stops before the caller closes the file.
    closeInput(in);
    return result;
}

// Names this tool gives its output files: a file of such a name in the output
// directory that this run did not write is left from an earlier run.
bool isTonepickOutputName(std::string_view name) {
    const auto startsWith = [&](std::string_view prefix) { return name.substr(0, prefix.size()) == prefix; };
    const auto endsWith = [&](std::string_view suffix) {
        return name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
    };
    return startsWith("patch_") || (startsWith("sample_") && endsWith(".wav")) || startsWith("datablock_") ||
           name == "kit.txt" || name == "kit.sfz" || name == "kit.sf2" || name == "vgm.mid";
}

// Everything after the walk: the messages of its result and the output files.
TonepickExit finishRun(TonepickRun& run, const VgmRead& read) {
    if (run.reader.blocksDropped) {
        std::fprintf(run.out, "Warning: only the first %zu data blocks are kept\n", kMaxDataBlocks);
    }
    if (run.kit.samplesFull) std::fprintf(run.out, "Warning: only the first %zu samples are kept\n", kMaxKitSamples);
    if (run.kit.playsFull) {
        std::fprintf(run.out, "Warning: only the first %zu DAC plays are kept in vgm.mid\n", kMaxKitPlays);
    }
    if (run.stream.dacStreams.boundReached) {
        std::fprintf(run.out, "Warning: DAC streams stopped after %llu writes\n",
                     static_cast<unsigned long long>(run.stream.dacStreams.writeLimit));
    }
    // A log cut short (a broken download, say) keeps what it held, as one
    // with an invalid command does; the status still tells it apart.
    if (read.walk == kWalkUnexpectedEnd) std::fprintf(run.out, "Error: unexpected end of vgm\n");
    if (read.walk == kWalkInvalidCommand) std::fprintf(run.out, "Error: invalid command\n");

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
        // A vgm.mid that cannot be written is reported and fails the run, but
        // the instrument and data block files are still written.
        OutputWriter midi(*run.files, joinOutputPath(run.settings.outputDir, "vgm.mid"), run.out, run.outputFailed);
        if (midi.created()) {
            const VgmMidiDrums drums{run.kit.plays, kitNumbers};
            LevelLists* levels = run.settings.midiMode == VgmMidiMode::kLevels ? &run.levelEvents : nullptr;
            // Events that could not be read back make the file incomplete.
            if (!writeVgmMidi(run.channelEvents, &run.eventSpill, midi, levels,
                              run.settings.sampleKit ? &drums : nullptr, run.settings.transpose))
                midi.markIncomplete();
            midi.finish();
        }
    }
    writePatchFiles(run);
    writeDataBlocks(run);
    const bool failed = run.outputFailed || read.damagedGzip || read.walk == kWalkUnexpectedEnd;
    return failed ? kExitFailed : kExitOk;
}

// The conversion of an opened input. Every file the run tries to create is
// recorded, so that files an earlier run left in the folder can be told apart
// from this run's; the warning about them is the run's last line.
TonepickExit convertInput(TonepickRun& run, BufferedInput& in) {
    OutputFileSystem* const disk = run.files;
    RecordingFileSystem recording(*disk);
    run.files = &recording;
    const VgmRead read = readVgm(run, in);
    TonepickExit code = kExitCannotStart;
    if (!read.notVgm) {
        code = finishRun(run, read);
        const EarlierRunFiles earlier = findEarlierRunFiles(recording, run.settings.outputDir,
                                                            recording.attemptedPaths(), isTonepickOutputName);
        printEarlierRunWarning(run.out, run.settings.outputDir, earlier);
    }
    run.files = disk;
    return code;
}

}  // namespace

void printTonepickUsage(TonepickRun& run) {
    std::fputs(kUsageText, run.out);
    std::fputs(kInstrumentFormatUsageLines, run.out);
    std::fputs(kUsageTail, run.out);
    std::fputs(kContactLine, run.out);
}

TonepickExit runTonepick(TonepickRun& run, int argc, const char* const argv[]) {
    if (argc <= 1) {
        printTonepickUsage(run);
        return kExitOk;
    }
    std::vector<std::string> paths;
    switch (parseCommandLine(run, argc, argv, paths)) {
        case CommandLine::kHelp:
            printTonepickUsage(run);
            return kExitOk;
        case CommandLine::kVersion:
            std::fprintf(run.out, "tonepick %s\n", TONEPICK_VERSION);
            return kExitOk;
        case CommandLine::kError:
            printTonepickUsage(run);
            return kExitCannotStart;
        case CommandLine::kRun:
            break;
    }
    if (paths.size() < 2) {
        printTonepickUsage(run);
        return kExitCannotStart;
    }
    run.settings.outputDir = paths.back();
    paths.pop_back();
    if (isPackRun(paths)) return runPack(run, paths);

    const char* inputPath = paths.front().c_str();
    std::FILE* file = openInputFile(inputPath);
    if (file == nullptr) {
        std::fprintf(run.out, "Error: Can't open file \"%s\"\n\n", inputPath);
        printTonepickUsage(run);
        return kExitCannotStart;
    }
    run.settings.inputPath = inputPath;
    const TonepickExit code = convertVgmFile(run, file);
    std::fclose(file);
    return code;
}

TonepickExit convertVgmFile(TonepickRun& run, std::FILE* file) {
    BufferedInput in;
    openFileInput(in, file);
    return convertInput(run, in);
}

TonepickExit convertVgmBytes(TonepickRun& run, const uint8_t* data, size_t size) {
    BufferedInput in;
    openMemoryInput(in, data, size);
    return convertInput(run, in);
}
