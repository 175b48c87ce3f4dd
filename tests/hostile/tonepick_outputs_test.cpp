// Output directories that cannot be used, for both programs on the real disk:
// missing (with a missing parent, since one level is created), unwritable,
// and paths longer than the system allows. Also: nothing is ever written
// outside the output directory, even with an extension that climbs out.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "builders/gems_bank_builder.h"
#include "tests/support/process_runner.h"
#include "tests/support/seqconv_test_run.h"
#include "tests/support/tonepick_test_run.h"
#include "builders/vgm_builder.h"

namespace {

namespace fs = std::filesystem;

// A VGM with one patch, one DAC sample written during the walk, one data block.
std::vector<uint8_t> smallVgm() {
    VgmBuilder v;
    v.dataBlock(0x00, {1, 2, 3, 4});
    v.ym(0, 0x2B, 0x80).pcmWrite(1).pcmWrite(1).ym(0, 0x2B, 0x00);
    v.frequency(0, 4, 644).keyOn(0).wait(100).keyOff(0).end();
    return v.bytes();
}

// The programs writing to the disk.
struct DiskTonepick : TonepickTestRunOn<DiskFileSystem> {
    DiskTonepick(const std::string& input, const std::string& dir, const std::vector<std::string>& options = {}) {
        std::vector<std::string> args{input, dir};
        args.insert(args.end(), options.begin(), options.end());
        start(args);
    }
};

struct DiskSeqconv : SeqconvTestRunOn<DiskFileSystem> {
    DiskSeqconv(const std::string& sequences, const std::string& instruments, const std::string& dir) {
        start({sequences, instruments, dir});
    }
};

// Every path below root, relative to it, sorted.
std::vector<std::string> listTree(const std::string& root) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        names.push_back(fs::relative(entry.path(), root).string());
    std::sort(names.begin(), names.end());
    return names;
}

class OutputDirTest : public ::testing::Test {
protected:
    TempDir temp;
    std::string vgm = temp.file("in.vgm");
    std::string seq = temp.file("seq.bin");
    std::string ins = temp.file("ins.bin");

    void SetUp() override {
        const auto bytes = smallVgm();
        writeWholeFile(vgm, std::vector<unsigned char>(bytes.begin(), bytes.end()));
        GemsBankBuilder b;
        b.song().channel().delay(4).note(0x30).eos();
        b.song().channel().delay(4).note(0x31).eos();
        const auto bank = b.bytes();
        writeWholeFile(seq, std::vector<unsigned char>(bank.begin(), bank.end()));
        GemsInstrumentBankBuilder instruments;
        instruments.patch(0, {1, 2});
        const auto patches = instruments.bytes();
        writeWholeFile(ins, std::vector<unsigned char>(patches.begin(), patches.end()));
    }
    std::vector<std::string> inputsOnly() const { return {"in.vgm", "ins.bin", "seq.bin"}; }

    // Both programs into `dir`, which cannot take files: tonepick fails on
    // vgm.mid, seqconv reports song file `songFile`; both end with 2. When
    // `dir` cannot be made, both say so first; an existing directory that
    // refuses files is reported file by file only.
    void expectBothRefused(const std::string& dir, const std::string& songFile, bool cannotBeMade) {
        const std::string dirLine = "Error: Can't create directory \"" + dir + "\"\n";
        DiskTonepick t(vgm, dir);
        EXPECT_EQ(t.exitCode, kExitFailed);
        EXPECT_NE(t.out.text().find("Error: Can't create file \"" + dir + "/vgm.mid\"\n"), std::string::npos);
        EXPECT_EQ(t.out.text().find(dirLine) != std::string::npos, cannotBeMade) << t.out.text();
        DiskSeqconv s(seq, ins, dir);
        EXPECT_EQ(s.exitCode, kSeqconvExitIncomplete);
        EXPECT_NE(s.out.text().find("Error: Can't create file \"" + dir + "/" + songFile + "\"\n"),
                  std::string::npos);
        EXPECT_EQ(s.out.text().rfind(dirLine, 0) == 0, cannotBeMade) << s.out.text();
    }
};

TEST_F(OutputDirTest, MissingDirectoryBelowAMissingParentIsReportedAndNothingIsWritten) {
    const std::string dir = temp.file("missing/out");
    DiskTonepick t(vgm, dir);
    EXPECT_EQ(t.exitCode, kExitFailed);
    // The directory is tried right before the first WAV file, and named once.
    const std::string head = "Version: 150\nPSG Clock: 3579545\nYM2612 Clock: 7670454\n";
    EXPECT_EQ(t.out.text(), head + "Error: Can't create directory \"" + dir + "\"\n" +
                                "Error: Can't create file \"" + dir + "/sample_000.wav\"\n" +
                                "Error: Can't create file \"" + dir + "/vgm.mid\"\n" +
                                "Error: Can't create file \"" + dir + "/patch_00.gems\"\n" +
                                "Error: Can't create file \"" + dir + "/datablock_00(00).bin\"\n");

    DiskSeqconv s(seq, ins, dir);
    EXPECT_EQ(s.exitCode, kSeqconvExitIncomplete);
    EXPECT_EQ(s.out.text(), "Error: Can't create directory \"" + dir + "\"\n" +
                                "Error: Can't create file \"" + dir + "/000.mid\"\n" +
                                "Error: Can't create file \"" + dir + "/001.mid\"\n");
    EXPECT_EQ(listTree(temp.path()), inputsOnly());
}

TEST_F(OutputDirTest, UnwritableDirectoryIsReportedWhereTheSystemEnforcesIt) {
    const std::string dir = temp.file("locked");
    ASSERT_EQ(mkdir(dir.c_str(), 0555), 0);
    chmod(dir.c_str(), 0555);
    // Root writes regardless of permissions: then there is nothing to test.
    const std::string probe = dir + "/probe";
    if (std::FILE* f = std::fopen(probe.c_str(), "wb")) {
        std::fclose(f);
        std::remove(probe.c_str());
        chmod(dir.c_str(), 0755);
        GTEST_SKIP() << "running with privileges that ignore directory permissions (root): "
                        "an unwritable directory cannot be made here";
    }
    expectBothRefused(dir, "001.mid", false);
    EXPECT_TRUE(fs::is_empty(dir));
    chmod(dir.c_str(), 0755);  // so that the temporary folder can be removed
}

TEST_F(OutputDirTest, PathsLongerThanTheSystemAllowsAreReportedInFull) {
    // One name longer than any file system takes, and a path longer than PATH_MAX.
    std::string deep = temp.path();
    while (deep.size() < 5000) deep += "/abcdefghijklmnopqrstuvwxyz";
    for (const std::string& dir : {temp.file(std::string(300, 'n')), deep}) {
        expectBothRefused(dir, "000.mid", true);
    }
    EXPECT_EQ(listTree(temp.path()), inputsOnly());
}

TEST_F(OutputDirTest, AnExtensionThatClimbsOutOfTheDirectoryWritesNothingOutside) {
    const std::string dir = temp.file("out");
    DiskTonepick t(vgm, dir, {"-pext", "x/../../escaped"});
    EXPECT_EQ(t.exitCode, kExitFailed);  // the patch file could not be created
    EXPECT_NE(t.out.text().find("Error: Can't create file \"" + dir + "/patch_00.x/../../escaped\"\n"),
              std::string::npos);
    EXPECT_EQ(listTree(temp.path()), (std::vector<std::string>{"in.vgm", "ins.bin", "out", "out/datablock_00(00).bin",
                                                               "out/sample_000.wav", "out/vgm.mid", "seq.bin"}));
}

}  // namespace
