// The committed GEMS demo banks are what their generator makes, and the score
// covers what the demo is there to show.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "examples/demo_bank.h"
#include "tests/support/process_runner.h"

namespace {

void expectCommitted(const std::string& name, const std::vector<uint8_t>& generated) {
    const auto committed = readWholeFile(std::string(MDTOOLS_SOURCE_DIR) + "/examples/" + name);
    EXPECT_TRUE(committed.size() == generated.size() && std::equal(committed.begin(), committed.end(), generated.begin()))
        << "examples/" << name << " is stale: rebuild it with the regenerate_demo target";
}

TEST(DemoBank, CommittedFilesMatchTheGenerator) {
    expectCommitted("demo_sequences.bin", buildDemoSequenceBank());
    expectCommitted("demo_instruments.bin", buildDemoInstrumentBank());
}

TEST(DemoBank, ScoreShowsLoopsStartedSongsAndEveryPatchKind) {
    std::set<int> songs;
    std::set<uint8_t> types;
    std::set<int32_t> loopLengths;
    int startedSongs = 0;
    int finiteLoops = 0;
    for (const DemoPart& p : demoBankParts()) {
        songs.insert(p.song);
        types.insert(demoPatchType(p.patch));
        if (p.startsSong >= 0) ++startedSongs;
        for (const DemoSegment& s : p.segments) {
            if (s.repeat == kDemoForever) loopLengths.insert(s.length);
            if (s.repeat > 1) ++finiteLoops;
            for (const DemoEvent& e : s.events) {
                EXPECT_LT(e.time, s.length);
                EXPECT_LE(e.time + e.length, s.length) << "notes do not ring into the next run";
            }
        }
    }
    EXPECT_EQ(songs.size(), static_cast<size_t>(kDemoSongCount));
    EXPECT_EQ(types, (std::set<uint8_t>{kGemsPatchFm, kGemsPatchDac, kGemsPatchPsg, kGemsPatchNoise}));
    EXPECT_GE(loopLengths.size(), 3u);
    EXPECT_EQ(startedSongs, 1);
    EXPECT_GE(finiteLoops, 1);
}

}  // namespace
