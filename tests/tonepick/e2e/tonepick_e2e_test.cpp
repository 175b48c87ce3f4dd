// The built tonepick program on disk: standard output, exit codes and files.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/process_runner.h"
#include "builders/vgm_builder.h"
#include "tests/tonepick/e2e/usage_text.h"

namespace fs = std::filesystem;

namespace {

ProcessResult tonepick(const std::vector<std::string>& args, const std::string& cwd = "") {
    return runProcess(TONEPICK_EXE, args, cwd);
}

std::vector<unsigned char> asFile(const std::vector<uint8_t>& v) { return {v.begin(), v.end()}; }

TEST(TonepickProgram, UsageAskedForIsStatus0) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"-h"}, {"--help"}}) {
        const auto r = tonepick(args);
        EXPECT_EQ(r.exitCode, 0);
        ASSERT_EQ(r.output.compare(0, std::strlen(kExpectedUsage), kExpectedUsage), 0) << r.output;
        const std::string contact = r.output.substr(std::strlen(kExpectedUsage));
        EXPECT_FALSE(contact.empty());
        EXPECT_EQ(contact.find('\n'), contact.size() - 1);
    }
}

// Every command-line mistake and every input that cannot be opened ends with 1
// before anything is read or created.
TEST(TonepickProgram, RunsThatCannotStartEndWith1) {
    TempDir t;
    ASSERT_TRUE(writeWholeFile(t.file("song.vgm"), asFile(VgmBuilder().end().bytes())));
    const std::string song = t.file("song.vgm");
    const std::string out = t.file("out");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases{
        {{song}, ""},
        {{song, out, "-p", "foo"}, "Error: unknown instrument type \"foo\"\n\n"},
        {{song, out, "-q"}, "Error: unknown command line option \"-q\"\n\n"},
        {{song, out, "-j", "300"}, "Error: unknown thread count \"300\"\n\n"},
        {{song, out, "-p"}, "Error: instrument type expected in command line\n\n"},
        {{song, out, "-pext"}, "Error: extension expected in command line\n\n"},
        {{t.file("none.vgm"), out}, "Error: Can't open file \"" + t.file("none.vgm") + "\"\n\n"},
        {{t.file("song.vgm/"), out}, "Error: Can't open file \"" + t.file("song.vgm/") + "\"\n\n"},
    };
    for (const Case& c : cases) {
        const auto r = tonepick(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_EQ(r.output.rfind(c.message + kExpectedUsage, 0), 0u) << r.output;
    }
    EXPECT_FALSE(fs::exists(out));
}

TEST(TonepickProgram, ExtensionWithALeadingDot) {
    TempDir t;
    VgmBuilder b;
    b.keyOn(0).wait(10).keyOff(0).end();
    ASSERT_TRUE(writeWholeFile(t.file("song.vgm"), asFile(b.bytes())));
    const auto r = tonepick({t.file("song.vgm"), t.file("out"), "-p", "tfi", "-pext", ".tfi"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(fs::is_regular_file(t.file("out/patch_00.tfi")));
    EXPECT_FALSE(fs::exists(t.file("out/patch_00..tfi")));
}

// One level is made, right before the first WAV file; when the path is not a
// directory after that, one line names it, then each file as before.
TEST(TonepickProgram, OutputDirectoryThatCannotBeMadeIsNamedOnce) {
    TempDir t;
    VgmBuilder b;
    b.ym(0, 0x2B, 0x80).ym(0, 0x2A, 1).wait(2).ym(0, 0x2B, 0x00).ym(0, 0x2B, 0x80).ym(0, 0x2A, 2).wait(2);
    b.ym(0, 0x2B, 0x00).end();
    ASSERT_TRUE(writeWholeFile(t.file("song.vgm"), asFile(b.bytes())));
    ASSERT_TRUE(writeWholeFile(t.file("plain"), {1}));
    fs::create_symlink(t.file("nowhere"), t.file("dangling"));
    const std::string head = "Version: 150\nPSG Clock: 3579545\nYM2612 Clock: 7670454\n";
    for (const std::string& dir : {t.file("out/a/b"), t.file("plain"), t.file("dangling")}) {
        const auto r = tonepick({t.file("song.vgm"), dir});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.output, head + "Error: Can't create directory \"" + dir + "\"\n" +
                                "Error: Can't create file \"" + dir + "/sample_000.wav\"\n" +
                                "Error: Can't create file \"" + dir + "/sample_001.wav\"\n" +
                                "Error: Can't create file \"" + dir + "/vgm.mid\"\n");
    }
    EXPECT_FALSE(fs::exists(t.file("out")));

    // A link to a directory is followed.
    fs::create_directory(t.file("real"));
    fs::create_symlink(t.file("real"), t.file("link"));
    const auto r = tonepick({t.file("song.vgm"), t.file("link")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, head);
    EXPECT_TRUE(fs::is_regular_file(t.file("real/sample_001.wav")));
}

TEST(TonepickProgram, WritesDataBlocksIntoANewDirectory) {
    TempDir t;
    VgmBuilder b(0x160);
    std::vector<uint8_t> pcm(3000);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(i);
    b.dataBlock(0x00, pcm).dataBlock(0x00, {}).dataBlock(0x81, {0xDE, 0xAD}).raw({0x90, 0, 2, 0, 0x2A}).raw({0x90, 1, 0, 0, 0x2A}).end();
    ASSERT_TRUE(writeWholeFile(t.file("song.vgm"), asFile(b.bytes())));

    // The first stream is aimed at the YM2612 DAC (played), the second at another chip.
    const auto r = tonepick({t.file("song.vgm"), t.file("out")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "Version: 160\nPSG Clock: 3579545\nYM2612 Clock: 7670454\nUnhandled: 90\n");
    EXPECT_TRUE(fs::is_regular_file(t.file("out/vgm.mid")));
    EXPECT_EQ(readWholeFile(t.file("out/datablock_00(00).bin")), asFile(pcm));
    EXPECT_TRUE(fs::is_regular_file(t.file("out/datablock_01(00).bin")));
    EXPECT_EQ(fs::file_size(t.file("out/datablock_01(00).bin")), 0u);
    EXPECT_EQ(readWholeFile(t.file("out/datablock_02(81).bin")), (std::vector<unsigned char>{0xDE, 0xAD}));
}

TEST(TonepickProgram, EmptyOutputDirWritesIntoTheWorkingDirectory) {
    TempDir t;
    ASSERT_TRUE(writeWholeFile(t.file("song.vgm"), asFile(VgmBuilder().dataBlock(0x02, {5}).end().bytes())));
    const auto r = tonepick({"song.vgm", ""}, t.path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(fs::is_regular_file(t.file("vgm.mid")));
    EXPECT_EQ(readWholeFile(t.file("datablock_00(02).bin")), std::vector<unsigned char>{5});
}

TEST(TonepickProgram, OutputDirWithTrailingSeparator) {
    TempDir t;
    ASSERT_TRUE(writeWholeFile(t.file("song.vgm"), asFile(VgmBuilder().dataBlock(0x02, {5}).end().bytes())));
    const auto r = tonepick({"song.vgm", "out/"}, t.path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(fs::is_regular_file(t.file("out/vgm.mid")));
    EXPECT_TRUE(fs::is_regular_file(t.file("out/datablock_00(02).bin")));
}

TEST(TonepickProgram, TruncatedFileExitsWith2AndKeepsWhatItHolds) {
    TempDir t;
    auto bytes = VgmBuilder().dataBlock(0x00, {1, 2, 3}).bytes();
    bytes.resize(bytes.size() - 1);
    ASSERT_TRUE(writeWholeFile(t.file("song.vgm"), asFile(bytes)));
    const auto r = tonepick({t.file("song.vgm"), t.file("out")});
    EXPECT_EQ(r.exitCode, 2);
    // The block cut short is written as far as it got, and named as not written whole.
    EXPECT_EQ(r.output, "Version: 150\nPSG Clock: 3579545\nYM2612 Clock: 7670454\nError: unexpected end of vgm\n"
                        "Error: Can't write file \"" + t.file("out/datablock_00(00).bin") + "\"\n");
    EXPECT_TRUE(fs::is_regular_file(t.file("out/vgm.mid")));
    EXPECT_EQ(readWholeFile(t.file("out/datablock_00(00).bin")), (std::vector<unsigned char>{1, 2}));
}

TEST(TonepickProgram, FileThatIsNoLogExitsWith1AndCreatesNothing) {
    TempDir t;
    ASSERT_TRUE(writeWholeFile(t.file("README.md"), asFile({'#', ' ', 'x', '\n'})));
    const auto r = tonepick({t.file("README.md"), t.file("out")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, "Error: something with header :)\nError: \"" + t.file("README.md") + "\" is not a VGM file\n");
    EXPECT_FALSE(fs::exists(t.file("out")));
}

TEST(TonepickProgram, EarlierRunFilesThroughLinksAreCountedButNeverDeleted) {
    TempDir t;
    ASSERT_TRUE(writeWholeFile(t.file("song.vgm"), asFile(VgmBuilder().end().bytes())));
    fs::create_directories(t.file("out/sample_000.wav"));  // a directory: not a regular file
    ASSERT_TRUE(writeWholeFile(t.file("elsewhere"), {1}));
    fs::create_symlink(t.file("elsewhere"), t.file("out/sample_001.wav"));
    ASSERT_TRUE(writeWholeFile(t.file("out/patch_00.gems"), {1}));
    const auto r = tonepick({t.file("song.vgm"), t.file("out")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("Warning: 2 files of an earlier run remain in \"" + t.file("out") + "\" (e.g. patch_00.gems)\n"),
              std::string::npos)
        << r.output;
    EXPECT_TRUE(fs::exists(t.file("out/sample_001.wav")));
}

TEST(TonepickProgram, MidiFileThatCannotBeCreatedExitsWith2) {
    TempDir t;
    ASSERT_TRUE(writeWholeFile(t.file("song.vgm"), asFile(VgmBuilder().dataBlock(0x00, {1}).end().bytes())));
    ASSERT_TRUE(writeWholeFile(t.file("plain"), {1}));
    // A regular file where the directory should be: neither it nor vgm.mid can be created.
    const std::string dir = t.file("plain/sub");
    const auto r = tonepick({t.file("song.vgm"), dir});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.output, "Version: 150\nPSG Clock: 3579545\nYM2612 Clock: 7670454\nError: Can't create directory \"" +
                            dir + "\"\nError: Can't create file \"" + dir + "/vgm.mid\"\nError: Can't create file \"" +
                            dir + "/datablock_00(00).bin\"\n");
}

// Small files only fill the C library's buffer, so a full disk shows when they
// are flushed. /dev/full takes the buffered bytes and then refuses them.
TEST(TonepickProgram, FilesThatNeverReachTheDiskAreReported) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    TempDir t;
    VgmBuilder b;
    b.dataBlock(0x00, {0x10, 0x20}).ym(0, 0x2B, 0x80).pcmWrite(1).pcmWrite(1).ym(0, 0x2B, 0x00);
    b.keyOn(0).wait(10).keyOff(0).ym(0, 0x31, 0x12).keyOn(1).wait(10).keyOff(1).end();
    ASSERT_TRUE(writeWholeFile(t.file("song.vgm"), asFile(b.bytes())));
    const std::string head = "Version: 150\nPSG Clock: 3579545\nYM2612 Clock: 7670454\n";

    const std::string out = t.file("out");
    fs::create_directory(out);
    for (const char* name : {"sample_000.wav", "patch_00.gems", "datablock_00(00).bin"}) {
        fs::create_symlink("/dev/full", out + "/" + name);
    }
    auto r = tonepick({t.file("song.vgm"), out});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.output, head + "Error: Can't write file \"" + out + "/sample_000.wav\"\n" +
                            "Error: Can't write file \"" + out + "/patch_00.gems\"\n" +
                            "Error: Can't write file \"" + out + "/datablock_00(00).bin\"\n");
    EXPECT_EQ(readWholeFile(out + "/patch_01.gems").size(), 39u);

    // vgm.mid that cannot be written out fails the run; the other files follow it.
    const std::string out2 = t.file("out2");
    fs::create_directory(out2);
    fs::create_symlink("/dev/full", out2 + "/vgm.mid");
    r = tonepick({t.file("song.vgm"), out2});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.output, head + "Error: Can't write file \"" + out2 + "/vgm.mid\"\n");
    EXPECT_EQ(readWholeFile(out2 + "/patch_00.gems").size(), 39u);
}

}  // namespace
