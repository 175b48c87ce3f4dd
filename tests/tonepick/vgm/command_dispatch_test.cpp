// The dispatcher: the clock, frame wait overrides, PCM position and source,
// and the commands it reports as unhandled.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/tonepick_test_run.h"
#include "builders/vgm_builder.h"
#include "tonepick/run_chips.h"
#include "tonepick/vgm/buffered_input.h"
#include "tonepick/vgm/command_dispatch.h"

namespace {

// Walks `file` through the dispatcher of a fresh run; output is captured.
struct DispatchRun : TonepickTestRun {
    int walk = -1;

    explicit DispatchRun(const std::vector<uint8_t>& file) {
        BufferedInput in;
        openMemoryInput(in, file.data(), file.size());
        readHeader(run.reader, in);
        RunChips chips{run};
        walk = walkAndDispatch(run.reader, run.stream, chips, in);
    }

    // Only the dispatcher's own lines; chip models may print diagnostics of their own.
    std::string unhandledLines() {
        std::istringstream lines(out.text());
        std::string line, result;
        while (std::getline(lines, line))
            if (line.rfind("Unhandled: ", 0) == 0) result += line + "\n";
        return result;
    }
};

uint32_t timeAfter(std::initializer_list<uint8_t> commands) {
    DispatchRun d(VgmBuilder(0x150).raw(commands).end().bytes());
    EXPECT_EQ(d.walk, 0);
    return d.run.stream.sampleTime;
}

TEST(Dispatch, Waits) {
    EXPECT_EQ(timeAfter({0x61, 0x34, 0x12}), 0x1234u);
    EXPECT_EQ(timeAfter({0x61, 0xFF, 0xFF, 0x61, 0x01, 0x00}), 65536u);
    EXPECT_EQ(timeAfter({0x62}), 735u);
    EXPECT_EQ(timeAfter({0x63}), 882u);
    EXPECT_EQ(timeAfter({0x70}), 1u);
    EXPECT_EQ(timeAfter({0x7F}), 16u);
    EXPECT_EQ(timeAfter({0x80}), 0u);
    EXPECT_EQ(timeAfter({0x8F}), 15u);
    EXPECT_EQ(timeAfter({0x62, 0x63, 0x75, 0x83}), 735u + 882u + 6u + 3u);
}

TEST(Dispatch, ClockWrapsAround) {
    VgmBuilder b(0x150);
    b.wait(0xFFFFFFFFu).raw({0x71}).end();
    DispatchRun d(b.bytes());
    EXPECT_EQ(d.run.stream.sampleTime, 1u);
}

TEST(Dispatch, FrameWaitOverridesLastForTheRestOfTheStream) {
    EXPECT_EQ(timeAfter({0x64, 0x62, 0x00, 0x01, 0x62, 0x62}), 512u);
    EXPECT_EQ(timeAfter({0x64, 0x63, 0x10, 0x00, 0x63, 0x62}), 16u + 735u);
    EXPECT_EQ(timeAfter({0x62, 0x64, 0x62, 0x00, 0x00, 0x62}), 735u);
    // Any other first operand changes nothing.
    EXPECT_EQ(timeAfter({0x64, 0x61, 0x00, 0x01, 0x62, 0x63}), 735u + 882u);
    DispatchRun d(VgmBuilder(0x150).raw({0x64, 0x63, 0x34, 0x12}).end().bytes());
    EXPECT_EQ(d.run.stream.frameWaits[0], 735u);
    EXPECT_EQ(d.run.stream.frameWaits[1], 0x1234u);
}

TEST(Dispatch, DacWritesWithoutPcmBlockStillAdvance) {
    VgmBuilder b(0x150);
    b.pcmWrite(0).pcmWrite(5).dataBlock(0x01, {1, 2, 3}).pcmWrite(15).end();
    DispatchRun d(b.bytes());
    EXPECT_EQ(d.walk, 0);
    EXPECT_EQ(d.run.stream.pcmOffset, 3u);
    EXPECT_EQ(d.run.stream.sampleTime, 20u);
    uint8_t byte = 0;
    EXPECT_FALSE(pcmByteAt(d.run.reader, 0, byte));
}

TEST(Dispatch, PcmSeekAndSourceBlock) {
    VgmBuilder b(0x150);
    b.dataBlock(0x00, {10, 11, 12, 13}).pcmSeek(2).pcmWrite(1).pcmWrite(1);
    b.dataBlock(0x00, {20, 21, 22, 23, 24, 25}).dataBlock(0x02, {99, 99, 99, 99, 99, 99});
    b.pcmWrite(0).end();
    DispatchRun d(b.bytes());
    EXPECT_EQ(d.run.stream.pcmOffset, 5u);  // not reset by the new block
    EXPECT_EQ(d.run.stream.sampleTime, 2u);
    EXPECT_EQ(d.run.reader.pcmBlock, 1);
    // The second type 0x00 block is the source; offsets index into it alone.
    uint8_t byte = 0;
    ASSERT_TRUE(pcmByteAt(d.run.reader, 4, byte));
    EXPECT_EQ(byte, 24);
    ASSERT_TRUE(pcmByteAt(d.run.reader, 5, byte));
    EXPECT_EQ(byte, 25);
    EXPECT_FALSE(pcmByteAt(d.run.reader, 6, byte));
    EXPECT_FALSE(pcmByteAt(d.run.reader, 0xFFFFFFFF, byte));
}

TEST(Dispatch, WritesBeyondThePcmBlockAdvanceTheClock) {
    VgmBuilder b(0x150);
    b.dataBlock(0x00, {1, 2}).pcmSeek(0xFFFFFFF0).pcmWrite(7).pcmWrite(7).end();
    DispatchRun d(b.bytes());
    EXPECT_EQ(d.walk, 0);
    EXPECT_EQ(d.run.stream.pcmOffset, 0xFFFFFFF2u);
    EXPECT_EQ(d.run.stream.sampleTime, 14u);
}

TEST(Dispatch, UnknownCommandsAreReportedOncePerOccurrence) {
    VgmBuilder b(0x150);
    b.raw({0x30, 0x00, 0x4F, 0x00, 0x4E, 1, 2, 0x51, 1, 2, 0x54, 1, 2, 0x5F, 1, 2});
    b.raw({0x68, 0x66, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    b.raw({0x90, 0x95, 0xA0, 1, 2, 0xDF, 1, 2, 3, 0xE1, 1, 2, 3, 4, 0xFF, 1, 2, 3, 4, 0x30, 0x00}).end();
    DispatchRun d(b.bytes());
    EXPECT_EQ(d.walk, 0);
    EXPECT_EQ(d.unhandledLines(),
              "Unhandled: 30\nUnhandled: 4E\nUnhandled: 51\nUnhandled: 54\nUnhandled: 5F\n"
              "Unhandled: 68\nUnhandled: 90\nUnhandled: 95\nUnhandled: A0\nUnhandled: DF\n"
              "Unhandled: E1\nUnhandled: FF\nUnhandled: 30\n");
    EXPECT_EQ(d.run.stream.sampleTime, 0u);
    EXPECT_EQ(d.run.stream.pcmOffset, 0u);
}

TEST(Dispatch, StreamControlFrom160IsReadWithItsOperands) {
    // A stream aimed at another chip (here the SN76489, type 0x00) is reported...
    VgmBuilder b(0x160);
    b.raw({0x90, 0, 0x00, 0x00, 0x2A, 0x92, 0, 0x44, 0xAC, 0, 0, 0x94, 0, 0x70}).end();
    DispatchRun d(b.bytes());
    EXPECT_EQ(d.walk, 0);
    EXPECT_EQ(d.unhandledLines(), "Unhandled: 90\nUnhandled: 92\nUnhandled: 94\n");
    EXPECT_EQ(d.run.stream.sampleTime, 1u);
    // ...one aimed at the YM2612 DAC is played, silently.
    VgmBuilder dac(0x160);
    dac.raw({0x90, 0, 0x02, 0x00, 0x2A, 0x92, 0, 0x44, 0xAC, 0, 0, 0x94, 0, 0x70}).end();
    DispatchRun played(dac.bytes());
    EXPECT_EQ(played.walk, 0);
    EXPECT_EQ(played.unhandledLines(), "");
    EXPECT_EQ(played.run.stream.dacStreams.streams[0].frequency, 44100u);
    EXPECT_EQ(played.run.stream.sampleTime, 1u);
}

TEST(Dispatch, ChipWritesAndEndAreNotReported) {
    VgmBuilder b(0x150);
    b.psg(0x9F).ym(0, 0x22, 0x00).ym(1, 0x30, 0x71).raw({0x4F, 0xFF}).end();
    DispatchRun d(b.bytes());
    EXPECT_EQ(d.walk, 0);
    EXPECT_EQ(d.unhandledLines(), "");
}

}  // namespace
