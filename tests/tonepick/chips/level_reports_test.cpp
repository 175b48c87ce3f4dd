// What the chip models report about loudness to a sink that follows levels:
// the loudest keyed carrier of an FM channel, the attenuation of a PSG
// channel, and when a write changes them.

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/tonepick/chips/recording_sink.h"
#include "tonepick/chips/sn76489.h"
#include "tonepick/chips/ym2612.h"

namespace {

// Each report as "list kind level [pan] @time #keys", where keys is the number
// of key events of the list recorded before it.
struct LevelSink : RecordingSink {
    static constexpr bool kFollowsLevels = true;
    std::string reports;

    void keyOnLevel(int list, uint32_t time, uint8_t level, uint8_t pan) {
        add(list, "on", level, time, " pan " + std::to_string(pan));
    }
    void levelChange(int list, uint32_t time, uint8_t level) { add(list, "change", level, time, ""); }
    std::string take() { return std::exchange(reports, std::string()); }

private:
    void add(int list, const char* kind, int level, uint32_t time, const std::string& pan) {
        reports += std::to_string(list) + " " + kind + " " + std::to_string(level) + pan + " @" +
                   std::to_string(time) + " #" + std::to_string(channelEvents[static_cast<size_t>(list)].size()) + "\n";
    }
};

constexpr int kRegTl = 0x40;
constexpr int kRegAlgorithm = 0xB0;
constexpr int kRegPan = 0xB4;
constexpr int kKey = 0x28;
// Register offsets of S1..S4 in an operator block: register order is S1, S3, S2, S4.
constexpr int kOperatorOffset[4] = {0x0, 0x8, 0x4, 0xC};

struct FmLevels : ::testing::Test {
    Ym2612State ym;
    LevelSink sink;
    void write(uint32_t t, int reg, int value, int port = 0) { ym2612Write(ym, t, port, reg, value, sink); }
    void tl(uint32_t t, int ch, int op, int value) {
        write(t, kRegTl + kOperatorOffset[op] + ch % 3, value, ch / 3);
    }
};

}  // namespace

TEST_F(FmLevels, EachAlgorithmHearsOnlyItsCarriers) {
    // Carriers as bits S1..S4 (bit 0 = S1).
    const int carriers[8] = {0x8, 0x8, 0x8, 0x8, 0xA, 0xE, 0xE, 0xF};
    for (int alg = 0; alg < 8; ++alg) {
        for (int op = 0; op < 4; ++op) {
            SCOPED_TRACE("algorithm " + std::to_string(alg) + " loud operator S" + std::to_string(op + 1));
            ym = Ym2612State{};
            sink = LevelSink{};
            write(0, kRegAlgorithm, 0x38 | alg);  // feedback bits must not matter
            write(0, kRegPan, 0xC0);
            for (int k = 0; k < 4; ++k) tl(0, 0, k, k == op ? 5 : 60);
            write(1, kKey, 0xF0);
            const int expected = (carriers[alg] >> op) & 1 ? 5 : 60;
            EXPECT_EQ(sink.take(), "0 on " + std::to_string(expected) + " pan 3 @1 #0\n");
        }
    }
}

TEST_F(FmLevels, OnlyKeyedCarriersCountAndNoneGivesTheSilentLevel) {
    write(0, kRegAlgorithm, 4);  // carriers S2 and S4
    write(0, kRegPan, 0x80);     // left only
    tl(0, 0, 0, 0);
    tl(0, 0, 1, 20);
    tl(0, 0, 3, 30);
    write(1, kKey, 0x10);        // S1 alone: a modulator, nothing heard
    EXPECT_EQ(sink.take(), "0 on 128 pan 2 @1 #0\n");
    write(2, kKey, 0x90);        // S1 and S4 keyed: S4 sounds
    EXPECT_EQ(sink.take(), "0 change 30 @2 #1\n");
    write(3, kKey, 0xB0);        // S2 joins, louder
    EXPECT_EQ(sink.take(), "0 change 20 @3 #1\n");
}

TEST_F(FmLevels, WritesThatDoNotChangeTheLoudestCarrierReportNothing) {
    write(0, kRegAlgorithm, 7, 1);
    write(0, kRegPan, 0x40, 1);       // channel 4 (port 1), right only
    for (int k = 0; k < 4; ++k) tl(0, 3, k, 40);
    tl(1, 3, 2, 50);                  // while silent: nothing
    write(2, kKey, 0xF4);             // channel index 3
    EXPECT_EQ(sink.take(), "3 on 40 pan 1 @2 #0\n");
    tl(3, 3, 2, 60);                  // one of three at 40 gets softer: still 40
    tl(4, 3, 0, 40);                  // rewritten unchanged
    EXPECT_EQ(sink.take(), "");
    tl(5, 3, 1, 0x80 | 10);           // bit 7 is not part of the level
    EXPECT_EQ(sink.take(), "3 change 10 @5 #1\n");
    write(6, kRegAlgorithm, 0, 1);    // algorithm 0: S4 alone, at 40
    EXPECT_EQ(sink.take(), "3 change 40 @6 #1\n");
    tl(7, 3, 1, 0);                   // S2 is a modulator now
    EXPECT_EQ(sink.take(), "");
    write(8, kKey, 0x04);             // key-off
    tl(9, 3, 3, 127);                 // silent: nothing
    EXPECT_EQ(sink.take(), "");
}

TEST_F(FmLevels, FadeOutIsOneChangePerStep) {
    write(0, kRegPan + 1, 0xC0);
    tl(0, 1, 3, 0);
    write(0, kKey, 0xF1);
    for (uint32_t t = 1; t <= 3; ++t) tl(t * 100, 1, 3, static_cast<int>(t) * 8);
    EXPECT_EQ(sink.take(), "1 on 0 pan 3 @0 #0\n1 change 8 @100 #1\n1 change 16 @200 #1\n1 change 24 @300 #1\n");
}

TEST(PsgLevels, AttenuationAtKeyOnAndEveryChangeWhileSounding) {
    PsgState psg;
    LevelSink sink;
    sn76489Write(psg, 0, 0xB5, sink);   // channel 1 attenuation 5: on
    sn76489Write(psg, 10, 0xB5, sink);  // unchanged
    sn76489Write(psg, 20, 0x07, sink);  // data byte to the latched attenuation register
    sn76489Write(psg, 30, 0xBF, sink);  // silent: a key-off, no level
    sn76489Write(psg, 40, 0xB9, sink);  // on again at 9
    sn76489Write(psg, 50, 0xF0, sink);  // noise channel at 0
    EXPECT_EQ(sink.take(), "7 on 5 pan 0 @0 #0\n7 change 7 @20 #1\n7 on 9 pan 0 @40 #2\n9 on 0 pan 0 @50 #0\n");
}
