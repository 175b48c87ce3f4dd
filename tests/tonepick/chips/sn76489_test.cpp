#include "tonepick/chips/sn76489.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "tests/tonepick/chips/recording_sink.h"

namespace {

struct PsgFixture : ::testing::Test {
    PsgState psg;
    uint32_t time = 0;  // sample time of the next write
    RecordingSink sink;

    void write(std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) sn76489Write(psg, time, b, sink);
    }
    const std::vector<ChannelEvent>& list(int ch) const { return sink.channelEvents[kFirstPsgList + ch]; }
    void expectEvent(const ChannelEvent& e, uint32_t at, int on, int freq) const {
        EXPECT_EQ(e.time, at);
        EXPECT_EQ(e.on, on);
        EXPECT_EQ(e.freq, freq);
        EXPECT_EQ(e.extra, 0);
    }
};

}  // namespace

TEST_F(PsgFixture, AttenuationStartsAndStopsAChannel) {
    write({0x8E, 0x0F});  // channel 0 period 0x0FE while silent: no event
    EXPECT_TRUE(list(0).empty());
    time = 10;
    write({0x90});  // attenuation 0: sounding
    write({0x92, 0x94});  // louder or softer, still sounding: nothing
    time = 25;
    write({0x9F});  // attenuation 15: silent
    ASSERT_EQ(list(0).size(), 2u);
    expectEvent(list(0)[0], 10, 1, 0x0FE);
    expectEvent(list(0)[1], 25, 0, 0x0FE);
    for (int ch = 1; ch < 4; ++ch) EXPECT_TRUE(list(ch).empty());
    for (int i = 0; i < kFmChannelCount; ++i) EXPECT_TRUE(sink.channelEvents[i].empty());
}

TEST_F(PsgFixture, ToneChangeBecomesAnEventAtItsDataByteOnly) {
    write({0xA0, 0x10, 0xB0});  // channel 1 period 0x100, sounding
    ASSERT_EQ(list(1).size(), 1u);
    expectEvent(list(1)[0], 0, 1, 0x100);
    time = 7;
    write({0xA5});  // low four bits, no event yet
    EXPECT_EQ(list(1).size(), 1u);
    EXPECT_EQ(psg.period[1], 0x105);
    write({0x12});
    ASSERT_EQ(list(1).size(), 2u);
    expectEvent(list(1)[1], 7, 1, 0x125);
    // A data byte with the same value still reports the (unchanged) period.
    write({0x12});
    ASSERT_EQ(list(1).size(), 3u);
    expectEvent(list(1)[2], 7, 1, 0x125);
}

TEST_F(PsgFixture, DataBytesKeepTheLatchedRegister) {
    // Before any latch byte, data goes to channel 0's tone register.
    write({0x3F});
    EXPECT_EQ(psg.period[0], 0x3F0);
    // After an attenuation latch, data bytes set the attenuation again.
    write({0xDF, 0x00});
    ASSERT_EQ(list(2).size(), 1u);
    expectEvent(list(2)[0], 0, 1, 0);
    write({0x0F});
    ASSERT_EQ(list(2).size(), 2u);
    EXPECT_EQ(list(2)[1].on, 0);
    // Only the low six bits of a tone data byte count.
    write({0xC3, 0x7F});
    EXPECT_EQ(psg.period[2], 0x3F3);
}

TEST_F(PsgFixture, NoiseRegisterTakesFourBitsAndMakesNoEvent) {
    write({0xF0});  // noise channel audible
    ASSERT_EQ(list(3).size(), 1u);
    write({0xE4, 0x07});
    EXPECT_EQ(psg.period[3], 7);
    EXPECT_EQ(list(3).size(), 1u);
    time = 3;
    write({0xFF});
    ASSERT_EQ(list(3).size(), 2u);
    expectEvent(list(3)[1], 3, 0, 7);
}

TEST_F(PsgFixture, NoWritesNoEvents) {
    for (int ch = 0; ch < 4; ++ch) EXPECT_TRUE(list(ch).empty());
}
