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

TEST(SeqconvProgram, UsageWithoutArguments) {
    const ProcessResult result = runProcess(SEQCONV_EXE, {});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output.rfind("Usage: .exe sequences instruments outdir [flags]\n\n", 0), 0u);
    EXPECT_NE(result.output.find("Last update: 11.05.2013\n"), std::string::npos);
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

TEST(SeqconvProgram, MissingOutputDirectory) {
    TempDir dir;
    GemsBankBuilder bank;
    bank.song().channel().note(1).eos();
    writeWholeFile(dir.file("seq.bin"), bank.bytes());
    writeWholeFile(dir.file("ins.bin"), {});
    const std::string out = dir.file("absent");
    const ProcessResult result = runProcess(SEQCONV_EXE, {dir.file("seq.bin"), dir.file("ins.bin"), out});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.output, "Error: Can't create file \"" + joinOutputPath(out, "000.mid") + "\"\n");
}

class RealBanks : public ::testing::TestWithParam<int> {};

// Every flag word made of the five flag letters (bit i selects letter i).
std::string flagWord(int mask) {
    const char letters[] = {'3', 'p', 's', 'c', 'l'};
    std::string word;
    for (int i = 0; i < 5; ++i)
        if ((mask & (1 << i)) != 0) word += letters[i];
    return word.empty() ? "-" : word;
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

    if (word.find('l') == std::string::npos) {
        EXPECT_EQ(result.output, "") << word;
        return;
    }
    size_t lines = 0;
    size_t maxTimes = 0;
    std::string shape;
    const std::string& text = result.output;
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
                             return name == "-" ? std::string("none") : "f" + name;
                         });

}  // namespace
