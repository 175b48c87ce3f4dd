// tonepick -m levels on real game music, read back by mido beside the same
// log's -m plain file: every note and pitch event at the same tick in both,
// velocities and controller values in range, and the levels really there.
// Skipped when mido or the corpus is absent.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/readers/reader_support.h"
#include "tests/support/process_runner.h"

namespace {

namespace fs = std::filesystem;

const std::string kVgmCorpus = std::string(MDTOOLS_SHARED_DIR) + "/corpus/vgm";
// A Sonic & Knuckles ending with PSG envelopes, and a Super Monaco GP tune
// that pans its FM channels.
const char* const kLogs[] = {"sk_staff_roll.vgm", "smgp_bitterness.vgm"};

}  // namespace

TEST(LevelsReaders, CorpusLogsKeepTheirNotesAndGainLevels) {
    const std::string why = readersMissing();
    if (!why.empty()) GTEST_SKIP() << "skipped: " << why;
    std::vector<std::string> pairs;
    TempDir dir;
    for (const char* name : kLogs) {
        const std::string vgm = kVgmCorpus + "/" + name;
        if (!fs::is_regular_file(vgm)) GTEST_SKIP() << "skipped: corpus log " << vgm << " is absent";
        for (const char* mode : {"plain", "levels"}) {
            const std::string out = dir.file(std::string(name) + "." + mode);
            const ProcessResult run = runProcess(TONEPICK_EXE, {vgm, out, "-m", mode});
            ASSERT_EQ(run.exitCode, 0) << vgm << " -m " << mode;
            pairs.push_back(out + "/vgm.mid");
        }
    }
    std::vector<std::string> args{std::string(MDTOOLS_SOURCE_DIR) + "/tests/tools/midi_levels.py"};
    args.insert(args.end(), pairs.begin(), pairs.end());
    const ProcessResult check = runProcess("/usr/bin/python3", args);
    EXPECT_EQ(check.exitCode, 0) << check.output;

    std::istringstream lines(check.output);
    std::string line;
    int pairsRead = 0;
    while (std::getline(lines, line)) {
        EXPECT_EQ(line.rfind("error", 0), std::string::npos) << line;
        char path[512];
        long noteOns = 0, expression = 0, pan = 0, velocities = 0;
        if (std::sscanf(line.c_str(), "pair\tpath\t%511[^\t]\tnoteons\t%ld\texpression\t%ld\tpan\t%ld\tvelocities\t%ld",
                        path, &noteOns, &expression, &pan, &velocities) != 5)
            continue;
        ++pairsRead;
        SCOPED_TRACE(path);
        // Both tunes play with dynamics and panning: a levels file with all
        // velocities equal or no controllers would have lost them.
        EXPECT_GT(noteOns, 0);
        EXPECT_GT(expression, 0);
        EXPECT_GT(pan, 0);
        EXPECT_GT(velocities, 1);
    }
    EXPECT_EQ(pairsRead, 2);
}
