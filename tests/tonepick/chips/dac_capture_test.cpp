#include "tonepick/chips/dac_capture.h"

#include <gtest/gtest.h>

#include <string>

#include "common/byte_order.h"
#include "common/output_files.h"
#include "tests/support/midi_dump.h"
#include "tests/support/tonepick_test_run.h"
#include "tonepick/run_chips.h"
#include "tonepick/run_outputs.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct DacFixture : ::testing::Test {
    TonepickTestRun test;  // output directory "out"
    TonepickRun& run = test.run;
    MemoryFileSystem& fs = test.files;

    DacFixture() { fs.requireDirectories = true; }
    std::string output() { return test.text(); }
    static std::string path(const char* name) { return joinOutputPath("out", name); }

    void at(uint32_t time) { run.stream.sampleTime = time; }
    // Switches and bytes as the YM2612 model hands them on, to the run's wiring.
    void enable(uint8_t value) { RunChips{run}.dacEnable(value); }
    void on() { enable(0x80); }
    void off() { enable(0x00); }
    void data(uint8_t v) { RunChips{run}.dacData(v, run.stream.sampleTime); }
    // What the driver does after the walk.
    void flushOpenDacCapture(TonepickRun&) {
        if (dacCaptureHasOpenSample(run.dac)) writeDacSample(run);
    }
};

Bytes headerOf(const Bytes& f) { return Bytes(f.begin(), f.begin() + (f.size() < 44 ? static_cast<long>(f.size()) : 44)); }
uint32_t rateOf(const Bytes& f) { return f.size() >= 44 ? readLe32(&f[24]) : 0; }

}  // namespace

TEST_F(DacFixture, HundredBytesOneTickApart) {
    at(500);
    on();
    Bytes expected;
    for (int i = 0; i < 100; ++i) {
        at(500 + static_cast<uint32_t>(i));
        data(static_cast<uint8_t>(i * 3 + 1));
        expected.push_back(static_cast<uint8_t>(i * 3 + 1));
    }
    at(700);
    off();
    ASSERT_TRUE(fs.has(path("sample_000.wav")));
    const Bytes& f = fs.at(path("sample_000.wav"));
    ASSERT_EQ(f.size(), 144u);
    // RIFF size 136, fmt chunk of 16: PCM, mono, rate and byte rate 44545,
    // block alignment 1, 8 bits; data size 100.
    EXPECT_EQ(hexBytes(headerOf(f)),
              "52 49 46 46 88 00 00 00 57 41 56 45 66 6D 74 20 10 00 00 00 01 00 01 00 "
              "01 AE 00 00 01 AE 00 00 01 00 08 00 64 61 74 61 64 00 00 00");
    EXPECT_EQ(Bytes(f.begin() + 44, f.end()), expected);
    EXPECT_EQ(output(), "");
}

TEST_F(DacFixture, SampleRates) {
    EXPECT_EQ(dacSampleRate(100, 0, 200), 22050u);
    EXPECT_EQ(dacSampleRate(100, 7, 106), 44545u);
    EXPECT_EQ(dacSampleRate(0, 0xFFFFFFFF, 0), 44100u);  // an empty stretch: a rate readers accept
    EXPECT_EQ(dacSampleRate(1, 9, 9), 44100u);     // one byte
    EXPECT_EQ(dacSampleRate(5, 9, 9), 44100u);     // bytes without a wait between them
    EXPECT_EQ(dacSampleRate(3, 0, 0x80000000), 44100u);  // span negative as signed 32 bits
    // The clock wrapped between the first and last byte: still a short span.
    EXPECT_EQ(dacSampleRate(10, 0xFFFFFFFB, 4), 49000u);
    EXPECT_EQ(dacSampleRate(200000, 0, 1), 4294967295u);
    EXPECT_EQ(dacSampleRate(97391, 0, 1), 4294943100u);
}

TEST_F(DacFixture, SwitchOnThenOffWritesAnEmptySample) {
    on();
    off();
    // An empty sample at 44100 Hz: a rate of 0 is no valid WAV file.
    const Bytes& f = fs.at(path("sample_000.wav"));
    EXPECT_EQ(hexBytes(f),
              "52 49 46 46 24 00 00 00 57 41 56 45 66 6D 74 20 10 00 00 00 01 00 01 00 "
              "44 AC 00 00 44 AC 00 00 01 00 08 00 64 61 74 61 00 00 00 00");
}

TEST_F(DacFixture, OnlyBit7SwitchesAndRepeatsDoNotEmpty) {
    data(0x11);  // before the first switch-on: dropped
    on();
    data(0x22);
    enable(0xC0);  // still on: keeps 0x22
    enable(0x80);
    data(0x33);
    enable(0x7F);  // off
    EXPECT_FALSE(run.dac.enabled);
    data(0x44);  // while off: dropped at the next switch-on
    enable(0x01);  // still off: nothing
    enable(0xFF);  // on again
    data(0x55);
    off();
    ASSERT_EQ(fs.files.size(), 2u);
    const Bytes& a = fs.at(path("sample_000.wav"));
    const Bytes& b = fs.at(path("sample_001.wav"));
    EXPECT_EQ(Bytes(a.begin() + 44, a.end()), (Bytes{0x22, 0x33}));
    EXPECT_EQ(Bytes(b.begin() + 44, b.end()), (Bytes{0x55}));
    EXPECT_EQ(rateOf(b), 44100u);
}

TEST_F(DacFixture, NumbersFollowSwitchOffsAndGoPastThreeDigits) {
    for (int i = 0; i < 3; ++i) {
        on();
        data(static_cast<uint8_t>(i));
        off();
    }
    EXPECT_EQ(fs.creationOrder,
              (std::vector<std::string>{path("sample_000.wav"), path("sample_001.wav"), path("sample_002.wav")}));
    run.dac.sampleNumber = 1000;
    on();
    off();
    EXPECT_TRUE(fs.has(path("sample_1000.wav")));
    EXPECT_EQ(run.dac.sampleNumber, 1001);
}

TEST_F(DacFixture, FirstSampleCreatesTheOutputDirectoryOnce) {
    EXPECT_TRUE(fs.createdDirectories.empty());
    on();
    data(1);
    EXPECT_TRUE(fs.createdDirectories.empty());  // nothing written yet
    off();
    on();
    off();
    EXPECT_EQ(fs.createdDirectories, std::vector<std::string>{"out"});
    EXPECT_TRUE(fs.has(path("sample_000.wav")));
    EXPECT_TRUE(fs.has(path("sample_001.wav")));
    EXPECT_EQ(output(), "");
}

TEST_F(DacFixture, CurrentDirectoryIsNotCreated) {
    run.settings.outputDir = "";
    on();
    off();
    EXPECT_TRUE(fs.createdDirectories.empty());
    EXPECT_TRUE(fs.has("sample_000.wav"));
}

TEST_F(DacFixture, RefusedFileUsesUpItsNumber) {
    fs.refusedPaths.insert(path("sample_000.wav"));
    on();
    data(5);
    off();
    EXPECT_FALSE(run.dac.enabled);
    EXPECT_EQ(output(), "Error: Can't create file \"" + path("sample_000.wav") + "\"\n");
    on();
    off();
    EXPECT_TRUE(fs.has(path("sample_001.wav")));
    EXPECT_FALSE(fs.has(path("sample_000.wav")));
}

TEST_F(DacFixture, ShortWriteIsReportedAndTheRunGoesOn) {
    fs.shortWritePaths.insert(path("sample_000.wav"));
    on();
    data(5);
    off();
    EXPECT_EQ(output(), "Error: Can't write file \"" + path("sample_000.wav") + "\"\n");
    on();
    off();
    EXPECT_TRUE(fs.has(path("sample_001.wav")));
}

TEST_F(DacFixture, OpenCaptureIsFlushedAsTheLastSample) {
    on();
    off();  // sample_000
    at(1000);
    on();
    for (uint32_t t = 0; t < 4; ++t) {
        at(1000 + 2 * t);
        data(static_cast<uint8_t>(0x80 + t));
    }
    flushOpenDacCapture(run);
    const Bytes& f = fs.at(path("sample_001.wav"));
    ASSERT_EQ(f.size(), 48u);
    EXPECT_EQ(rateOf(f), 29400u);  // 4 * 44100 / 6
    EXPECT_EQ(Bytes(f.begin() + 44, f.end()), (Bytes{0x80, 0x81, 0x82, 0x83}));
    EXPECT_FALSE(run.dac.enabled);
    flushOpenDacCapture(run);  // nothing left open
    EXPECT_EQ(fs.files.size(), 2u);
}

TEST_F(DacFixture, DirectoryMadeAfterTheWalkIsNotMadeAgain) {
    makeOutputDir(run);  // the driver, after the walk
    on();
    data(9);
    flushOpenDacCapture(run);
    EXPECT_TRUE(fs.has(path("sample_000.wav")));
    EXPECT_EQ(fs.createdDirectories, std::vector<std::string>{"out"});
}

TEST_F(DacFixture, DirectoryThatCannotBeMadeIsNamedOnceBeforeTheFirstSample) {
    fs.refusedDirectories.insert("out");
    for (int i = 0; i < 2; ++i) {
        on();
        data(1);
        off();
    }
    EXPECT_EQ(output(), "Error: Can't create directory \"out\"\n"
                        "Error: Can't create file \"" + path("sample_000.wav") + "\"\n"
                        "Error: Can't create file \"" + path("sample_001.wav") + "\"\n");
    EXPECT_EQ(fs.createdDirectories, std::vector<std::string>{"out"});
    EXPECT_TRUE(fs.files.empty());
    EXPECT_TRUE(run.outputFailed);
}

TEST_F(DacFixture, FlushWritesNothingForAnEmptyOrClosedCapture) {
    flushOpenDacCapture(run);  // never switched on
    data(1);                   // bytes while off do not count
    flushOpenDacCapture(run);
    on();
    flushOpenDacCapture(run);  // on, but no byte
    EXPECT_TRUE(fs.files.empty());
    EXPECT_TRUE(fs.createdDirectories.empty());
    EXPECT_EQ(run.dac.sampleNumber, 0);
}
