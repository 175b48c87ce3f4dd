// DAC streams in whole conversions: stream bytes reach the DAC capture as
// direct writes of register 0x2A would, at the times of the timing rule, with
// the log's own commands first at every sample time; the end rule, the bound,
// streams aimed elsewhere and logs older than 1.60.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builders/vgm_builder.h"
#include "common/byte_order.h"
#include "common/output_files.h"
#include "tests/support/tonepick_test_run.h"
#include "tonepick/chips/dac_capture.h"

namespace {

// A conversion into "out".
struct Converted : TonepickTestRun {
    explicit Converted(const std::vector<uint8_t>& vgm, uint64_t writeLimit = kMaxDacStreamWrites) {
        run.stream.dacStreams.writeLimit = writeLimit;
        convert(vgm);
    }
    bool hasSample(int n) const { return files.has(path(n)); }
    std::vector<uint8_t> sampleBytes(int n) const {
        const std::vector<uint8_t>& f = files.at(path(n));
        return std::vector<uint8_t>(f.begin() + 44, f.end());
    }
    uint32_t sampleRate(int n) const { return readLe32(files.at(path(n)).data() + 24); }
    static std::string path(int n) {
        std::string name = "sample_00" + std::to_string(n) + ".wav";
        return joinOutputPath("out", name);
    }
};

// Stream commands of VGM 1.60.
void setup(VgmBuilder& b, uint8_t id, uint8_t chip = 0x02, uint8_t port = 0x00, uint8_t reg = 0x2A) {
    b.raw({0x90, id, chip, port, reg});
}
void data(VgmBuilder& b, uint8_t id, uint8_t bank = 0x00, uint8_t step = 1, uint8_t base = 0) {
    b.raw({0x91, id, bank, step, base});
}
void frequency(VgmBuilder& b, uint8_t id, uint32_t hz) {
    b.raw({0x92, id, static_cast<uint8_t>(hz), static_cast<uint8_t>(hz >> 8), static_cast<uint8_t>(hz >> 16),
           static_cast<uint8_t>(hz >> 24)});
}
void start(VgmBuilder& b, uint8_t id, uint32_t position, uint8_t mode, uint32_t length) {
    b.raw({0x93, id, static_cast<uint8_t>(position), static_cast<uint8_t>(position >> 8),
           static_cast<uint8_t>(position >> 16), static_cast<uint8_t>(position >> 24), mode,
           static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length >> 16),
           static_cast<uint8_t>(length >> 24)});
}
void startBlock(VgmBuilder& b, uint8_t id, uint16_t block, uint8_t flags) {
    b.raw({0x95, id, static_cast<uint8_t>(block), static_cast<uint8_t>(block >> 8), flags});
}

// Stream 0 on the YM2612 DAC over the PCM bank at `hz`, and the DAC switched on.
void dacStream0(VgmBuilder& b, uint32_t hz) {
    setup(b, 0);
    data(b, 0);
    frequency(b, 0, hz);
    b.ym(0, 0x2B, 0x80);
}

std::vector<uint8_t> ramp(size_t n, uint8_t first = 0) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
    return v;
}

// Time of write k after a start at `t0` at a constant frequency.
uint32_t writeTime(uint32_t t0, uint32_t hz, uint64_t k) {
    const uint64_t inc = (uint64_t{hz} << 32) / 44100;
    return t0 + static_cast<uint32_t>(((k << 32) + inc - 1) / inc);
}

TEST(DacStreamDispatch, AStreamFillsTheCaptureWithItsBytesAtItsRate) {
    VgmBuilder b(0x160);
    b.dataBlock(0x00, ramp(300)).dataBlock(0x00, ramp(200, 100));
    dacStream0(b, 8000);
    b.wait(10);
    start(b, 0, 250, 0x01, 100);  // across the two blocks of the bank
    b.wait(44100).ym(0, 0x2B, 0x00).end();
    Converted c(b.bytes());
    EXPECT_EQ(c.exitCode, 0);
    EXPECT_EQ(c.out.text().find("Unhandled"), std::string::npos) << c.out.text();
    ASSERT_TRUE(c.hasSample(0));
    const std::vector<uint8_t> first = ramp(300);
    std::vector<uint8_t> expected(first.begin() + 250, first.end());
    const std::vector<uint8_t> second = ramp(50, 100);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(c.sampleBytes(0), expected);
    EXPECT_EQ(c.sampleRate(0), dacSampleRate(100, 10, writeTime(10, 8000, 99)));
    EXPECT_NEAR(c.sampleRate(0), 8000, 80);
}

TEST(DacStreamDispatch, TheLogsOwnCommandsComeFirstAtEveryTime) {
    // A switch-off at the time of a stream write ends the capture before it;
    // a direct DAC byte at a write's time lands before the stream's byte.
    VgmBuilder b(0x160);
    b.dataBlock(0x00, ramp(100, 1));
    setup(b, 0);
    data(b, 0);
    frequency(b, 0, 44100);  // one write per sample
    b.ym(0, 0x2B, 0x80);
    start(b, 0, 0, 0x01, 100);
    b.ym(0, 0x2A, 0xEE);  // same time as the first write
    b.wait(5);
    b.ym(1, 0x2A, 0xDD);  // port 1 reaches the DAC too
    b.wait(5).ym(0, 0x2B, 0x00).wait(100).end();
    Converted c(b.bytes());
    ASSERT_TRUE(c.hasSample(0));
    EXPECT_EQ(c.sampleBytes(0), (std::vector<uint8_t>{0xEE, 1, 2, 3, 4, 5, 0xDD, 6, 7, 8, 9, 10}));
    EXPECT_FALSE(c.hasSample(1));
}

TEST(DacStreamDispatch, StreamsPlayUpToWhereTheWalkEnds) {
    for (const bool invalid : {false, true}) {
        VgmBuilder b(0x160);
        b.dataBlock(0x00, ramp(1000));
        dacStream0(b, 44100);
        start(b, 0, 0, 0x81, 1000);  // looping
        b.wait(30);
        if (invalid) b.raw({0x96});
        b.end();
        Converted c(b.bytes());
        EXPECT_EQ(c.exitCode, 0);
        ASSERT_TRUE(c.hasSample(0)) << invalid;
        EXPECT_EQ(c.sampleBytes(0), ramp(30)) << invalid;  // writes at times 0..29, not at the end's time
    }
    // Cut short: the streams play up to the time reached, as after an invalid command.
    VgmBuilder b(0x160);
    b.dataBlock(0x00, ramp(1000));
    dacStream0(b, 44100);
    start(b, 0, 0, 0x01, 1000);
    b.wait(30);
    Converted c(b.bytes());
    EXPECT_EQ(c.exitCode, 2);
    ASSERT_TRUE(c.hasSample(0));
    EXPECT_EQ(c.sampleBytes(0), ramp(30));
}

TEST(DacStreamDispatch, CommandsOfOtherTargetsAndOldLogsStayUnhandled) {
    VgmBuilder b(0x160);
    b.dataBlock(0x00, ramp(100));
    setup(b, 1, 0x00, 0x00, 0x2A);  // stream aimed at another chip
    data(b, 1);
    frequency(b, 2, 8000);          // never set up
    setup(b, 0);
    data(b, 0);
    b.raw({0x94, 0xFF});            // stop all: nothing printed
    b.end();
    Converted c(b.bytes());
    EXPECT_EQ(c.out.text().substr(c.out.text().find("Unhandled")), "Unhandled: 90\nUnhandled: 91\nUnhandled: 92\n");

    // Before 1.60 the commands have no operands: their bytes are read as commands.
    VgmBuilder old(0x150);
    old.raw({0x90, 0x94}).end();
    Converted o(old.bytes());
    EXPECT_NE(o.out.text().find("Unhandled: 90\nUnhandled: 94\n"), std::string::npos) << o.out.text();
}

TEST(DacStreamDispatch, TheBoundStopsStreamsAndIsReportedOnceWhenTheWalkEnds) {
    VgmBuilder b(0x160);
    b.dataBlock(0x00, {7});
    for (uint8_t id : {0, 1}) {
        setup(b, id);
        data(b, id);
        frequency(b, id, 4000000);
        startBlock(b, id, 0, 0x01);  // a looping one-byte block, ~90 writes per sample each
    }
    b.wait(1000);
    b.dataBlock(0x01, ramp(3)).end();
    Converted c(b.bytes(), 5000);
    EXPECT_EQ(c.exitCode, 0);
    EXPECT_TRUE(c.run.stream.dacStreams.boundReached);
    EXPECT_EQ(c.run.stream.dacStreams.writesMade, 5000u);
    const std::string text = c.out.text();
    const std::string warning = "Warning: DAC streams stopped after 5000 writes\n";
    ASSERT_NE(text.find(warning), std::string::npos) << text;
    EXPECT_EQ(text.find(warning), text.rfind(warning));
}

TEST(DacStreamDispatch, AWriteReadsTheBankAsItIsAtItsTime) {
    // A stream that starts past the end of the bank finds no byte until a
    // later block fills that place.
    VgmBuilder b(0x160);
    b.dataBlock(0x00, ramp(10));
    dacStream0(b, 44100);
    start(b, 0, 0, 0x01, 20);
    b.wait(15);
    b.dataBlock(0x00, ramp(10, 50));  // positions 10..19 exist from time 15 on
    b.wait(100).ym(0, 0x2B, 0x00).end();
    Converted c(b.bytes());
    ASSERT_TRUE(c.hasSample(0));
    std::vector<uint8_t> expected = ramp(10);
    for (uint8_t v : ramp(5, 55)) expected.push_back(v);
    EXPECT_EQ(c.sampleBytes(0), expected);
}

TEST(DacStreamDispatch, AnEmptyStretchIsAValidWavFile) {
    VgmBuilder b(0x150);
    b.ym(0, 0x2B, 0x80).wait(10).ym(0, 0x2B, 0x00).end();
    Converted c(b.bytes());
    ASSERT_TRUE(c.hasSample(0));
    EXPECT_TRUE(c.sampleBytes(0).empty());
    EXPECT_EQ(c.sampleRate(0), 44100u);
}

}  // namespace
