// seqconv's two files per song meeting every failure a disk can show,
// through the in-memory file system: the message, the files left behind and
// the exit status. The other songs always go on.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builders/gems_bank_builder.h"
#include "tests/support/process_runner.h"
#include "tests/support/seqconv_test_run.h"

namespace {

enum class Failure { kNone, kRefusedCreate, kShortWrite, kFailedSeek, kFailedClose };

constexpr size_t kShortWriteBytes = 10;  // less than either file of a song holds

// Three songs converted into "out" with flag l, `path` failing as `failure` says.
struct SongsRun : SeqconvTestRun {
    TempDir dir;

    SongsRun(const std::string& path, Failure failure) {
        switch (failure) {
            case Failure::kNone: break;
            case Failure::kRefusedCreate: files.refusedPaths.insert(path); break;
            case Failure::kShortWrite: files.writeLimits[path] = kShortWriteBytes; break;
            case Failure::kFailedSeek: files.failedSeekPaths.insert(path); break;
            case Failure::kFailedClose: files.failedClosePaths.insert(path); break;
        }
        GemsBankBuilder bank;
        for (int s = 0; s < 3; ++s) bank.song().channel().patch(s).delay(4).duration(2).note(0x30 + s).eos();
        GemsInstrumentBankBuilder instruments;
        for (int p = 0; p < 3; ++p) instruments.patch(0, {1, 2, 3, 4, 5});
        writeWholeFile(dir.file("seq.bin"), bank.bytes());
        writeWholeFile(dir.file("ins.bin"), instruments.bytes());
        start({dir.file("seq.bin"), dir.file("ins.bin"), "out", "l"});
    }
};

size_t occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Song 1's files fail; songs 0 and 2 must come out as in a clean run.
void expectOtherSongsWhole(const SongsRun& r) {
    static const SongsRun clean("none", Failure::kNone);
    ASSERT_EQ(clean.exitCode, kSeqconvExitOk);
    for (const char* name : {"out/000.mid", "out/000.txt", "out/002.mid", "out/002.txt"}) {
        ASSERT_TRUE(r.files.has(name)) << name;
        EXPECT_EQ(r.files.at(name), clean.files.at(name)) << name;
    }
}

class SeqconvOutputFailure : public ::testing::TestWithParam<std::string> {};

TEST_P(SeqconvOutputFailure, RefusedCreateSkipsTheSongAndLeavesNoHalf) {
    const std::string& path = GetParam();
    SongsRun r(path, Failure::kRefusedCreate);
    const std::string text = r.out.text();
    EXPECT_EQ(occurrences(text, "Error: Can't create file \"" + path + "\"\n"), 1u);
    EXPECT_EQ(occurrences(text, "Error: Can't"), 1u);
    // A MIDI file without its text file is removed; a refused MIDI file stops the song before its text file.
    EXPECT_FALSE(r.files.has("out/001.mid"));
    EXPECT_FALSE(r.files.has("out/001.txt"));
    EXPECT_EQ(r.exitCode, kSeqconvExitIncomplete);
    expectOtherSongsWhole(r);
}

TEST_P(SeqconvOutputFailure, ShortWriteIsReportedOnceAndTheFileKept) {
    const std::string& path = GetParam();
    SongsRun r(path, Failure::kShortWrite);
    const std::string text = r.out.text();
    EXPECT_EQ(occurrences(text, "Error: Can't write file \"" + path + "\"\n"), 1u) << text;
    EXPECT_EQ(occurrences(text, "Error: Can't"), 1u);
    ASSERT_TRUE(r.files.has(path));
    EXPECT_EQ(r.files.at(path).size(), kShortWriteBytes);
    EXPECT_EQ(r.exitCode, kSeqconvExitIncomplete);
    EXPECT_TRUE(r.files.openPaths.empty());
    expectOtherSongsWhole(r);
}

TEST_P(SeqconvOutputFailure, FailedSeekCountsOnlyForTheMidiFile) {
    const std::string& path = GetParam();
    SongsRun r(path, Failure::kFailedSeek);
    // The MIDI file's track count is patched after its tracks; the text file never seeks.
    const bool seeks = path == "out/001.mid";
    EXPECT_EQ(occurrences(r.out.text(), "Error: Can't write file \"" + path + "\"\n"), seeks ? 1u : 0u);
    EXPECT_EQ(r.exitCode, seeks ? kSeqconvExitIncomplete : kSeqconvExitOk);
    expectOtherSongsWhole(r);
}

TEST_P(SeqconvOutputFailure, FailedCloseIsReportedOnce) {
    const std::string& path = GetParam();
    SongsRun r(path, Failure::kFailedClose);
    static const SongsRun clean("none", Failure::kNone);
    EXPECT_EQ(occurrences(r.out.text(), "Error: Can't write file \"" + path + "\"\n"), 1u);
    EXPECT_EQ(occurrences(r.out.text(), "Error: Can't"), 1u);
    EXPECT_EQ(r.files.at(path), clean.files.at(path));
    EXPECT_EQ(r.exitCode, kSeqconvExitIncomplete);
    expectOtherSongsWhole(r);
}

INSTANTIATE_TEST_SUITE_P(BothFilesOfASong, SeqconvOutputFailure,
                         ::testing::Values(std::string("out/001.mid"), std::string("out/001.txt")));

}  // namespace
