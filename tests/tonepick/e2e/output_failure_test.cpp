// Every kind of tonepick output file meeting every failure a disk can show,
// through the in-memory file system: the message, the files left behind and
// the exit status.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builders/vgm_builder.h"
#include "tests/support/tonepick_test_run.h"

namespace {

enum class Failure { kRefusedCreate, kShortWrite, kFailedSeek, kFailedClose };

// One patch, one DAC sample written during the walk, one data block.
std::vector<uint8_t> oneOfEach() {
    VgmBuilder v;
    v.dataBlock(0x00, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    v.ym(0, 0x2B, 0x80).pcmWrite(1).pcmWrite(1).ym(0, 0x2B, 0x00);
    v.frequency(0, 4, 644).keyOn(0).wait(100).keyOff(0).end();
    return v.bytes();
}

const std::vector<std::string> kAllFiles = {"out/sample_000.wav", "out/vgm.mid", "out/patch_00.gems",
                                            "out/datablock_00(00).bin"};
constexpr size_t kShortWriteBytes = 10;  // less than any of the files holds

// oneOfEach() converted into "out" as gems, `path` failing as `failure` says.
struct FailedRun : TonepickTestRun {
    FailedRun(const std::string& path, Failure failure) {
        switch (failure) {
            case Failure::kRefusedCreate: files.refusedPaths.insert(path); break;
            case Failure::kShortWrite: files.writeLimits[path] = kShortWriteBytes; break;
            case Failure::kFailedSeek: files.failedSeekPaths.insert(path); break;
            case Failure::kFailedClose: files.failedClosePaths.insert(path); break;
        }
        convert(oneOfEach());
    }
};

size_t occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The reference: the same run with nothing failing.
const MemoryFileSystem& cleanRun() {
    static const FailedRun clean("none", Failure::kRefusedCreate);
    return clean.files;
}

class TonepickOutputFailure : public ::testing::TestWithParam<std::string> {};

TEST_P(TonepickOutputFailure, RefusedCreateIsReportedAndTheRestIsWritten) {
    const std::string& path = GetParam();
    FailedRun r(path, Failure::kRefusedCreate);
    const std::string text = r.out.text();
    EXPECT_EQ(occurrences(text, "Error: Can't create file \"" + path + "\"\n"), 1u) << text;
    EXPECT_EQ(occurrences(text, "Error: Can't write file"), 0u) << text;
    EXPECT_FALSE(r.files.has(path));
    EXPECT_EQ(r.exitCode, kExitFailed);
    for (const std::string& other : kAllFiles) {
        if (other == path) continue;
        // Every file but the refused one is written, vgm.mid or not.
        ASSERT_TRUE(r.files.has(other)) << other;
        EXPECT_EQ(r.files.at(other), cleanRun().at(other)) << other;
    }
}

TEST_P(TonepickOutputFailure, ShortWriteLeavesTheFileAsItGotAndReportsItOnce) {
    const std::string& path = GetParam();
    FailedRun r(path, Failure::kShortWrite);
    const std::string text = r.out.text();
    EXPECT_EQ(occurrences(text, "Error: Can't write file \"" + path + "\"\n"), 1u) << text;
    EXPECT_EQ(occurrences(text, "Error: Can't"), 1u) << text;
    ASSERT_TRUE(r.files.has(path));
    EXPECT_EQ(r.files.at(path).size(), kShortWriteBytes);
    EXPECT_EQ(r.exitCode, kExitFailed);
    EXPECT_TRUE(r.files.openPaths.empty());
}

TEST_P(TonepickOutputFailure, FailedSeekCountsOnlyForAFileThatSeeks) {
    const std::string& path = GetParam();
    FailedRun r(path, Failure::kFailedSeek);
    const std::string text = r.out.text();
    // vgm.mid fills in each track's length after its body; the others are
    // written straight through.
    const bool seeks = path == "out/vgm.mid";
    EXPECT_EQ(occurrences(text, "Error: Can't write file \"" + path + "\"\n"), seeks ? 1u : 0u) << text;
    EXPECT_EQ(r.exitCode, seeks ? kExitFailed : kExitOk);
    EXPECT_TRUE(r.files.has(path));
}

TEST_P(TonepickOutputFailure, FailedCloseIsReportedOnceWithEveryByteWritten) {
    const std::string& path = GetParam();
    FailedRun r(path, Failure::kFailedClose);
    const std::string text = r.out.text();
    EXPECT_EQ(occurrences(text, "Error: Can't write file \"" + path + "\"\n"), 1u) << text;
    EXPECT_EQ(occurrences(text, "Error: Can't"), 1u) << text;
    EXPECT_EQ(r.files.at(path), cleanRun().at(path));
    EXPECT_EQ(r.exitCode, kExitFailed);
}

INSTANTIATE_TEST_SUITE_P(EveryKindOfFile, TonepickOutputFailure, ::testing::ValuesIn(kAllFiles));

TEST(TonepickOutputFailure, CleanRunWritesEverythingAndEndsWithZero) {
    FailedRun r("none", Failure::kRefusedCreate);
    EXPECT_EQ(r.exitCode, kExitOk);
    for (const std::string& path : kAllFiles) EXPECT_TRUE(r.files.has(path)) << path;
    EXPECT_EQ(r.out.text().find("Error"), std::string::npos);
}

}  // namespace
