// The built seqconv program: usage, a small bank with its trace, output files
// on disk, and the real game banks under every flag word.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/output_files.h"
#include "builders/gems_bank_builder.h"
#include "tests/support/process_runner.h"

namespace {

const std::string kCorpus = std::string(MDTOOLS_SHARED_DIR) + "/corpus/gems/";
const std::string kRealSequences = kCorpus + "spinball_sequence_bank.bin";
const std::string kRealInstruments = kCorpus + "spinball_patch_bank.bin";

std::vector<std::string> listDirectory(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The shape of the trace line at text[begin, end): every run of upper-case hex
// digits replaced by '#' (written into `shape`, reused to spare allocations).
void shapeOf(const std::string& text, size_t begin, size_t end, std::string& shape) {
    const auto isHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
    shape.clear();
    for (size_t i = begin; i < end;) {
        if (isHex(text[i])) {
            while (i < end && isHex(text[i])) ++i;
            shape += '#';
        } else {
            shape += text[i++];
        }
    }
}

// Every line the program prints with flag l, by shape.
const std::set<std::string> kTraceShapes = {
    "parseseq # #", "delay = #", "duration = #", "note = # t = # offs = #", "wasdelay = false",
    "eos", "eol", "nop", "sfx", "patch #", "modulation #", "loop # times", "param #",
    "tempo #+#=# (dec)", "priority # (dec)", "play #", "pitch # #", "jmp #", "set _# = #",
    "jmp ? # # # #", "$# unk # #", "mastervolume #", "volume #", "Unknown command #",
    "maxtime = #", "output", "loop_start:#", "track_end:#",
};

bool startsWithUsage(const std::string& text) {
    return text.rfind("Usage: seqconv sequences instruments outdir [flags] [options]\n\n", 0) == 0 &&
           text.find("Last update: 11.05.2013\n") != std::string::npos;
}

// A one-song bank and a one-patch instrument bank in `dir`.
void writeSmallBanks(const TempDir& dir) {
    GemsBankBuilder bank;
    bank.song().channel().delay(2).note(1).eos();
    writeWholeFile(dir.file("seq.bin"), bank.bytes());
    GemsInstrumentBankBuilder instruments;
    instruments.patch(0, {1, 2});
    writeWholeFile(dir.file("ins.bin"), instruments.bytes());
}

TEST(SeqconvProgram, UsageAskedForIsStatus0AndAWrongCommandLineIs1) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"-h"}, {"--help"}, {"-h", "-h"}, {"a", "b", "c", "--help"},
          {"a", "b", "c", "-p", "tfi", "--help"}}) {
        const ProcessResult result = runProcess(SEQCONV_EXE, args);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_TRUE(startsWithUsage(result.output)) << result.output;
    }
    TempDir dir;
    writeSmallBanks(dir);
    const std::string seq = dir.file("seq.bin");
    const std::string ins = dir.file("ins.bin");
    for (const std::vector<std::string>& args : {std::vector<std::string>{seq}, {seq, ins}, {"--h"}}) {
        const ProcessResult result = runProcess(SEQCONV_EXE, args);
        EXPECT_EQ(result.exitCode, 1) << args.size();
        EXPECT_TRUE(startsWithUsage(result.output)) << result.output;
    }
    const ProcessResult extra = runProcess(SEQCONV_EXE, {seq, ins, dir.file("out"), "l", "extra"});
    EXPECT_EQ(extra.exitCode, 1);
    const std::string error = "Error: unknown command line option \"extra\"\n\n";
    EXPECT_EQ(extra.output.substr(0, error.size()), error);
    EXPECT_TRUE(startsWithUsage(extra.output.substr(error.size()))) << extra.output;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
}

TEST(SeqconvProgram, BanksThatCannotBeOpenedEndWith1) {
    TempDir dir;
    writeSmallBanks(dir);
    const std::string out = dir.file("out");
    struct Case {
        std::string sequences, instruments, message;
    };
    // A directory is no bank, like a missing file.
    const std::vector<Case> cases{
        {dir.file("seq.bin"), dir.file("missing.bin"), "Can't open instruments\n"},
        {dir.file("missing.bin"), dir.file("ins.bin"), "Can't open sequences\n"},
        {dir.file("seq.bin"), dir.path(), "Can't open instruments\n"},
        {dir.path(), dir.file("ins.bin"), "Can't open sequences\n"},
    };
    for (const Case& c : cases) {
        const ProcessResult result = runProcess(SEQCONV_EXE, {c.sequences, c.instruments, out});
        EXPECT_EQ(result.exitCode, 1) << c.message;
        EXPECT_EQ(result.output.rfind(c.message, 0), 0u) << result.output;
        EXPECT_TRUE(startsWithUsage(result.output.substr(c.message.size()))) << result.output;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(SeqconvProgram, WrongBanksAreNamedBeforeAnythingElse) {
    TempDir dir;
    writeSmallBanks(dir);
    writeWholeFile(dir.file("empty.bin"), {});
    const std::string seq = dir.file("seq.bin");
    const std::string ins = dir.file("ins.bin");
    const std::string out = dir.file("out");

    // An empty sequence bank: no songs, so no directory and no files.
    ProcessResult r = runProcess(SEQCONV_EXE, {dir.file("empty.bin"), ins, out});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "Warning: the sequence bank holds no songs\n");
    EXPECT_FALSE(std::filesystem::exists(out));

    // An empty instrument bank: warned, then converted as before, trace after the warning.
    r = runProcess(SEQCONV_EXE, {seq, dir.file("empty.bin"), out, "l"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output.rfind("Warning: the instrument bank holds no patches\nparseseq 0 0\n", 0), 0u) << r.output;
    EXPECT_EQ(listDirectory(out), std::vector<std::string>({"000.mid", "000.txt"}));

    // Both warnings, in order, before the directory line.
    r = runProcess(SEQCONV_EXE, {seq, dir.file("empty.bin"), dir.file("none/out"), "3"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.output.rfind("Warning: 1 of 2 song and channel pointers point outside the sequence bank (try without flag 3)\n"
                             "Warning: the instrument bank holds no patches\n"
                             "Error: Can't create directory \"" + dir.file("none/out") + "\"\n", 0),
              0u)
        << r.output;
}

TEST(SeqconvProgram, OutputDirectoryIsCreatedOrNamedOnce) {
    TempDir dir;
    writeSmallBanks(dir);
    const std::string seq = dir.file("seq.bin");
    const std::string ins = dir.file("ins.bin");

    ProcessResult r = runProcess(SEQCONV_EXE, {seq, ins, dir.file("new")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(listDirectory(dir.file("new")), std::vector<std::string>({"000.mid", "000.txt"}));

    // Only one level is made: a missing parent, a file in the way, a dangling link.
    writeWholeFile(dir.file("plain"), {1});
    std::filesystem::create_symlink(dir.file("nowhere"), dir.file("dangling"));
    for (const std::string& out : {dir.file("missing/out"), dir.file("plain"), dir.file("plain/sub"),
                                   dir.file("dangling")}) {
        r = runProcess(SEQCONV_EXE, {seq, ins, out});
        EXPECT_EQ(r.exitCode, 2) << out;
        EXPECT_EQ(r.output, "Error: Can't create directory \"" + out + "\"\n" +
                                "Error: Can't create file \"" + joinOutputPath(out, "000.mid") + "\"\n");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));

    // A link to a directory is followed; the current directory is never created.
    std::filesystem::create_symlink(dir.file("new"), dir.file("link"));
    r = runProcess(SEQCONV_EXE, {seq, ins, dir.file("link")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "");
    r = runProcess(SEQCONV_EXE, {"seq.bin", "ins.bin", ""}, dir.path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "");
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("000.mid")));
}

TEST(SeqconvProgram, SmallBankTraceAndFiles) {
    TempDir dir;
    GemsBankBuilder bank;
    auto& song = bank.song();
    song.channel().delay(3).duration(2).note(0x3C).loopForever().note(0x3E).eol().eos();
    song.channel().patch(1).eos();
    bank.song();
    writeWholeFile(dir.file("seq.bin"), bank.bytes());
    GemsInstrumentBankBuilder instruments;
    instruments.patch(0, {1, 2, 3, 4});
    instruments.patch(1);
    writeWholeFile(dir.file("ins.bin"), instruments.bytes());
    std::filesystem::create_directory(dir.file("out"));

    const ProcessResult result =
        runProcess(SEQCONV_EXE, {dir.file("seq.bin"), dir.file("ins.bin"), dir.file("out"), "l"});
    EXPECT_EQ(result.exitCode, 0);
    const std::string firstPass =
        "parseseq 0 0\n"
        "delay = 3\nduration = 2\n"
        "note = 3C t = 0 offs = D\nwasdelay = false\n"
        "loop 7F times\n"
        "note = 3E t = 3 offs = 10\nwasdelay = false\n"
        "eol\n"
        "eos\n"
        "parseseq 0 1\n"
        "patch 1\nwasdelay = false\n"
        "eos\n";
    EXPECT_EQ(result.output.rfind(firstPass + "maxtime = ", 0), 0u) << result.output;
    EXPECT_EQ(listDirectory(dir.file("out")),
              std::vector<std::string>({"000.mid", "000.txt", "001.mid", "001.txt"}));
    EXPECT_EQ(readWholeFile(dir.file("out/001.mid")).empty(), false);

    // A second run replaces the files without asking and writes the same bytes.
    const std::vector<unsigned char> midi = readWholeFile(dir.file("out/000.mid"));
    const ProcessResult again =
        runProcess(SEQCONV_EXE, {dir.file("seq.bin"), dir.file("ins.bin"), dir.file("out")});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.output, "");
    EXPECT_EQ(readWholeFile(dir.file("out/000.mid")), midi);
}

// The real banks given the wrong way round: the patch bank read as songs is
// nearly all FM patches (type byte 0, no channels), the sequence bank read as
// patch offsets leads to many impossible patches, and each file passes the
// other bank's checks. Nothing is created.
TEST(SeqconvProgram, RealBanksSwappedAreRefused) {
    if (!std::filesystem::exists(kRealSequences) || !std::filesystem::exists(kRealInstruments))
        GTEST_SKIP() << "real GEMS banks not found under " << kCorpus
                     << " (the corpus folder beside the repository is absent)";
    TempDir dir;
    const ProcessResult r = runProcess(SEQCONV_EXE, {kRealInstruments, kRealSequences, dir.file("out")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output,
              "Error: \"" + kRealSequences + "\" is not a GEMS instrument bank (60 of 126 patch entries do not hold a patch)\n"
              "Error: \"" + kRealInstruments + "\" is not a GEMS sequence bank (124 of 128 songs have no channels)\n"
              "The sequence and instrument banks may be swapped.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
}

class RealBanks : public ::testing::TestWithParam<int> {};

// Every flag word made of the five flag letters (bit i selects letter i).
std::string flagWord(int mask) {
    const char letters[] = {'3', 'p', 's', 'c', 'l'};
    std::string word;
    for (int i = 0; i < 5; ++i)
        if ((mask & (1 << i)) != 0) word += letters[i];
    return word;  // empty: a flags word without flags (a word starting with '-' would be an option)
}

TEST_P(RealBanks, EveryFlagWordInterpretsCleanly) {
    if (!std::filesystem::exists(kRealSequences) || !std::filesystem::exists(kRealInstruments))
        GTEST_SKIP() << "real GEMS banks not found under " << kCorpus
                     << " (the corpus folder beside the repository is absent)";
    const std::string word = flagWord(GetParam());
    TempDir dir;
    const ProcessResult result = runProcess(SEQCONV_EXE, {kRealSequences, kRealInstruments, dir.path(), word});
    ASSERT_EQ(result.exitCode, 0) << word;

    const std::vector<std::string> names = listDirectory(dir.path());
    ASSERT_EQ(names.size(), 252u) << word;
    for (int song = 0; song < 126; ++song) {
        char mid[16];
        std::snprintf(mid, sizeof mid, "%03d.mid", song);
        EXPECT_EQ(names[2 * static_cast<size_t>(song)], mid);
    }

    // The bank's channel pointers are 2 bytes wide: flag 3 is the wrong width,
    // and the check says so first. With the right width nothing is outside.
    std::string text = result.output;
    if (word.find('3') != std::string::npos) {
        const std::string warning =
            "Warning: 223 of 364 song and channel pointers point outside the sequence bank (try without flag 3)\n";
        ASSERT_EQ(text.rfind(warning, 0), 0u) << word << ": " << text.substr(0, 200);
        text.erase(0, warning.size());
    }
    if (word.find('l') == std::string::npos) {
        EXPECT_EQ(text, "") << word;
        return;
    }
    size_t lines = 0;
    size_t maxTimes = 0;
    std::string shape;
    for (size_t start = 0; start < text.size(); ++lines) {
        const size_t end = text.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "unterminated last line";
        shapeOf(text, start, end, shape);
        ASSERT_TRUE(kTraceShapes.count(shape) != 0)
            << word << ": unexpected line \"" << text.substr(start, end - start) << "\"";
        if (shape == "maxtime = #") ++maxTimes;
        start = end + 1;
    }
    EXPECT_EQ(maxTimes, 126u);
    EXPECT_GT(lines, 10000u);
}

// Flags 3 and s together make this 2-byte-pointer bank read as garbage that
// runs into the interpreter's work bounds on every song: slow in a debug
// build, so only the plainest and the fullest of those words run here.
std::vector<int> flagMasks() {
    std::vector<int> masks;
    for (int mask = 0; mask < 32; ++mask) {
        const bool threeAndS = (mask & 0b101) == 0b101;
        if (!threeAndS || mask == 0b00101 || mask == 0b11111) masks.push_back(mask);
    }
    return masks;
}

INSTANTIATE_TEST_SUITE_P(AllFlagWords, RealBanks, ::testing::ValuesIn(flagMasks()),
                         [](const ::testing::TestParamInfo<int>& param) {
                             std::string name = flagWord(param.param);
                             return name.empty() ? std::string("none") : "f" + name;
                         });

}  // namespace
