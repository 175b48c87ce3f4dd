#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tonepick/chips/ym2612.h"
#include "tests/tonepick/chips/recording_sink.h"

namespace {

class Ym2612Test : public ::testing::Test {
protected:
    // Everything reported since the last call.
    std::string takeOutput() { return sink.take(); }

    void w(int port, int reg, int value) { ym2612Write(ym, time, port, reg, value, sink); }
    const std::vector<ChannelEvent>& events(int ch) const { return sink.channelEvents[static_cast<size_t>(ch)]; }
    size_t totalEvents() const {
        size_t n = 0;
        for (const auto& list : sink.channelEvents) n += list.size();
        return n;
    }

    Ym2612State ym;
    uint32_t time = 0;  // sample time of the next write
    RecordingSink sink;
};

void expectEvent(const ChannelEvent& e, uint32_t time, int32_t on, int32_t freq, int32_t extra) {
    EXPECT_EQ(e.time, time);
    EXPECT_EQ(e.on, on);
    EXPECT_EQ(e.freq, freq);
    EXPECT_EQ(e.extra, extra);
}

TEST_F(Ym2612Test, FrequencyLatchAndKeyEventsOfOneNote) {
    time = 10;
    w(0, 0xA5, 0x22);  // channel 2 (index 1) high byte: block 4, fnum bits 8..10 = 2
    w(0, 0xA1, 0x81);  // silent: latched, no event
    EXPECT_EQ(ym.freqLatch[1], 0x2281);
    EXPECT_EQ(totalEvents(), 0u);

    time = 100;
    w(0, 0x28, 0xF1);
    ASSERT_EQ(events(1).size(), 1u);
    expectEvent(events(1)[0], 100, 1, 0x2281, 0);
    EXPECT_EQ(sink.patches.patches.size(), 1u);

    time = 150;
    w(0, 0xA5, 0x1A);  // high byte alone: no event
    EXPECT_EQ(events(1).size(), 1u);
    time = 160;
    w(0, 0xA1, 0x03);  // low byte while sounding: the new pitch
    ASSERT_EQ(events(1).size(), 2u);
    expectEvent(events(1)[1], 160, 1, 0x1A03, 0);

    time = 200;
    w(0, 0x28, 0x01);
    ASSERT_EQ(events(1).size(), 3u);
    expectEvent(events(1)[2], 200, 0, 0x1A03, 0);

    w(0, 0x28, 0x01);  // key-off of a silent channel: nothing
    w(0, 0xA1, 0x04);  // silent again: no event
    EXPECT_EQ(events(1).size(), 3u);
    EXPECT_EQ(totalEvents(), 3u);
    EXPECT_EQ(takeOutput(), "");
}

TEST_F(Ym2612Test, KeyOffEventCarriesIndexOfTheEndingNote) {
    w(0, 0xB0, 0x07);
    w(0, 0x28, 0xF0);  // patch 0
    w(0, 0x28, 0x00);
    w(0, 0xB0, 0x05);  // a different algorithm: a new patch
    w(0, 0xA0, 0x11);
    w(0, 0x28, 0xF0);
    w(0, 0xA0, 0x12);
    w(0, 0x28, 0x00);
    ASSERT_EQ(events(0).size(), 5u);
    EXPECT_EQ(events(0)[0].extra, 0);
    EXPECT_EQ(events(0)[1].extra, 0);
    expectEvent(events(0)[2], 0, 1, 0x11, 1);
    expectEvent(events(0)[3], 0, 1, 0x12, 1);
    expectEvent(events(0)[4], 0, 0, 0x12, 1);
    EXPECT_EQ(ym.patchIndex[0], 1);
}

TEST_F(Ym2612Test, MaskChangeWhileSoundingIsRememberedNotCaptured) {
    w(0, 0x28, 0xF0);
    EXPECT_EQ(takeOutput(), "");
    w(1, 0x32, 0x77);  // register change while sounding
    w(0, 0x28, 0x30);
    EXPECT_EQ(takeOutput(), "Unexpected behavior: key on update 28 30\n");
    EXPECT_EQ(ym.channel[0].keyMask, 0x30);
    EXPECT_EQ(events(0).size(), 1u);
    EXPECT_EQ(sink.patches.patches.size(), 1u);
    w(0, 0x28, 0x30);  // the same mask again: silent repeat, no message
    EXPECT_EQ(takeOutput(), "");

    // Only the next off-to-on transition captures, with the mask then in force.
    w(0, 0x28, 0x00);
    w(0, 0x28, 0x30);
    ASSERT_EQ(sink.patches.patches.size(), 2u);
    EXPECT_EQ(sink.patches.patches[1].keyMask, 0x30);
    EXPECT_EQ(events(0).size(), 3u);
}

TEST_F(Ym2612Test, KeyRegisterChannelDecodingIgnoresThePort) {
    w(0, 0x28, 0xF4);  // value & 7 = 4: channel 4, index 3
    EXPECT_EQ(ym.channel[3].keyMask, 0xF0);
    w(1, 0x28, 0x04);  // port 1 acts the same
    EXPECT_EQ(ym.channel[3].keyMask, 0);
    w(1, 0x28, 0x12);  // index 2 through port 1
    EXPECT_EQ(ym.channel[2].keyMask, 0x10);
    w(0, 0x28, 0x86);  // index 5
    EXPECT_EQ(ym.channel[5].keyMask, 0x80);
    EXPECT_EQ(events(3).size(), 2u);
    EXPECT_EQ(events(2).size(), 1u);
    EXPECT_EQ(events(5).size(), 1u);
    EXPECT_EQ(takeOutput(), "");

    const Ym2612State before = ym;
    w(0, 0x28, 0x03);
    w(1, 0x28, 0x07);
    w(0, 0x28, 0xF3);
    EXPECT_EQ(takeOutput(),
              "Weird YM2612 reg write: 28 03\n"
              "Weird YM2612 reg write: 28 07\n"
              "Weird YM2612 reg write: 28 F3\n");
    EXPECT_TRUE(ym == before);
    EXPECT_EQ(totalEvents(), 4u);
}

TEST_F(Ym2612Test, OperatorRegistersLandInOperatorOrder) {
    // Port 1, reg & 3 == 1: channel 5 (index 4). Offsets +0, +4, +8, +C are S1, S3, S2, S4.
    const int blocks[] = {0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90};
    for (int b = 0; b < 7; ++b) {
        for (int off = 0; off < 16; off += 4) w(1, blocks[b] + off + 1, b * 16 + off);
    }
    const PatchRecord& image = ym.channel[4];
    const int offsetOf[4] = {0x0, 0x8, 0x4, 0xC};  // S1, S2, S3, S4
    for (int k = 0; k < 4; ++k) {
        const OperatorRegs& op = image.op[static_cast<size_t>(k)];
        const int o = offsetOf[k];
        EXPECT_EQ(op.dtMul, 0x00 + o) << k;
        EXPECT_EQ(op.tl, 0x10 + o) << k;
        EXPECT_EQ(op.rsAr, 0x20 + o) << k;
        EXPECT_EQ(op.amD1r, 0x30 + o) << k;
        EXPECT_EQ(op.d2r, 0x40 + o) << k;
        EXPECT_EQ(op.d1lRr, 0x50 + o) << k;
        EXPECT_EQ(op.ssgEg, 0x60 + o) << k;
    }
    for (int ch = 0; ch < 6; ++ch) {
        if (ch != 4) {
            EXPECT_TRUE(ym.channel[static_cast<size_t>(ch)] == PatchRecord{}) << ch;
        }
    }

    w(1, 0xB1, 0x3A);
    w(1, 0xB5, 0xC7);
    w(1, 0xB9, 0x11);  // B8..BE: nothing there
    EXPECT_EQ(image.fbAlg, 0x3A);
    EXPECT_EQ(image.lrAmsFms, 0xC7);
    EXPECT_EQ(takeOutput(), "");
    EXPECT_EQ(totalEvents(), 0u);
}

TEST_F(Ym2612Test, GlobalLfoAndChannel3Mode) {
    w(1, 0x22, 0xFB);
    for (const PatchRecord& image : ym.channel) EXPECT_EQ(image.lfo, 0x0B);
    w(0, 0x27, 0x7F);  // timer bits dropped, mode bits kept, channel 3 only
    EXPECT_EQ(ym.channel[2].ch3Mode, 0x40);
    for (int ch : {0, 1, 3, 4, 5}) EXPECT_EQ(ym.channel[static_cast<size_t>(ch)].ch3Mode, 0);

    w(0, 0x28, 0xF5);  // a later key-on on any channel captures the LFO value
    ASSERT_EQ(sink.patches.patches.size(), 1u);
    EXPECT_EQ(sink.patches.patches[0].lfo, 0x0B);
}

TEST_F(Ym2612Test, Channel3SpecialLatchesOnEitherPort) {
    w(1, 0xAD, 0x12);  // A9/AD on port 1
    w(0, 0xA9, 0x34);
    w(0, 0xAC, 0x21);  // A8/AC
    w(1, 0xA8, 0x43);
    w(1, 0xAE, 0x2B);  // AA/AE
    w(1, 0xAA, 0x5C);
    EXPECT_EQ(ym.ch3SpecialFreq[0], 0x2143);
    EXPECT_EQ(ym.ch3SpecialFreq[1], 0x1234);
    EXPECT_EQ(ym.ch3SpecialFreq[2], 0x2B5C);
    const auto& f = ym.channel[2].ch3Freq;
    EXPECT_EQ(f[0], 0x1234);
    EXPECT_EQ(f[1], 0x2143);
    EXPECT_EQ(f[2], 0x2B5C);
    EXPECT_EQ(f[3], 0);

    w(0, 0xA6, 0x23);  // channel 3's own pair refreshes entry 3 at each byte
    EXPECT_EQ(f[3], 0x2300);
    w(0, 0xA2, 0x45);
    EXPECT_EQ(f[3], 0x2345);
    w(1, 0xA2, 0x99);  // channel 6: a different channel, entry 3 unchanged
    EXPECT_EQ(f[3], 0x2345);
    EXPECT_EQ(ym.freqLatch[5], 0x99);

    // Writing the special pairs never moves the channel latches and makes no event.
    for (int ch = 0; ch < 6; ++ch) {
        if (ch != 2 && ch != 5) {
            EXPECT_EQ(ym.freqLatch[static_cast<size_t>(ch)], 0) << ch;
        }
    }
    for (int ch = 0; ch < 6; ++ch) EXPECT_TRUE(ym.channel[static_cast<size_t>(ch)].ch3Freq ==
                                               (ch == 2 ? f : std::array<uint16_t, 4>{})) << ch;
    EXPECT_EQ(totalEvents(), 0u);

    // A channel-3 key-on captures the words with the record.
    w(0, 0x28, 0xF2);
    ASSERT_EQ(sink.patches.patches.size(), 1u);
    EXPECT_TRUE(sink.patches.patches[0].ch3Freq == (std::array<uint16_t, 4>{0x1234, 0x2143, 0x2B5C, 0x2345}));
}

TEST_F(Ym2612Test, DiagnosticsForRegistersOutsideTheModel) {
    for (int port : {0, 1}) {
        for (int reg : {0x33, 0x47, 0xA3, 0xB7, 0xC3}) w(port, reg, 0x5A);
    }
    const std::string weird =
        "Weird YM2612 reg write: 33 5A\nWeird YM2612 reg write: 47 5A\nWeird YM2612 reg write: A3 5A\n"
        "Weird YM2612 reg write: B7 5A\nWeird YM2612 reg write: C3 5A\n";
    EXPECT_EQ(takeOutput(), weird + weird);

    w(1, 0x10, 0x55);
    w(1, 0xC4, 0x55);
    w(0, 0x00, 0x0F);
    w(0, 0xFE, 0xA0);
    EXPECT_EQ(takeOutput(), "YM2612_1 10 55\nYM2612_1 C4 55\nYM2612_0 00 0F\nYM2612_0 FE A0\n");

    for (int reg : {0x20, 0x21, 0x23, 0x24, 0x25, 0x26, 0x29, 0x2C, 0x2F, 0xB8, 0xBA, 0xBE}) w(0, reg, 0xFF);
    EXPECT_EQ(takeOutput(), "");
    EXPECT_TRUE(ym == Ym2612State{});
    EXPECT_EQ(totalEvents(), 0u);
}

TEST_F(Ym2612Test, KeyOnCapturesAndFoldsRepeatedInstruments) {
    // The same instrument at two volumes on two channels is one patch.
    for (int ch : {0, 4}) {
        const int port = ch / 3;
        const int r = ch % 3;
        w(port, 0xB0 + r, 0x32);
        w(port, 0x30 + r, 0x71);
        w(port, 0x40 + r, ch == 0 ? 0x30 : 0x10);
    }
    w(0, 0x28, 0xF0);
    w(0, 0x28, 0xF5);
    ASSERT_EQ(sink.patches.patches.size(), 1u);
    EXPECT_EQ(sink.patches.patches[0].op[0].tl, 0x10);  // the louder one's levels
    EXPECT_EQ(events(4)[0].extra, 0);
    w(1, 0x31, 0x72);  // S1 of index 4 changes: a new instrument at its next key-on
    w(0, 0x28, 0x05);
    w(0, 0x28, 0xF5);
    EXPECT_EQ(sink.patches.patches.size(), 2u);
    EXPECT_EQ(events(4).back().extra, 1);
    EXPECT_EQ(ym.patchIndex[4], 1);
    EXPECT_EQ(ym.patchIndex[0], 0);
}

TEST_F(Ym2612Test, RepeatedKeyOnsMatchWhatAFullLookupWouldCapture) {
    // Key-ons with an unchanged image skip the patch lookup. Against a list fed
    // by a lookup at every key-on, across volume changes (louder and quieter),
    // mask changes and the same instrument moving between channels, the indices
    // and the stored levels must come out the same.
    PatchList reference;
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    int keyOns = 0;
    for (int step = 0; step < 20000; ++step) {
        const int ch = static_cast<int>(next(6));
        const int port = ch / 3;
        const int r = ch % 3;
        switch (next(6)) {
            case 0: w(port, 0x40 + 4 * static_cast<int>(next(4)) + r, static_cast<int>(next(128))); break;
            case 1: w(port, 0x30 + 4 * static_cast<int>(next(4)) + r, static_cast<int>(next(3))); break;
            case 2: w(port, 0xB0 + r, static_cast<int>(next(2))); break;
            default: {
                const int mask = static_cast<int>(next(4)) == 0 ? 0 : static_cast<int>(0x10 << next(4)) | 0x80;
                const int wasKeyed = ym.channel[static_cast<size_t>(ch)].keyMask != 0;
                w(0, 0x28, mask | (ch < 3 ? ch : ch + 1));
                if (!wasKeyed && mask != 0) {
                    const int32_t expected = capturePatch(reference, ym.channel[static_cast<size_t>(ch)]);
                    ASSERT_EQ(ym.patchIndex[static_cast<size_t>(ch)], expected) << "step " << step;
                    ++keyOns;
                }
                break;
            }
        }
    }
    EXPECT_GT(keyOns, 1500);
    ASSERT_EQ(sink.patches.patches.size(), reference.patches.size());
    for (size_t i = 0; i < reference.patches.size(); ++i)
        EXPECT_TRUE(sink.patches.patches[i] == reference.patches[i]) << "patch " << i;
    takeOutput();  // mask updates while sounding are reported; not the subject here
}

}  // namespace
