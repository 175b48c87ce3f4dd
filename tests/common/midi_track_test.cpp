#include "common/midi_track.h"

#include <gtest/gtest.h>

#include "common/output_files.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/midi_dump.h"

namespace {

std::vector<uint8_t> vlq(int32_t v) {
    TrackBuffer b;
    appendVlq(b, v);
    return b;
}

using Bytes = std::vector<uint8_t>;

}  // namespace

TEST(MidiTrack, VariableLengthQuantities) {
    EXPECT_EQ(vlq(0), Bytes{0x00});
    EXPECT_EQ(vlq(-5), Bytes{0x00});
    EXPECT_EQ(vlq(INT32_MIN), Bytes{0x00});
    EXPECT_EQ(vlq(1), Bytes{0x01});
    EXPECT_EQ(vlq(0x7F), Bytes{0x7F});
    EXPECT_EQ(vlq(0x80), (Bytes{0x81, 0x00}));
    EXPECT_EQ(vlq(22050), (Bytes{0x81, 0xAC, 0x22}));
    EXPECT_EQ(vlq(0x3FFF), (Bytes{0xFF, 0x7F}));
    EXPECT_EQ(vlq(0x4000), (Bytes{0x81, 0x80, 0x00}));
    EXPECT_EQ(vlq(0x1FFFFF), (Bytes{0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(vlq(0x200000), (Bytes{0x81, 0x80, 0x80, 0x00}));
    EXPECT_EQ(vlq(0x0FFFFFFF), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
}

TEST(MidiTrack, VlqNeverWritesMoreThanFourBytes) {
    EXPECT_EQ(vlq(0x10000000), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(vlq(INT32_MAX), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
}

TEST(MidiTrack, LongDeltaKeepsItsTimingThroughNeutralEvents) {
    TrackBuffer b;
    appendLongDelta(b, 1000);
    EXPECT_EQ(b, (Bytes{0x87, 0x68}));

    b.clear();
    appendLongDelta(b, kMaxVlq);
    EXPECT_EQ(b, (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));

    // 2 * kMaxVlq + 5: two carried maxima, then 5.
    b.clear();
    appendLongDelta(b, 2 * kMaxVlq + 5);
    EXPECT_EQ(b, (Bytes{0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00,
                        0x05}));
    b.clear();
    appendLongDelta(b, -3);
    EXPECT_EQ(b, Bytes{0x00});
}

TEST(MidiTrack, MetaTextsAndNames) {
    TrackBuffer b;
    appendTrackName(b, "PSG 00");
    EXPECT_EQ(b, (Bytes{0x00, 0xFF, 0x03, 0x06, 'P', 'S', 'G', ' ', '0', '0'}));
    b.clear();
    appendInstrumentName(b, "YM2612 05");
    EXPECT_EQ(hexBytes(b), "00 FF 04 09 59 4D 32 36 31 32 20 30 35");
    b.clear();
    appendMetaText(b, 24, 0x06, "end");
    EXPECT_EQ(b, (Bytes{0x18, 0xFF, 0x06, 0x03, 'e', 'n', 'd'}));
    b.clear();
    appendMetaText(b, 0, 0x06, "");
    EXPECT_EQ(b, (Bytes{0x00, 0xFF, 0x06, 0x00}));
}

TEST(MidiTrack, BendRangeAddressesTheLowFourBitsOfTheChannel) {
    TrackBuffer b;
    appendBendRange(b, 0x13, 12);
    EXPECT_EQ(hexBytes(b), "00 B3 64 00 00 B3 65 00 00 B3 06 0C 00 B3 64 7F");
    b.clear();
    appendBendRange(b, 9, 2);
    EXPECT_EQ(hexBytes(b), "00 B9 64 00 00 B9 65 00 00 B9 06 02 00 B9 64 7F");
}

TEST(MidiTrack, EndOfTrackAndChunk) {
    TrackBuffer b;
    appendEndOfTrack(b, 0x80);
    EXPECT_EQ(b, (Bytes{0x81, 0x00, 0xFF, 0x2F, 0x00}));

    std::vector<uint8_t> file;
    appendTrackChunk(file, b);
    EXPECT_EQ(hexBytes(file), "4D 54 72 6B 00 00 00 05 81 00 FF 2F 00");

    MemoryFileSystem fs;
    auto f = fs.create("t.mid");
    ASSERT_TRUE(f);
    EXPECT_TRUE(writeTrackChunk(*f, b));
    EXPECT_EQ(fs.at("t.mid"), file);
}

TEST(MidiTrack, ChunkWriteReportsShortWrites) {
    MemoryFileSystem fs;
    fs.shortWritePaths.insert("t.mid");
    auto f = fs.create("t.mid");
    ASSERT_TRUE(f);
    TrackBuffer b;
    appendEndOfTrack(b, 0);
    EXPECT_FALSE(writeTrackChunk(*f, b));
}

TEST(MidiDump, ShowsOneEventPerLine) {
    TrackBuffer b;
    appendTrackName(b, "A");
    appendDelta(b, 200);
    b.insert(b.end(), {0x90, 0x3C, 0x7F});
    appendEndOfTrack(b, 0);
    EXPECT_EQ(dumpTrackData(b), "0: FF 03 01 41\n200: 90 3C 7F\n0: FF 2F 00\n");
}
