// The committed demo input is what its generator makes, and tonepick reads it
// to the end without complaint.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "examples/demo_tune.h"
#include "tests/support/process_runner.h"
#include "tests/support/tonepick_test_run.h"

namespace {

TEST(TonepickDemo, CommittedFileMatchesTheGenerator) {
    const auto committed = readWholeFile(std::string(MDTOOLS_SOURCE_DIR) + "/examples/demo.vgm");
    const auto generated = buildDemoVgm();
    ASSERT_EQ(committed.size(), generated.size())
        << "examples/demo.vgm is stale: rebuild it with the regenerate_demo target";
    EXPECT_TRUE(std::equal(committed.begin(), committed.end(), generated.begin()))
        << "examples/demo.vgm is stale: rebuild it with the regenerate_demo target";
}

TEST(TonepickDemo, ConvertsCleanly) {
    const auto vgm = buildDemoVgm();
    TonepickTestRun demo;
    const TonepickRun& run = demo.run;
    const MemoryFileSystem& files = demo.files;
    demo.run.settings.outputDir = "demo";
    EXPECT_EQ(demo.convert(vgm), kExitOk);
    const std::string text = demo.text();
    EXPECT_EQ(text.find("Error"), std::string::npos) << text;
    EXPECT_EQ(text.find("Unhandled"), std::string::npos) << text;
    EXPECT_EQ(run.stream.sampleTime, 34u * 11025u);  // 32 eighths and two to let the notes ring out
    // Kick and snare share one PCM block; every hit seeks and streams one of them.
    ASSERT_EQ(run.reader.blocks.size(), 1u);
    EXPECT_EQ(run.stream.pcmOffset, 2000u);  // the last hit is a snare, ending at the block's end
    EXPECT_TRUE(files.has("demo/vgm.mid"));
    EXPECT_EQ(files.at("demo/datablock_00(00).bin"), run.reader.blocks[0].bytes);
}

}  // namespace
