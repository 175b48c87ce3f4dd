#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/support/midi_dump.h"
#include "common/instrument_formats/instrument_formats.h"
#include "tonepick/run_outputs.h"
#include "tests/support/tonepick_test_run.h"

namespace {

class PatchFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        run.settings.formatIndex = 1;
        run.settings.patchExtension = "tyi";
    }
    std::string output() { return test.text(); }
    void addPatches(int count) {
        for (int i = 0; i < count; ++i) {
            PatchRecord r;
            r.fbAlg = static_cast<uint8_t>(i);
            r.keyMask = 0xF0;
            r.op[2].dtMul = static_cast<uint8_t>(i >> 8);
            capturePatch(run.patches, r);
        }
    }
    static std::string path(const std::string& name) { return joinOutputPath("out", name); }
    static std::vector<uint8_t> image(const PatchRecord& r, int type) {
        std::array<uint8_t, kMaxInstrumentSize> b{};
        writeInstrument(r, type, b.data());
        return std::vector<uint8_t>(b.begin(), b.begin() + instrumentTypeSize(type));
    }

    TonepickTestRun test;  // output directory "out"
    TonepickRun& run = test.run;
    MemoryFileSystem& fs = test.files;
};

TEST_F(PatchFilesTest, OneFilePerPatchInListOrder) {
    addPatches(3);
    writePatchFiles(run);
    EXPECT_EQ(output(), "");
    ASSERT_EQ(fs.creationOrder,
              (std::vector<std::string>{path("patch_00.tyi"), path("patch_01.tyi"), path("patch_02.tyi")}));
    for (size_t i = 0; i < 3; ++i) {
        const auto& bytes = fs.at(fs.creationOrder[i]);
        EXPECT_EQ(bytes.size(), 32u);
        EXPECT_EQ(hexBytes(bytes), hexBytes(image(run.patches.patches[i], 1))) << i;
    }
}

TEST_F(PatchFilesTest, IndexIsPaddedNeverCutAndAnEmptyExtensionGivesNoDot) {
    addPatches(101);
    ASSERT_EQ(run.patches.patches.size(), 101u);
    run.settings.formatIndex = 4;
    run.settings.patchExtension = "";
    writePatchFiles(run);
    ASSERT_EQ(fs.creationOrder.size(), 101u);
    EXPECT_EQ(fs.creationOrder[9], path("patch_09"));
    EXPECT_EQ(fs.creationOrder[99], path("patch_99"));
    EXPECT_EQ(fs.creationOrder[100], path("patch_100"));
    EXPECT_EQ(fs.at(path("patch_100")).size(), 128u);
}

TEST_F(PatchFilesTest, EmptyOutputDirGivesBareNamesAndNoPatchesNoFiles) {
    writePatchFiles(run);
    EXPECT_TRUE(fs.files.empty());
    addPatches(1);
    run.settings.outputDir = "";
    run.settings.formatIndex = 8;
    run.settings.patchExtension = "bin";
    writePatchFiles(run);
    ASSERT_TRUE(fs.has("patch_00.bin"));
    EXPECT_EQ(fs.at("patch_00.bin").size(), 25u);
}

TEST_F(PatchFilesTest, CreateAndWriteFailuresAreReportedAndTheRestWritten) {
    addPatches(4);
    fs.refusedPaths.insert(path("patch_01.tyi"));
    fs.shortWritePaths.insert(path("patch_02.tyi"));
    writePatchFiles(run);
    EXPECT_EQ(output(), "Error: Can't create file \"" + path("patch_01.tyi") + "\"\n" +
                            "Error: Can't write file \"" + path("patch_02.tyi") + "\"\n");
    EXPECT_FALSE(fs.has(path("patch_01.tyi")));
    EXPECT_EQ(fs.at(path("patch_00.tyi")).size(), 32u);
    EXPECT_EQ(fs.at(path("patch_03.tyi")).size(), 32u);
}

TEST_F(PatchFilesTest, MissingDirectoryFailsEveryFile) {
    addPatches(2);
    fs.requireDirectories = true;
    writePatchFiles(run);
    EXPECT_TRUE(fs.files.empty());
    EXPECT_EQ(output(), "Error: Can't create file \"" + path("patch_00.tyi") + "\"\n" +
                            "Error: Can't create file \"" + path("patch_01.tyi") + "\"\n");
}

}  // namespace
