// The run driver in process: command line, messages and exit codes, and the
// output files written through a MemoryFileSystem.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/support/tonepick_test_run.h"
#include "builders/vgm_builder.h"
#include "tests/tonepick/e2e/usage_text.h"

namespace {

// A run with captured output and in-memory output files.
struct DriverRun : TonepickTestRun {
    TempDir temp;

    // Runs the program; "IN" in `args` stands for a file holding `input`.
    TonepickExit start(std::vector<std::string> args, const std::vector<uint8_t>& input = {}) {
        const std::string inputPath = temp.file("input.vgm");
        writeWholeFile(inputPath, input);
        for (auto& a : args) {
            if (a == "IN") a = inputPath;
        }
        return TonepickTestRun::start(args);
    }

    TonepickExit convert(const std::vector<uint8_t>& input, const std::string& outputDir) {
        run.settings.outputDir = outputDir;
        return TonepickTestRun::convert(input);
    }
};

std::string headerLines(int version, int psg = 3579545, int ym = 7670454) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "Version: %X\nPSG Clock: %d\nYM2612 Clock: %d\n", version, psg, ym);
    return buf;
}

// Usage text plus exactly one contact line ending in a line end.
void expectUsageAfter(const std::string& text, const std::string& before) {
    ASSERT_EQ(text.compare(0, before.size(), before), 0) << text;
    const std::string rest = text.substr(before.size());
    ASSERT_EQ(rest.compare(0, std::strlen(kExpectedUsage), kExpectedUsage), 0) << rest;
    const std::string contact = rest.substr(std::strlen(kExpectedUsage));
    EXPECT_GT(contact.size(), 1u);
    EXPECT_EQ(contact.find('\n'), contact.size() - 1) << contact;
    EXPECT_NE(contact.find("man tonepick"), std::string::npos) << "an installed tool has no README: " << contact;
}

TEST(TonepickCommandLine, UsageAskedForIsStatus0AndOneArgumentIsAnError) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    };
    const std::vector<Case> cases{
        {{}, kExitOk}, {{"-h"}, kExitOk}, {{"--help"}, kExitOk},
        {{"a.vgm", "out", "-pext", "-h"}, kExitOk}, {{"-p", "nope", "a.vgm", "--help"}, kExitOk},
        {{"a.vgm"}, kExitCannotStart}, {{"-p", "tfi", "a.vgm"}, kExitCannotStart}, {{"--", "-h"}, kExitCannotStart},
    };
    for (const auto& c : cases) {
        DriverRun d;
        EXPECT_EQ(d.start(c.args), c.exitCode) << testing::PrintToString(c.args);
        expectUsageAfter(d.text(), "");
        EXPECT_TRUE(d.files.files.empty());
    }
}

TEST(TonepickCommandLine, OptionErrorsPrintMessageAndUsageWithoutOpeningInput) {
    struct Case {
        std::vector<std::string> options;
        std::string message;
    };
    std::vector<Case> cases{
        {{"-x", "1"}, "Error: unknown command line option \"-x\"\n\n"},
        {{"-P", "tfi"}, "Error: unknown command line option \"-P\"\n\n"},
        {{"-p"}, "Error: instrument type expected in command line\n\n"},
        {{"-pext", "ins", "-p"}, "Error: instrument type expected in command line\n\n"},
        {{"-p", "opn"}, "Error: unknown instrument type \"opn\"\n\n"},
        {{"-p", ""}, "Error: unknown instrument type \"\"\n\n"},
        {{"-pext"}, "Error: extension expected in command line\n\n"},
        {{"-p", "tfi", "-pext"}, "Error: extension expected in command line\n\n"},
        {{"-help"}, "Error: unknown command line option \"-help\"\n\n"},
        {{"-H"}, "Error: unknown command line option \"-H\"\n\n"},
        {{"-j", "0"}, "Error: unknown thread count \"0\"\n\n"},
        {{"-j"}, "Error: thread count expected in command line\n\n"},
        {{"-m"}, "Error: MIDI mode expected in command line\n\n"},
        {{"-m", "level"}, "Error: unknown MIDI mode \"level\"\n\n"},
        {{"-m", "levels", "-m", ""}, "Error: unknown MIDI mode \"\"\n\n"},
        {{"-s"}, "Error: sample mode expected in command line\n\n"},
        {{"-s", "kits"}, "Error: unknown sample mode \"kits\"\n\n"},
        {{"-s", "KIT", "-i"}, "Error: instrument file mode expected in command line\n\n"},
        {{"-i", "uniq"}, "Error: unknown instrument file mode \"uniq\"\n\n"},
        {{"-t"}, "Error: transpose expected in command line\n\n"},
        {{"-t", "12", "-t"}, "Error: transpose expected in command line\n\n"},
    };
    // Anything but an optional sign and decimal digits, or beyond 127 either way.
    for (const char* bad : {"", "-", "+", "x", "1.5", " 3", "3 ", "--3", "+-3", "0x10", "128", "-128",
                            "99999999999999999999999", "12st"})
        cases.push_back({{"-t", bad}, "Error: transpose must be a whole number from -127 to 127\n\n"});
    for (const auto& c : cases) {
        DriverRun d;
        std::vector<std::string> args{"/nonexistent/input.vgm", "out"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        EXPECT_EQ(d.start(args), kExitCannotStart);
        expectUsageAfter(d.text(), c.message);
        EXPECT_TRUE(d.files.createdDirectories.empty());
    }
}

TEST(TonepickCommandLine, FormatAndExtensionOptions) {
    const auto vgm = VgmBuilder().keyOn(0).wait(10).keyOff(0).end().bytes();
    struct Case {
        std::vector<std::string> options;
        int format;
        std::string extension;
    };
    const std::vector<Case> cases{
        {{}, 0, "gems"},
        {{"-p", "tfi"}, 2, "tfi"},
        {{"-p", "TFI"}, 2, "tfi"},
        {{"-p", "DMP0"}, 7, "dmp0"},
        {{"-p", "dmp0", "-pext", "ins"}, 7, "ins"},
        {{"-pext", "ins", "-p", "smps"}, 8, "ins"},
        {{"-p", "tfi", "-p", "y12"}, 4, "y12"},
        {{"-pext", "a", "-pext", ""}, 0, ""},
        // One leading dot is dropped: the name already has one before the extension.
        {{"-p", "tfi", "-pext", ".tfi"}, 2, "tfi"},
        {{"-pext", "..x"}, 0, ".x"},
        {{"-pext", "."}, 0, ""},
        {{"-pext", "a.b"}, 0, "a.b"},
    };
    for (const auto& c : cases) {
        DriverRun d;
        std::vector<std::string> args{"IN", "out"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        EXPECT_EQ(d.start(args, vgm), 0);
        EXPECT_EQ(d.run.settings.formatIndex, c.format) << testing::PrintToString(c.options);
        EXPECT_EQ(d.run.settings.patchExtension, c.extension) << testing::PrintToString(c.options);
        EXPECT_EQ(d.run.settings.outputDir, "out");
        // An empty extension names the file without a trailing dot.
        EXPECT_TRUE(d.files.has(c.extension.empty() ? "out/patch_00" : "out/patch_00." + c.extension))
            << testing::PrintToString(c.options);
    }
}

TEST(TonepickCommandLine, SampleAndInstrumentFileModes) {
    const auto vgm = VgmBuilder().end().bytes();
    struct Case {
        std::vector<std::string> options;
        bool kit;
        bool unique;
    };
    const std::vector<Case> cases{
        {{}, false, false},
        {{"-s", "kit"}, true, false},
        {{"-s", "Kit", "-s", "STRETCH"}, false, false},  // the last one wins
        {{"-i", "unique"}, false, true},
        {{"-i", "UNIQUE", "-s", "kit", "-i", "all"}, true, false},
    };
    for (const auto& c : cases) {
        DriverRun d;
        std::vector<std::string> args{"IN", "out"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        EXPECT_EQ(d.start(args, vgm), 0);
        EXPECT_EQ(d.run.settings.sampleKit, c.kit) << testing::PrintToString(c.options);
        EXPECT_EQ(d.run.settings.uniqueInstruments, c.unique) << testing::PrintToString(c.options);
        // kit.txt, kit.sfz and kit.sf2 are written exactly in kit mode, even for a log without samples.
        EXPECT_EQ(d.files.has(joinOutputPath("out", "kit.txt")), c.kit) << testing::PrintToString(c.options);
        EXPECT_EQ(d.files.has(joinOutputPath("out", "kit.sfz")), c.kit) << testing::PrintToString(c.options);
        EXPECT_EQ(d.files.has(joinOutputPath("out", "kit.sf2")), c.kit) << testing::PrintToString(c.options);
    }
}

TEST(TonepickCommandLine, TransposeValues) {
    const auto vgm = VgmBuilder().end().bytes();
    struct Case {
        std::vector<std::string> options;
        int transpose;
    };
    const std::vector<Case> cases{
        {{}, 0},
        {{"-t", "12"}, 12},
        {{"-t", "-12"}, -12},
        {{"-t", "+5"}, 5},
        {{"-t", "007"}, 7},
        {{"-t", "-0"}, 0},
        {{"-t", "127"}, 127},
        {{"-t", "-127"}, -127},
        {{"-t", "3", "-s", "kit", "-t", "-4"}, -4},  // the last one wins
    };
    for (const auto& c : cases) {
        DriverRun d;
        std::vector<std::string> args{"IN", "out"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        EXPECT_EQ(d.start(args, vgm), 0);
        EXPECT_EQ(d.run.settings.transpose, c.transpose) << testing::PrintToString(c.options);
    }
}

TEST(TonepickCommandLine, MissingInputExitsWith1) {
    DriverRun d;
    EXPECT_EQ(d.start({"/nonexistent/dir/song.vgm", "out", "-p", "tfi"}), 1);
    expectUsageAfter(d.text(), "Error: Can't open file \"/nonexistent/dir/song.vgm\"\n\n");
    EXPECT_TRUE(d.files.createdDirectories.empty());
    EXPECT_TRUE(d.files.files.empty());
}

TEST(TonepickRun, CompleteRunPrintsHeaderAndWritesOutputsInOrder) {
    VgmBuilder b(0x161);
    b.psgClock(3546893).ym2612Clock(7600489);
    b.dataBlock(0x03, {1, 2, 3}).dataBlock(0x00, {4}).dataBlock(0x00, {5, 6}).wait(10).end();
    DriverRun d;
    EXPECT_EQ(d.start({"IN", "out"}, b.bytes()), 0);
    EXPECT_EQ(d.text(), headerLines(0x161, 3546893, 7600489));
    EXPECT_EQ(d.files.createdDirectories, std::vector<std::string>{"out"});
    EXPECT_EQ(d.files.creationOrder, (std::vector<std::string>{"out/vgm.mid", "out/datablock_00(03).bin",
                                                               "out/datablock_01(00).bin",
                                                               "out/datablock_02(00).bin"}));
    EXPECT_EQ(d.files.at("out/datablock_00(03).bin"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(d.files.at("out/datablock_01(00).bin"), (std::vector<uint8_t>{4}));
    EXPECT_EQ(d.files.at("out/datablock_02(00).bin"), (std::vector<uint8_t>{5, 6}));
    EXPECT_EQ(d.run.stream.sampleTime, 10u);
}

TEST(TonepickRun, BlockNamesUseTwoDigitsAtLeastAndHexTypes) {
    VgmBuilder b;
    for (int i = 0; i < 101; ++i) b.dataBlock(static_cast<uint8_t>(i == 100 ? 0xAB : 0x00), {static_cast<uint8_t>(i)});
    b.dataBlock(0x7F, {}).end();
    DriverRun d;
    EXPECT_EQ(d.convert(b.bytes(), "o"), 0);
    EXPECT_EQ(d.files.at("o/datablock_100(AB).bin"), std::vector<uint8_t>{100});
    EXPECT_EQ(d.files.at("o/datablock_07(00).bin"), std::vector<uint8_t>{7});
    EXPECT_TRUE(d.files.has("o/datablock_101(7F).bin"));
    EXPECT_TRUE(d.files.at("o/datablock_101(7F).bin").empty());
    EXPECT_EQ(d.text(), headerLines(0x150));  // an empty block is no short write
}

TEST(TonepickRun, EmptyOutputDirMeansBareNamesAndNoDirectory) {
    DriverRun d;
    EXPECT_EQ(d.start({"IN", ""}, VgmBuilder().dataBlock(0x01, {7}).end().bytes()), 0);
    EXPECT_TRUE(d.files.createdDirectories.empty());
    EXPECT_EQ(d.files.creationOrder, (std::vector<std::string>{"vgm.mid", "datablock_00(01).bin"}));
}

TEST(TonepickRun, TrailingSeparatorIsUsedAsGiven) {
    DriverRun d;
    d.files.refusedPaths.insert("out//datablock_00(01).bin");
    EXPECT_EQ(d.start({"IN", "out/"}, VgmBuilder().dataBlock(0x01, {7}).end().bytes()), kExitFailed);
    EXPECT_EQ(d.files.createdDirectories, std::vector<std::string>{"out/"});
    EXPECT_TRUE(d.files.has("out//vgm.mid"));
    EXPECT_EQ(d.text(), headerLines(0x150) + "Error: Can't create file \"out//datablock_00(01).bin\"\n");
}

TEST(TonepickRun, OutputsLandInTheDirectoryCreatedAfterTheWalk) {
    DriverRun d;
    d.files.requireDirectories = true;
    EXPECT_EQ(d.convert(VgmBuilder().dataBlock(0x00, {1}).end().bytes(), "new"), 0);
    EXPECT_TRUE(d.files.has("new/vgm.mid"));
    EXPECT_TRUE(d.files.has("new/datablock_00(00).bin"));
}

TEST(TonepickRun, DirectoryThatCannotBeMadeIsNamedOnceAfterTheWalk) {
    const auto vgm = VgmBuilder().dataBlock(0x00, {1}).end().bytes();
    DriverRun d;
    d.files.requireDirectories = true;
    d.files.refusedDirectories.insert("new");
    EXPECT_EQ(d.start({"IN", "new"}, vgm), kExitFailed);
    EXPECT_EQ(d.text(), headerLines(0x150) + "Error: Can't create directory \"new\"\n" +
                            "Error: Can't create file \"new/vgm.mid\"\n" +
                            "Error: Can't create file \"new/datablock_00(00).bin\"\n");
    EXPECT_EQ(d.files.createdDirectories, std::vector<std::string>{"new"});

    // An existing directory is no error, and the current directory is never created.
    for (const std::string dir : {"old", ""}) {
        DriverRun ok;
        ok.files.requireDirectories = true;
        ok.files.directories.insert("old");
        ok.files.refusedDirectories.insert("old");
        EXPECT_EQ(ok.start({"IN", dir}, vgm), kExitOk);
        EXPECT_EQ(ok.text(), headerLines(0x150));
    }
}

// A directory that cannot be made is itself an output that was not written:
// the status is 2 even where every file could still be created.
TEST(TonepickRun, DirectoryThatCannotBeMadeEndsWith2EvenWhenFilesLand) {
    DriverRun d;
    d.files.refusedDirectories.insert("new");  // files do not need their directory here
    EXPECT_EQ(d.start({"IN", "new"}, VgmBuilder().dataBlock(0x00, {1}).end().bytes()), kExitFailed);
    EXPECT_EQ(d.text(), headerLines(0x150) + "Error: Can't create directory \"new\"\n");
    EXPECT_TRUE(d.files.has("new/vgm.mid"));
    EXPECT_TRUE(d.files.has("new/datablock_00(00).bin"));
}

TEST(TonepickRun, InputThatIsNoLogIsRefusedWithStatus1AndNothingMade) {
    std::vector<uint8_t> riff(56, 0x00);
    std::memcpy(riff.data(), "RIFF", 4);
    riff.insert(riff.end(), {0x62, 0x66});
    const std::string text = "# tonepick\n\nSome text that is not a log, long enough to hold a header.\n";
    const std::vector<std::vector<uint8_t>> inputs{
        riff, {}, {'V', 'g', 'm'}, {'V', 'g', 'm', ' '} /* too short, but a log */, {text.begin(), text.end()}};
    for (size_t i = 0; i < inputs.size(); ++i) {
        DriverRun d;
        const TonepickExit code = d.start({"IN", "out"}, inputs[i]);
        if (i == 3) {
            EXPECT_EQ(code, kExitFailed);
            EXPECT_EQ(d.text(), "Error: something with header :)\n" + headerLines(0) + "Error: unexpected end of vgm\n");
            continue;
        }
        EXPECT_EQ(code, kExitCannotStart) << i;
        EXPECT_EQ(d.text(), "Error: something with header :)\nError: \"" + d.temp.file("input.vgm") +
                                "\" is not a VGM file\n")
            << i;
        EXPECT_TRUE(d.files.createdDirectories.empty()) << i;
        EXPECT_TRUE(d.files.files.empty()) << i;
    }
}

// A log cut short keeps what it holds: the run of the same log with an end
// command at the cut, with the end line and status 2.
TEST(TonepickRun, CutLogWritesWhatTheLogWithAnEndCommandThereWrites) {
    VgmBuilder b;
    b.dataBlock(0x00, {1, 2, 3, 4});
    b.ym(0, 0x30, 0x71).ym(0, 0xA4, 0x22).ym(0, 0xA0, 0x69).ym(0, 0x28, 0xF0).wait(500);
    b.ym(0, 0x2B, 0x80).ym(0, 0x2A, 0x10).wait(20).ym(0, 0x2A, 0x20).wait(100);  // the DAC stays open
    const std::vector<uint8_t> cut = b.bytes();
    std::vector<uint8_t> ended = cut;
    ended.push_back(0x66);
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, {"-s", "kit"}, {"-m", "levels", "-p", "tfi"}}) {
        DriverRun c, e;
        std::vector<std::string> args{"IN", "out"};
        args.insert(args.end(), options.begin(), options.end());
        EXPECT_EQ(c.start(args, cut), kExitFailed);
        EXPECT_EQ(e.start(args, ended), kExitOk);
        EXPECT_EQ(c.text(), e.text() + "Error: unexpected end of vgm\n");
        EXPECT_EQ(c.files.files, e.files.files);
        EXPECT_TRUE(c.files.has("out/vgm.mid"));
        EXPECT_TRUE(c.files.has("out/datablock_00(00).bin"));
    }
    // A file of fewer than 56 bytes that begins like a log is walked as a cut log.
    std::vector<uint8_t> shortFile = VgmBuilder(0x150).bytes();
    shortFile.resize(40);
    DriverRun d;
    EXPECT_EQ(d.start({"IN", "out"}, shortFile), kExitFailed);
    EXPECT_EQ(d.text(), "Error: something with header :)\n" + headerLines(0) + "Error: unexpected end of vgm\n");
    EXPECT_TRUE(d.files.has("out/vgm.mid"));
}

TEST(TonepickRun, InvalidCommandStillWritesOutputs) {
    DriverRun d;
    EXPECT_EQ(d.start({"IN", "out"}, VgmBuilder().dataBlock(0x00, {9}).raw({0x61, 1, 0, 0x96, 0x66}).bytes()), 0);
    EXPECT_EQ(d.text(), headerLines(0x150) + "Error: invalid command\n");
    EXPECT_TRUE(d.files.has("out/vgm.mid"));
    EXPECT_EQ(d.files.at("out/datablock_00(00).bin"), std::vector<uint8_t>{9});
}

TEST(TonepickRun, MidiFileFailuresEndTheRunWithCode2) {
    const auto vgm = VgmBuilder().dataBlock(0x00, {9}).end().bytes();
    DriverRun refused;
    refused.files.refusedPaths.insert("out/vgm.mid");
    EXPECT_EQ(refused.start({"IN", "out"}, vgm), 2);
    EXPECT_EQ(refused.text(), headerLines(0x150) + "Error: Can't create file \"out/vgm.mid\"\n");
    EXPECT_EQ(refused.files.createdDirectories, std::vector<std::string>{"out"});
    // The other outputs do not depend on vgm.mid: they are still written.
    EXPECT_EQ(refused.files.at("out/datablock_00(00).bin"), std::vector<uint8_t>{9});

    DriverRun shortWrite;
    shortWrite.files.shortWritePaths.insert("out/vgm.mid");
    EXPECT_EQ(shortWrite.start({"IN", "out"}, vgm), 2);
    EXPECT_EQ(shortWrite.text(), headerLines(0x150) + "Error: Can't write file \"out/vgm.mid\"\n");
    EXPECT_TRUE(shortWrite.files.has("out/datablock_00(00).bin"));
}

TEST(TonepickRun, FilesOfAnEarlierRunAreCountedInTheLastLine) {
    const auto vgm = VgmBuilder().dataBlock(0x00, {9}).end().bytes();
    struct Case {
        std::vector<std::string> present;  // before the run, in "out"
        std::string warning;
    };
    const std::vector<Case> cases{
        {{"out/vgm.mid", "out/datablock_00(00).bin", "out/notes.txt", "out/sample_x.bin"}, ""},
        {{"out/patch_00.tfi"}, "Warning: 1 file of an earlier run remains in \"out\" (patch_00.tfi)\n"},
        {{"out/sample_003.wav", "out/kit.txt", "out/kit.sfz", "out/kit.sf2", "out/datablock_01(00).bin", "out/patch_07.gems",
          "out/sub/patch_00.gems"},
         "Warning: 6 files of an earlier run remain in \"out\" (e.g. datablock_01(00).bin)\n"},
    };
    for (const Case& c : cases) {
        DriverRun d;
        for (const std::string& path : c.present) d.files.files[path] = {1};
        EXPECT_EQ(d.start({"IN", "out"}, vgm), kExitOk);
        EXPECT_EQ(d.text(), headerLines(0x150) + c.warning);
        for (const std::string& path : c.present) EXPECT_TRUE(d.files.has(path)) << "never deleted: " << path;
    }
    // A file this run tried to write but could not is not from an earlier run;
    // the warning stays the last line, also after a cut log.
    DriverRun d;
    d.files.files["out/datablock_00(00).bin"] = {1};
    d.files.files["out/patch_00.gems"] = {1};
    d.files.refusedPaths.insert("out/datablock_00(00).bin");
    auto cut = vgm;
    cut.pop_back();
    EXPECT_EQ(d.start({"IN", "out"}, cut), kExitFailed);
    EXPECT_EQ(d.text(), headerLines(0x150) + "Error: unexpected end of vgm\n" +
                            "Error: Can't create file \"out/datablock_00(00).bin\"\n" +
                            "Warning: 1 file of an earlier run remains in \"out\" (patch_00.gems)\n");
}

TEST(TonepickRun, DataBlockFailuresGoOnWithTheNextBlock) {
    DriverRun d;
    d.files.refusedPaths.insert("out/datablock_00(00).bin");
    d.files.shortWritePaths.insert("out/datablock_01(01).bin");
    const auto vgm = VgmBuilder().dataBlock(0x00, {1}).dataBlock(0x01, {2}).dataBlock(0x02, {3}).end().bytes();
    EXPECT_EQ(d.start({"IN", "out"}, vgm), kExitFailed);
    EXPECT_EQ(d.text(), headerLines(0x150) + "Error: Can't create file \"out/datablock_00(00).bin\"\n" +
                            "Error: Can't write file \"out/datablock_01(01).bin\"\n");
    EXPECT_EQ(d.files.at("out/datablock_02(02).bin"), std::vector<uint8_t>{3});
}

TEST(TonepickRun, MemoryAndFileRunsAgree) {
    VgmBuilder b(0x101);
    b.ym2612Clock(8000000).dataBlock(0x00, {1, 2, 3}).pcmSeek(1).pcmWrite(3).raw({0x30, 0}).wait(700).end();
    const auto vgm = b.bytes();
    DriverRun fromFile, fromMemory;
    EXPECT_EQ(fromFile.start({"IN", "dir"}, vgm), 0);
    EXPECT_EQ(fromMemory.convert(vgm, "dir"), 0);
    EXPECT_EQ(fromFile.text(), fromMemory.text());
    EXPECT_EQ(fromFile.text().substr(0, headerLines(0x101, 3579545, 8000000).size()),
              headerLines(0x101, 3579545, 8000000));
    EXPECT_EQ(fromFile.files.files, fromMemory.files.files);
    EXPECT_EQ(fromFile.run.stream.sampleTime, fromMemory.run.stream.sampleTime);
    EXPECT_EQ(fromFile.run.stream.pcmOffset, 2u);
}

}  // namespace
