// The seqconv driver run in-process: argument counts, flags, bank loading,
// song numbering, output names and unwritable output files; and the
// instrument bank lookups.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "common/output_files.h"
#include "builders/gems_bank_builder.h"
#include "tests/support/process_runner.h"
#include "tests/support/seqconv_test_run.h"

namespace {

const char* const kUsageLines =
    "Usage: seqconv sequences instruments outdir [flags] [options]\n"
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
    "  -p - instrument files of the FM patches the songs use:\n"
    "        gems - internal GEMS 2.8 format (default)\n"
    "        tyi  - Tiido's instrument file\n"
    "        tfi  - TFM Music Maker instrument file\n"
    "        eif  - ECHO instrument file\n"
    "        y12  - GensKMOD YM2612 channel dump\n"
    "        vgi  - VGM Music Maker instrument file\n"
    "        dmp  - DefleMask instrument file\n"
    "        dmp0 - DefleMask instrument file version 0\n"
    "        smps - internal SMPS format (Sonic 3)\n"
    "  -pext - instrument file extension (default: format name)\n"
    "  -d - sample bank: WAV files of the samples the songs play,\n"
    "       an SFZ map per song and samples.txt\n"
    "\n"
    "Last update: 11.05.2013\n";

// The usage text: the designed lines, then one contact line.
bool isUsage(const std::string& text) {
    const std::string head = kUsageLines;
    if (text.compare(0, head.size(), head) != 0) return false;
    const std::string contact = text.substr(head.size());
    return contact.size() > 1 && contact.find('\n') == contact.size() - 1;
}

class SeqconvDriverTest : public ::testing::Test {
protected:
    SeqconvDriverTest() {
        files.requireDirectories = true;
        files.directories.insert("out");
        GemsInstrumentBankBuilder instruments;
        instruments.patch(0, {1, 2, 3});
        writeWholeFile(instrumentsPath(), instruments.bytes());
    }

    std::string sequencesPath() const { return dir.file("seq.bin"); }
    std::string instrumentsPath() const { return dir.file("ins.bin"); }
    void writeSequences(const std::vector<uint8_t>& bytes) { writeWholeFile(sequencesPath(), bytes); }

    int runWith(const std::vector<std::string>& args) { return test.start(args); }
    int runDefault(const std::string& outDir = "out") {
        return runWith({sequencesPath(), instrumentsPath(), outDir});
    }

    // Replaces the run object by a new one printing to `printed`, on the same files.
    void freshRun(OutputCapture& printed) { test.freshRun(printed); }

    static std::string path(const std::string& dirName, const std::string& name) {
        return joinOutputPath(dirName, name);
    }

    TempDir dir;
    SeqconvTestRun test;
    MemoryFileSystem& files = test.files;
    OutputCapture& capture = test.out;
    std::unique_ptr<SeqconvRun>& run = test.run;
};

TEST_F(SeqconvDriverTest, WrongArgumentCountPrintsUsageAndOpensNothing) {
    GemsBankBuilder bank;
    bank.song().channel().note(1).eos();
    writeSequences(bank.bytes());
    EXPECT_EQ(runWith({sequencesPath(), instrumentsPath()}), kSeqconvExitCannotStart);
    EXPECT_TRUE(isUsage(capture.text())) << capture.text();
    const std::string once = capture.text();
    // No arguments at all, or -h or --help as any word, ask for the text
    // alone: never taken for a path, a flags word or an option's value.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"-h"}, {"--help"}, {"-h", "x"},
          {sequencesPath(), instrumentsPath(), "out", "--help"}, {"x", "-h", "y", "z", "w", "v"},
          {"a", "b", "c", "l", "-p", "--help"}})
        EXPECT_EQ(runWith(args), kSeqconvExitOk);
    EXPECT_EQ(runWith({"--h"}), kSeqconvExitCannotStart);
    std::string all = once + once;
    for (int i = 0; i < 7; ++i) all += once;
    EXPECT_EQ(capture.text(), all);
    EXPECT_TRUE(files.files.empty());
    EXPECT_TRUE(run->sequences.bytes.empty());
}

TEST_F(SeqconvDriverTest, FlagsWordHoldsOnlyTheFiveFlagCharacters) {
    struct Case {
        const char* word;
        int unknownAt;  // -1: none
        bool three, pal, others, crt, log;
    };
    const std::vector<Case> cases{
        {"", -1, false, false, false, false, false},
        {"l3", -1, true, false, false, false, true},
        {"ccspcs", -1, false, true, true, true, false},
        {"3pscl", -1, true, true, true, true, true},
        {"xl3", 0, false, false, false, false, false},
        {"cL", 1, false, false, false, true, false},
        {"cc-s.p", 2, false, false, false, true, false},
    };
    for (const Case& c : cases) {
        SeqconvFlags flags;
        const char* unknown = parseSeqconvFlags(c.word, flags);
        EXPECT_EQ(unknown == nullptr ? -1 : static_cast<int>(unknown - c.word), c.unknownAt) << c.word;
        if (c.unknownAt >= 0) continue;  // what was set before it does not matter: the run stops
        EXPECT_EQ(flags.threeBytePointers, c.three) << c.word;
        EXPECT_EQ(flags.palTempo, c.pal) << c.word;
        EXPECT_EQ(flags.playOthers, c.others) << c.word;
        EXPECT_EQ(flags.crtLoops, c.crt) << c.word;
        EXPECT_EQ(flags.logEnabled, c.log) << c.word;
    }

    // The first unknown character is named, then the usage text; the banks
    // are not even opened.
    GemsBankBuilder bank;
    bank.song().channel().note(1).eos();
    writeSequences(bank.bytes());
    EXPECT_EQ(runWith({sequencesPath(), instrumentsPath(), "out", "cc-s.p"}), kSeqconvExitCannotStart);
    const std::string head = "Error: unknown flag \"-\" in \"cc-s.p\"\n\n";
    EXPECT_EQ(capture.text().rfind(head, 0), 0u) << capture.text();
    EXPECT_TRUE(isUsage(capture.text().substr(head.size()))) << capture.text();
    EXPECT_TRUE(run->sequences.bytes.empty());
    EXPECT_TRUE(files.files.empty());
}

TEST_F(SeqconvDriverTest, BanksThatCannotBeOpened) {
    EXPECT_EQ(runWith({sequencesPath(), dir.file("missing.bin"), "out"}), kSeqconvExitCannotStart);
    EXPECT_EQ(capture.text().rfind("Can't open instruments\n", 0), 0u);
    EXPECT_TRUE(isUsage(capture.text().substr(23)));

    OutputCapture second;
    run->out = second.file();
    GemsInstrumentBankBuilder instruments;
    instruments.patch(3, {9});
    writeWholeFile(instrumentsPath(), instruments.bytes());
    EXPECT_EQ(runWith({dir.file("missing.bin"), instrumentsPath(), "out"}), kSeqconvExitCannotStart);
    EXPECT_EQ(second.text().rfind("Can't open sequences\n", 0), 0u);
    EXPECT_TRUE(isUsage(second.text().substr(21)));
    EXPECT_EQ(patchType(run->instruments, 0), 3);  // already loaded
    EXPECT_TRUE(files.files.empty());

    // A directory where a bank belongs cannot be opened as one.
    for (const auto& [args, message] :
         {std::pair{std::vector<std::string>{dir.path(), instrumentsPath(), "out"}, "Can't open sequences\n"},
          std::pair{std::vector<std::string>{sequencesPath(), dir.path(), "out"}, "Can't open instruments\n"}}) {
        OutputCapture text;
        run->out = text.file();
        EXPECT_EQ(runWith(args), kSeqconvExitCannotStart);
        EXPECT_EQ(text.text().rfind(message, 0), 0u) << text.text();
        EXPECT_TRUE(isUsage(text.text().substr(std::string(message).size())));
    }
}

TEST_F(SeqconvDriverTest, InstrumentBankIsZeroFilledAndCutOff) {
    writeSequences({});
    run->instruments.bytes.fill(0xAA);
    writeWholeFile(instrumentsPath(), {1, 2, 3});
    runDefault();
    EXPECT_EQ(run->instruments.bytes[2], 3);
    EXPECT_EQ(run->instruments.bytes[3], 0);
    EXPECT_EQ(run->instruments.bytes[kInstrumentBankSize - 1], 0);

    std::vector<unsigned char> large(kInstrumentBankSize + 100);
    for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<unsigned char>(i * 7);
    writeWholeFile(instrumentsPath(), large);
    runDefault();
    EXPECT_EQ(run->instruments.bytes[kInstrumentBankSize - 1], large[kInstrumentBankSize - 1]);
}

TEST_F(SeqconvDriverTest, SongCountComesFromTheFirstTableEntry) {
    GemsBankBuilder bank;
    for (int s = 0; s < 3; ++s) bank.song().channel().note(s).eos();
    writeSequences(bank.bytes());  // entry 0 = 6: songs 0..2
    EXPECT_EQ(runDefault(), 0);
    EXPECT_EQ(files.creationOrder,
              std::vector<std::string>({path("out", "000.mid"), path("out", "000.txt"), path("out", "001.mid"),
                                        path("out", "001.txt"), path("out", "002.mid"), path("out", "002.txt")}));

    files.files.clear();
    bank.tablePadding(1);  // entry 0 = 7: songs 0..3, an odd value counts one more
    writeSequences(bank.bytes());
    runDefault();
    EXPECT_EQ(files.files.size(), 8u);
    EXPECT_TRUE(files.has(path("out", "003.txt")));
    // Nothing is printed without flag l but the check of the table: its fourth
    // entry is made of the padding and the first header's channel count.
    EXPECT_EQ(capture.text(), "Warning: 1 of 7 song and channel pointers point outside the sequence bank\n");
}

TEST_F(SeqconvDriverTest, SongNumbersAboveNineHundredNinetyNine) {
    GemsBankBuilder bank;
    bank.song().channel().eos();
    bank.tablePadding(2000);  // entry 0 = 2002: songs 0..1000
    std::vector<uint8_t> bytes = bank.bytes();
    // Every other song shares song 0's header.
    for (size_t s = 1; s <= 1000; ++s) writeLe16(&bytes[2 * s], 2002);
    writeSequences(bytes);
    runDefault();
    EXPECT_EQ(files.files.size(), 2002u);
    EXPECT_TRUE(files.has(path("out", "999.txt")));
    EXPECT_TRUE(files.has(path("out", "1000.mid")));
}

TEST_F(SeqconvDriverTest, BanksWithoutSongs) {
    writeSequences({});
    EXPECT_EQ(runDefault(), 0);
    writeSequences({0x05});  // too short for the first table entry
    EXPECT_EQ(runDefault(), 0);
    writeSequences({0x00, 0x00, 0x01});
    EXPECT_EQ(runDefault(), 0);
    EXPECT_TRUE(files.files.empty());
    EXPECT_TRUE(files.createdDirectories.empty());
    const std::string warning = "Warning: the sequence bank holds no songs\n";
    EXPECT_EQ(capture.text(), warning + warning + warning);
}

TEST_F(SeqconvDriverTest, EmptyOutputDirectoryMeansBareNames) {
    GemsBankBuilder bank;
    bank.song().channel().note(1).eos();
    writeSequences(bank.bytes());
    runDefault("");
    EXPECT_EQ(files.creationOrder, std::vector<std::string>({"000.mid", "000.txt"}));
}

TEST_F(SeqconvDriverTest, FileThatCannotBeCreatedSkipsItsSong) {
    GemsBankBuilder bank;
    for (int s = 0; s < 3; ++s) bank.song().channel().delay(4).note(0x30 + s).eos();
    writeSequences(bank.bytes());
    files.refusedPaths = {path("out", "001.mid"), path("out", "002.txt")};
    EXPECT_EQ(runDefault(), kSeqconvExitIncomplete);
    EXPECT_EQ(capture.text(), "Error: Can't create file \"" + path("out", "001.mid") + "\"\n" +
                                  "Error: Can't create file \"" + path("out", "002.txt") + "\"\n");
    EXPECT_FALSE(files.has(path("out", "001.txt")));
    EXPECT_FALSE(files.at(path("out", "000.mid")).empty());
    // Song 2 is not converted, and the MIDI file made for it is removed again.
    EXPECT_FALSE(files.has(path("out", "002.mid")));
    EXPECT_EQ(files.removed, std::vector<std::string>{path("out", "002.mid")});
}

TEST_F(SeqconvDriverTest, MissingOutputDirectoryIsCreatedOnceBeforeTheFirstSong) {
    GemsBankBuilder bank;
    bank.song().channel().eos();
    bank.song().channel().eos();
    writeSequences(bank.bytes());
    EXPECT_EQ(runDefault("new"), kSeqconvExitOk);
    EXPECT_EQ(capture.text(), "");
    EXPECT_EQ(files.createdDirectories, std::vector<std::string>{"new"});
    EXPECT_EQ(files.files.size(), 4u);
}

TEST_F(SeqconvDriverTest, DirectoryThatCannotBeMadeIsNamedOnceAndEndsWith2) {
    GemsBankBuilder bank;
    bank.song().channel().eos();
    bank.song().channel().eos();
    writeSequences(bank.bytes());
    files.refusedDirectories.insert("absent");
    EXPECT_EQ(runDefault("absent"), kSeqconvExitIncomplete);
    EXPECT_EQ(capture.text(), "Error: Can't create directory \"absent\"\n"
                              "Error: Can't create file \"" + path("absent", "000.mid") + "\"\n" +
                                  "Error: Can't create file \"" + path("absent", "001.mid") + "\"\n");
    EXPECT_TRUE(files.files.empty());

    // The warnings come before it; the current directory is never created.
    // Each run is a run object of its own, as each program start is.
    OutputCapture second;
    freshRun(second);
    files.createdDirectories.clear();
    writeWholeFile(instrumentsPath(), {});
    EXPECT_EQ(runDefault("absent"), kSeqconvExitIncomplete);
    EXPECT_EQ(second.text().rfind("Warning: the instrument bank holds no patches\n"
                                  "Error: Can't create directory \"absent\"\n", 0),
              0u) << second.text();
    OutputCapture third;
    freshRun(third);
    EXPECT_EQ(runDefault(""), kSeqconvExitOk);
    EXPECT_EQ(files.createdDirectories, std::vector<std::string>{"absent"});
}

// A directory that cannot be made is itself an output that was not written:
// the status is 2 even where every song's files could still be created.
TEST_F(SeqconvDriverTest, DirectoryThatCannotBeMadeEndsWith2EvenWhenFilesLand) {
    GemsBankBuilder bank;
    bank.song().channel().note(1).eos();
    writeSequences(bank.bytes());
    files.requireDirectories = false;
    files.refusedDirectories.insert("new");
    EXPECT_EQ(runDefault("new"), kSeqconvExitIncomplete);
    EXPECT_EQ(capture.text(), "Error: Can't create directory \"new\"\n");
    EXPECT_TRUE(files.has(path("new", "000.mid")));
    EXPECT_TRUE(files.has(path("new", "000.txt")));
}

TEST_F(SeqconvDriverTest, TempoAndRunTotalsCarryAcrossSongs) {
    GemsBankBuilder bank;
    bank.song().channel().tempo(0x78).note(1).eos();
    bank.song().channel().note(2).eos();
    writeSequences(bank.bytes());
    runDefault();
    EXPECT_EQ(run->state.tempo, 160);
    // Both passes of both songs: 4 + 2 bytes, 2 + 2 records, twice each.
    EXPECT_EQ(run->budget.runBytes, 2 * (4 + 2));
    EXPECT_EQ(run->budget.runRecords, 2 * (2 + 2));
}

TEST_F(SeqconvDriverTest, TraceGoesToTheRunOutputWithFlagL) {
    GemsBankBuilder bank;
    bank.song().channel().note(5).eos();
    writeSequences(bank.bytes());
    runWith({sequencesPath(), instrumentsPath(), "out", "l"});
    const std::string firstPass = "parseseq 0 0\nnote = 5 t = 0 offs = 6\nwasdelay = false\neos\n";
    EXPECT_EQ(capture.text().rfind(firstPass + "maxtime = ", 0), 0u) << capture.text();
    EXPECT_NE(capture.text().find("maxtime = 1\n" + firstPass), std::string::npos) << capture.text();
}

TEST_F(SeqconvDriverTest, FilesOfAnEarlierRunAreNamedLast) {
    GemsBankBuilder bank;
    bank.song().channel().note(1).eos();
    bank.song().channel().note(2).eos();
    writeSequences(bank.bytes());
    // Files of this tool's names this run does not write, and others.
    for (const char* name : {"005.mid", "1000.txt", "patch_00.gems", "sample_000.wav", "samples.txt", "002.sfz",
                             "002.sf2", "0005.mid", "05.txt", "-01.mid", "kit.txt", "vgm.mid", "notes.txt", "sample_1.raw"})
        files.files[path("out", name)] = {1};
    files.files["other/003.mid"] = {1};
    EXPECT_EQ(runDefault(), kSeqconvExitOk);
    EXPECT_EQ(capture.text(), "Warning: 7 files of an earlier run remain in \"out\" (e.g. 002.sf2)\n");
    EXPECT_EQ(files.files.size(), 15u + 4u);  // nothing deleted

    // A file this run tried to write is not counted, even when refused; the
    // warning comes after the run's errors.
    OutputCapture second;
    freshRun(second);
    files.files.clear();
    files.files[path("out", "001.mid")] = {1};
    files.files[path("out", "002.txt")] = {1};
    files.refusedPaths = {path("out", "001.mid")};
    EXPECT_EQ(runDefault(), kSeqconvExitIncomplete);
    EXPECT_EQ(second.text(), "Error: Can't create file \"" + path("out", "001.mid") + "\"\n" +
                                 "Warning: 1 file of an earlier run remains in \"out\" (002.txt)\n");

    // A run of the same bank again finds nothing.
    OutputCapture third;
    freshRun(third);
    files.files.clear();
    files.refusedPaths.clear();
    EXPECT_EQ(runDefault(), kSeqconvExitOk);
    freshRun(third);
    EXPECT_EQ(runDefault(), kSeqconvExitOk);
    EXPECT_EQ(third.text(), "");
}

TEST(InstrumentBank, LookupsStayInsideTheBank) {
    GemsInstrumentBankBuilder builder;
    builder.patch(0, {0x11, 0x22});
    builder.patch(1);
    builder.patch(2);
    builder.patch(3);
    builder.patch(9);
    auto bank = std::make_unique<InstrumentBank>();
    const std::vector<uint8_t> bytes = builder.bytes();
    std::copy(bytes.begin(), bytes.end(), bank->bytes.begin());

    EXPECT_EQ(patchOffset(*bank, 0), 10);
    EXPECT_EQ(patchOffset(*bank, 4), builder.patchOffset(4));
    const char* names[] = {"FM", "DAC", "PSG", "NOISE", "UNKNOWN"};
    for (int p = 0; p < 5; ++p) EXPECT_STREQ(patchTypeName(patchType(*bank, p)), names[p]);
    EXPECT_EQ(patchType(*bank, 1), kDacPatchType);

    EXPECT_EQ(patchOffset(*bank, -1), -1);
    EXPECT_EQ(patchType(*bank, -1), -1);
    EXPECT_STREQ(patchTypeName(-1), "NONE");
    EXPECT_STREQ(patchTypeName(-2), "UNKNOWN");
    EXPECT_STREQ(patchTypeName(256), "UNKNOWN");
    // The last table entry lies at the end of the buffer; beyond it there is none.
    bank->bytes[kInstrumentBankSize - 2] = 0xFF;
    bank->bytes[kInstrumentBankSize - 1] = 0xFF;
    bank->bytes[0xFFFF] = 2;
    EXPECT_EQ(patchType(*bank, kInstrumentBankSize / 2 - 1), 2);
    EXPECT_EQ(patchOffset(*bank, kInstrumentBankSize / 2), -1);
}

}  // namespace
