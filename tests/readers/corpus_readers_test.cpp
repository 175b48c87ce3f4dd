// The output of both programs for the real game music of the corpus beside
// the repository, read back by mido (strict) and Python's wave module. The
// content of these files is not known note by note, so the checks are the
// invariants every file must meet. Skipped when the corpus is absent.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/readers/reader_support.h"
#include "tests/support/process_runner.h"

namespace {

namespace fs = std::filesystem;

const std::string kVgmCorpus = std::string(MDTOOLS_SHARED_DIR) + "/corpus/vgm";
const std::string kGemsCorpus = std::string(MDTOOLS_SHARED_DIR) + "/corpus/gems";

#define SKIP_WITHOUT(folder)                                                                  \
    do {                                                                                      \
        const std::string why = readersMissing();                                             \
        if (!why.empty()) GTEST_SKIP() << "skipped: " << why;                                 \
        if (!fs::is_directory(folder)) GTEST_SKIP() << "skipped: no corpus at " << (folder);  \
    } while (0)

TEST(CorpusReaders, EveryVgmGivesAValidMidiFileAndValidSamples) {
    SKIP_WITHOUT(kVgmCorpus);
    TempDir dir;
    std::vector<std::string> midis;
    std::vector<std::string> wavs;
    for (const std::string& vgm : filesEndingIn(kVgmCorpus, ".vgm")) {
        const std::string out = dir.file(fs::path(vgm).stem().string());
        const ProcessResult run = runProcess(TONEPICK_EXE, {vgm, out});
        ASSERT_EQ(run.exitCode, 0) << vgm;
        midis.push_back(out + "/vgm.mid");
        for (const std::string& w : filesEndingIn(out, ".wav")) wavs.push_back(w);
    }
    ASSERT_FALSE(midis.empty());

    std::string errors;
    const auto summaries = readMidiFiles(midis, errors);
    EXPECT_EQ(errors, "");
    ASSERT_EQ(summaries.size(), midis.size());
    for (const MidiSummary& m : summaries) {
        SCOPED_TRACE(m.path);
        EXPECT_EQ(m.type, 1);
        EXPECT_EQ(m.division, 22050);
        ASSERT_EQ(m.tracks.size(), 11u);
        EXPECT_EQ(m.tracks[0].tempo, 500000);
        long length = 0;
        for (size_t i = 1; i < m.tracks.size(); ++i) {
            const MidiTrackSummary& t = m.tracks[i];
            // Key-offs are written even for silent channels, and a note may
            // still sound when the log ends: at most one note-on unanswered.
            EXPECT_GE(t.off, t.on - 1) << t.name;
            EXPECT_GE(t.end, 0) << t.name;
            if (t.end > length) length = t.end;
            const int fm = static_cast<int>(i) - 1;
            const int psg = static_cast<int>(i) - 7;
            if (i <= 6) {
                EXPECT_EQ(t.channels, std::vector<int>{fm}) << t.name;
            } else {
                const std::vector<int> silent{6 + psg};
                const std::vector<int> playing{6 + psg, 10 + psg};
                EXPECT_EQ(t.channels, t.on > 0 ? playing : silent) << t.name;
            }
        }
        EXPECT_NEAR(m.seconds, length / 44100.0, 1e-3);
    }

    const auto samples = readWavFiles(wavs, errors);
    EXPECT_EQ(errors, "");
    ASSERT_EQ(samples.size(), wavs.size());
    for (const WavSummary& w : samples) {
        SCOPED_TRACE(w.path);
        EXPECT_EQ(w.channels, 1);
        EXPECT_EQ(w.width, 1);
        // The header's data size agrees with the bytes behind it.
        EXPECT_EQ(static_cast<uintmax_t>(w.frames) + 44, fs::file_size(w.path));
        if (w.frames > 0) {
            EXPECT_GT(w.rate, 0);
        }
    }
}

TEST(CorpusReaders, EveryGemsSongGivesAValidMidiFile) {
    SKIP_WITHOUT(kGemsCorpus);
    TempDir dir;
    const ProcessResult run = runProcess(SEQCONV_EXE, {kGemsCorpus + "/spinball_sequence_bank.bin",
                                                       kGemsCorpus + "/spinball_patch_bank.bin", dir.path(), "cs"});
    ASSERT_EQ(run.exitCode, 0);
    const std::vector<std::string> midis = filesEndingIn(dir.path(), ".mid");
    ASSERT_FALSE(midis.empty());

    std::string errors;
    const auto summaries = readMidiFiles(midis, errors);
    EXPECT_EQ(errors, "");
    ASSERT_EQ(summaries.size(), midis.size());
    int aligned = 0;
    for (const MidiSummary& m : summaries) {
        SCOPED_TRACE(m.path);
        EXPECT_EQ(m.type, 1);
        EXPECT_EQ(m.division, 24);
        ASSERT_GE(m.tracks.size(), 1u);
        // The conductor's last marker lies at the end time, where every track ends.
        const MidiTrackSummary& conductor = m.tracks[0];
        long start = -1;
        long end = -1;
        if (std::sscanf(conductor.markers.c_str(), "loop start@%ld|loop end@%ld", &start, &end) == 2) {
            ++aligned;
            EXPECT_LE(start, end);
        } else {
            ASSERT_EQ(std::sscanf(conductor.markers.c_str(), "end@%ld", &end), 1) << conductor.markers;
        }
        EXPECT_GE(end, 1);
        for (size_t i = 0; i < m.tracks.size(); ++i) {
            const MidiTrackSummary& t = m.tracks[i];
            EXPECT_EQ(t.end, end) << "track " << i;
            if (i == 0) continue;
            EXPECT_EQ(t.name.rfind("Patch ", 0), 0u) << t.name;
            EXPECT_EQ(t.channels, std::vector<int>{static_cast<int>((i - 1) & 0x0F)}) << t.name;
        }
    }
    EXPECT_GT(aligned, 0) << "the game's looping songs align with flag c";
}

}  // namespace
