// The seqconv driver run in-process: argument counts, flags, bank loading,
// song numbering, output names and unwritable output files; and the
// instrument bank lookups.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "common/output_files.h"
#include "tests/support/memory_file_system.h"
#include "seqconv/seqconv_driver.h"
#include "seqconv/seqconv_run.h"
#include "builders/gems_bank_builder.h"
#include "tests/support/output_capture.h"
#include "tests/support/process_runner.h"

namespace {

const char* const kUsageLines =
    "Usage: .exe sequences instruments outdir [flags]\n"
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
    SeqconvDriverTest() : run(std::make_unique<SeqconvRun>()) {
        run->out = capture.file();
        run->files = &files;
        files.requireDirectories = true;
        files.directories.insert("out");
        writeWholeFile(instrumentsPath(), GemsInstrumentBankBuilder().bytes());
    }

    std::string sequencesPath() const { return dir.file("seq.bin"); }
    std::string instrumentsPath() const { return dir.file("ins.bin"); }
    void writeSequences(const std::vector<uint8_t>& bytes) { writeWholeFile(sequencesPath(), bytes); }

    int runWith(const std::vector<std::string>& args) {
        std::vector<const char*> argv = {"seqconv"};
        for (const std::string& a : args) argv.push_back(a.c_str());
        return runSeqconv(*run, static_cast<int>(argv.size()), argv.data());
    }
    int runDefault(const std::string& outDir = "out") {
        return runWith({sequencesPath(), instrumentsPath(), outDir});
    }

    static std::string path(const std::string& dirName, const std::string& name) {
        return joinOutputPath(dirName, name);
    }

    TempDir dir;
    MemoryFileSystem files;
    OutputCapture capture;
    std::unique_ptr<SeqconvRun> run;
};

TEST_F(SeqconvDriverTest, WrongArgumentCountPrintsUsageAndOpensNothing) {
    GemsBankBuilder bank;
    bank.song().channel().note(1).eos();
    writeSequences(bank.bytes());
    EXPECT_EQ(runWith({sequencesPath(), instrumentsPath()}), 0);
    EXPECT_TRUE(isUsage(capture.text())) << capture.text();
    const std::string once = capture.text();
    EXPECT_EQ(runWith({sequencesPath(), instrumentsPath(), "out", "l", "extra"}), 0);
    EXPECT_EQ(capture.text(), once + once);
    EXPECT_TRUE(files.files.empty());
    EXPECT_TRUE(run->sequences.bytes.empty());
}

TEST_F(SeqconvDriverTest, FlagsAreCharactersAnywhereInTheWord) {
    SeqconvFlags flags;
    parseSeqconvFlags("xl3", flags);
    EXPECT_TRUE(flags.logEnabled);
    EXPECT_TRUE(flags.threeBytePointers);
    EXPECT_FALSE(flags.palTempo || flags.playOthers || flags.crtLoops);

    SeqconvFlags upper;
    parseSeqconvFlags("L", upper);
    EXPECT_FALSE(upper.logEnabled || upper.threeBytePointers || upper.palTempo || upper.playOthers ||
                 upper.crtLoops);

    writeSequences({});
    EXPECT_EQ(runWith({sequencesPath(), instrumentsPath(), "out", "cc-s.p"}), 0);
    EXPECT_TRUE(run->flags.crtLoops && run->flags.playOthers && run->flags.palTempo);
    EXPECT_FALSE(run->flags.logEnabled || run->flags.threeBytePointers);
}

TEST_F(SeqconvDriverTest, BanksThatCannotBeOpened) {
    EXPECT_EQ(runWith({sequencesPath(), dir.file("missing.bin"), "out"}), 0);
    EXPECT_EQ(capture.text().rfind("Can't open instruments\n", 0), 0u);
    EXPECT_TRUE(isUsage(capture.text().substr(23)));

    OutputCapture second;
    run->out = second.file();
    GemsInstrumentBankBuilder instruments;
    instruments.patch(3, {9});
    writeWholeFile(instrumentsPath(), instruments.bytes());
    EXPECT_EQ(runWith({dir.file("missing.bin"), instrumentsPath(), "out"}), 0);
    EXPECT_EQ(second.text().rfind("Can't open sequences\n", 0), 0u);
    EXPECT_TRUE(isUsage(second.text().substr(21)));
    EXPECT_EQ(patchType(run->instruments, 0), 3);  // already loaded
    EXPECT_TRUE(files.files.empty());
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
    EXPECT_EQ(capture.text(), "");  // nothing printed without flag l
}

TEST_F(SeqconvDriverTest, SongNumbersAboveNineHundredNinetyNine) {
    GemsBankBuilder bank;
    bank.song();
    bank.tablePadding(2000);  // entry 0 = 2002: songs 0..1000
    std::vector<uint8_t> bytes = bank.bytes();
    // Every other song shares song 0's empty header.
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
    EXPECT_EQ(capture.text(), "");
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
    EXPECT_EQ(runDefault(), kSeqconvOutputFailed);
    EXPECT_EQ(capture.text(), "Error: Can't create file \"" + path("out", "001.mid") + "\"\n" +
                                  "Error: Can't create file \"" + path("out", "002.txt") + "\"\n");
    EXPECT_FALSE(files.has(path("out", "001.txt")));
    EXPECT_FALSE(files.at(path("out", "000.mid")).empty());
    // Song 2 is not converted, and the MIDI file made for it is removed again.
    EXPECT_FALSE(files.has(path("out", "002.mid")));
    EXPECT_EQ(files.removed, std::vector<std::string>{path("out", "002.mid")});
}

TEST_F(SeqconvDriverTest, MissingOutputDirectoryReportsEveryFile) {
    GemsBankBuilder bank;
    bank.song();
    bank.song();
    writeSequences(bank.bytes());
    EXPECT_EQ(runDefault("absent"), kSeqconvOutputFailed);
    EXPECT_EQ(capture.text(), "Error: Can't create file \"" + path("absent", "000.mid") + "\"\n" +
                                  "Error: Can't create file \"" + path("absent", "001.mid") + "\"\n");
    EXPECT_TRUE(files.files.empty());
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
