#include "seqconv/seqconv_driver.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "common/earlier_run_files.h"
#include "common/help_request.h"
#include "common/instrument_formats/instrument_formats.h"
#include "common/output_directory.h"
#include "common/output_writer.h"
#include "seqconv/bank_checks.h"
#include "seqconv/bank_refusal.h"
#include "seqconv/bank_outputs.h"
#include "seqconv/output_names.h"
#include "seqconv/output/song_conversion.h"
#include "seqconv/seqconv_run.h"

namespace {

constexpr int kArgSequences = 1;
constexpr int kArgInstruments = 2;
constexpr int kArgOutputDir = 3;
constexpr int kArgFlags = 4;

void printUsage(SeqconvRun& run) {
    std::fputs("Usage: seqconv sequences instruments outdir [flags] [options]\n"
               "\n"
               "Overwrites all existed files without confirmation\n"
               "\n"
               "Flags: characters in any order\n"
               "       3 - use 3 bytes ptr in sequences (example: comix zone)\n"
               "       p - pal tempo scale (example: donald in maui mallard)\n"
               "       s - play another songs (example: doom troopers)\n"
               "       c - use CTR for loop calculation\n"
               "       l - write logs\n"
               "\n"
               "Options: after the flags, in any order\n"
               "  -p - instrument files of the FM patches the songs use:\n",
               run.out);
    std::fputs(kInstrumentFormatUsageLines, run.out);
    std::fputs("  -pext - instrument file extension (default: format name)\n"
               "  -d - sample bank: WAV files of the samples the songs play,\n"
               "       an SFZ map per song and samples.txt\n"
               "\n"
               "Last update: 11.05.2013\n"
               "Bug reports and questions: see man seqconv\n",
               run.out);
}

std::string songFileName(int32_t song, const char* extension) {
    char name[32];  // "%03d" of a 16-bit song number plus extension
    std::snprintf(name, sizeof name, "%03d.%s", static_cast<int>(song), extension);
    return name;
}

// -h or --help anywhere on the command line asks for the usage text, so that
// it is never taken for a path or a flags word.
bool helpWordAnywhere(int argc, const char* const argv[]) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) return true;
    return false;
}

// The lists of the song being converted: emptied and reused for every song.
struct SongScratch {
    SongPassLists pass;
    SongLists lists;
};

// Creates the song's two files and converts the song into them. The output
// directory is made right before the first song's files (once per run; a
// bank without songs makes nothing). A file that cannot be created is
// reported and the song skipped; a MIDI file whose text file cannot be
// created is removed again, so that no empty MIDI file is left.
void convertSongToFiles(SeqconvRun& run, SongScratch& scratch, const std::string& outDir, int32_t song) {
    if (!run.outputDirState.attempted && !prepareOutputDirectory(run.outputDirState, outDir, *run.files, run.out))
        run.outputFailed = true;
    OutputWriter midi(*run.files, joinOutputPath(outDir, songFileName(song, "mid")), run.out, run.outputFailed);
    if (!midi.created()) return;
    OutputWriter text(*run.files, joinOutputPath(outDir, songFileName(song, "txt")), run.out, run.outputFailed);
    if (!text.created()) {
        midi.finish();
        run.files->remove(midi.path());
        return;
    }
    const SeqconvFlags& f = run.flags;
    SongInterpreter interpreter{run.sequences,
                                {f.threeBytePointers, f.playOthers, f.logEnabled, f.crtLoops},
                                run.out,
                                run.state,
                                run.budget,
                                scratch.pass};
    const SongWriterOptions writer{run.instruments, f.palTempo, f.logEnabled, run.out};
    convertSong(interpreter, writer, scratch.lists, song, midi, text);
    midi.finish();  // closed in this order: MIDI file, then text file
    text.finish();
    noteSongBankUse(run, outDir, song, scratch.lists);
}

// The sample bank of -d, loaded before anything is written; false after
// printing why it cannot be used.
bool loadSampleBankOption(SeqconvRun& run) {
    const char* path = run.options.sampleBank;
    if (path == nullptr) return true;
    switch (loadSampleBank(path, run.samples)) {
    case SampleBankLoad::kLoaded:
        return true;
    case SampleBankLoad::kCannotOpen:
        std::fprintf(run.out, "Error: Can't open file \"%s\"\n", path);
        return false;
    case SampleBankLoad::kTooLarge:
        std::fprintf(run.out, "Error: sample bank \"%s\" is larger than %u bytes\n", path,
                     static_cast<unsigned>(kMaxSampleBankSize));
        return false;
    }
    return false;
}

}  // namespace

const char* parseSeqconvFlags(const char* word, SeqconvFlags& flags) {
    for (const char* c = word; *c != '\0'; ++c) {
        switch (*c) {
        case '3': flags.threeBytePointers = true; break;
        case 'p': flags.palTempo = true; break;
        case 's': flags.playOthers = true; break;
        case 'c': flags.crtLoops = true; break;
        case 'l': flags.logEnabled = true; break;
        default: return c;
        }
    }
    return nullptr;
}

SeqconvExit runSeqconv(SeqconvRun& run, int argc, const char* const argv[]) {
    if (asksForHelp(argc, argv) || helpWordAnywhere(argc, argv)) {
        printUsage(run);
        return kSeqconvExitOk;
    }
    const int argumentCount = argc - 1;
    if (argumentCount < 3) {
        printUsage(run);
        return kSeqconvExitCannotStart;
    }
    // The three paths come first, whatever they look like; then the flags
    // word unless the next word is an option.
    int firstOption = kArgFlags;
    if (argumentCount >= 4 && argv[kArgFlags][0] != '-') {
        if (const char* unknown = parseSeqconvFlags(argv[kArgFlags], run.flags)) {
            std::fprintf(run.out, "Error: unknown flag \"%c\" in \"%s\"\n\n", *unknown, argv[kArgFlags]);
            printUsage(run);
            return kSeqconvExitCannotStart;
        }
        firstOption = kArgFlags + 1;
    }
    if (!parseSeqconvOptions(firstOption, argc, argv, run.options, run.out)) {
        printUsage(run);
        return kSeqconvExitCannotStart;
    }

    if (!loadInstrumentBank(argv[kArgInstruments], run.instruments)) {
        std::fprintf(run.out, "Can't open instruments\n");
        printUsage(run);
        return kSeqconvExitCannotStart;
    }
    if (!loadSequenceBank(argv[kArgSequences], run.sequences)) {
        std::fprintf(run.out, "Can't open sequences\n");
        printUsage(run);
        return kSeqconvExitCannotStart;
    }

    if (refuseBanks(run.out, argv[kArgSequences], run.sequences.bytes, argv[kArgInstruments],
                    std::span<const uint8_t>(run.instruments.bytes.data(),
                                             static_cast<size_t>(run.instruments.loadedSize))))
        return kSeqconvExitCannotStart;

    if (!loadSampleBankOption(run)) return kSeqconvExitCannotStart;

    // The song table runs up to the first song header; its first entry says
    // where that is. A bank too short to hold it has no songs.
    uint32_t firstSongOffset = 0;
    if (!readBankLe16(run.sequences, 0, firstSongOffset)) firstSongOffset = 0;

    printBankWarnings(run.out, run.sequences, run.instruments, run.flags.threeBytePointers);

    const std::string outDir = argv[kArgOutputDir];
    // Every file this run tries to create is recorded, so that only files of
    // an earlier run are named afterwards.
    RecordingFileSystem recording(*run.files);
    OutputFileSystem* const givenFiles = run.files;
    run.files = &recording;
    SongScratch scratch;
    for (uint32_t song = 0; 2 * song < firstSongOffset; ++song)
        convertSongToFiles(run, scratch, outDir, static_cast<int32_t>(song));
    writeBankFiles(run, outDir);
    run.files = givenFiles;
    printEarlierRunWarning(run.out, outDir,
                           findEarlierRunFiles(recording, outDir, recording.attemptedPaths(), isSeqconvOutputName));
    return run.outputFailed ? kSeqconvExitIncomplete : kSeqconvExitOk;
}
