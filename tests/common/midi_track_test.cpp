#include "common/midi_track.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/midi_file.h"
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
    appendDelta(b, 1000);
    EXPECT_EQ(b, (Bytes{0x87, 0x68}));

    b.clear();
    appendDelta(b, kMaxVlq);
    EXPECT_EQ(b, (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));

    // 2 * kMaxVlq + 5: two carried maxima, then 5.
    b.clear();
    appendDelta(b, 2 * kMaxVlq + 5);
    EXPECT_EQ(b, (Bytes{0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00,
                        0x05}));
    b.clear();
    appendDelta(b, -3);
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

TEST(MidiTrack, EndOfTrackTempoAndChunk) {
    TrackBuffer b;
    appendEndOfTrack(b, 0x80);
    EXPECT_EQ(b, (Bytes{0x81, 0x00, 0xFF, 0x2F, 0x00}));
    // An end of track after the longest gap keeps it through the chain.
    b.clear();
    appendEndOfTrack(b, kMaxVlq + 2);
    EXPECT_EQ(hexBytes(b), "FF FF FF 7F FF 01 00 02 FF 2F 00");
    b.clear();
    appendTempo(b, 0, 500000);
    EXPECT_EQ(hexBytes(b), "00 FF 51 03 07 A1 20");

    MemoryFileSystem fs;
    auto f = fs.create("t.mid");
    ASSERT_TRUE(f);
    MidiFileWriter midi(*f);
    b.clear();
    appendEndOfTrack(b, 0x80);
    midi.writeTrack(b);
    EXPECT_TRUE(midi.ok());
    EXPECT_EQ(hexBytes(fs.at("t.mid")), "4D 54 72 6B 00 00 00 05 81 00 FF 2F 00");
}

TEST(MidiFile, HeaderFieldsComeFromTheParameters) {
    MemoryFileSystem fs;
    auto f = fs.create("t.mid");
    MidiFileWriter midi(*f);
    midi.writeHeader({1, 11, 22050});
    EXPECT_EQ(hexBytes(fs.at("t.mid")), "4D 54 68 64 00 00 00 06 00 01 00 0B 56 22");
    // The whole 16-bit count is patched, in place, after the tracks.
    TrackBuffer b;
    appendEndOfTrack(b, 0);
    midi.writeTrack(b);
    midi.patchTrackCount(0x1234);
    EXPECT_TRUE(midi.ok());
    const Bytes& bytes = fs.at("t.mid");
    ASSERT_EQ(bytes.size(), 14u + 8 + 4);
    EXPECT_EQ(bytes[10], 0x12);
    EXPECT_EQ(bytes[11], 0x34);
    EXPECT_EQ(bytes[13], 0x22);
}

TEST(MidiFile, StreamedTrackHasTheBytesOfAWholeOne) {
    // Long enough to spill twice: the length is filled in at the end and
    // later tracks follow at the right place.
    TrackBuffer whole;
    for (size_t i = 0; whole.size() < 2 * kMidiSpillSize + 100; ++i) {
        appendDelta(whole, static_cast<int64_t>(i % 300));
        whole.insert(whole.end(), {kMidiNoteOn, static_cast<uint8_t>(i & 0x7F), 0x7F});
    }
    appendEndOfTrack(whole, 0);
    TrackBuffer small;
    appendTrackName(small, "PSG 00");

    MemoryFileSystem fs;
    auto a = fs.create("whole.mid");
    MidiFileWriter wholeWriter(*a);
    wholeWriter.writeHeader({});
    wholeWriter.writeTrack(whole);
    wholeWriter.writeTrack(small);

    auto s = fs.create("streamed.mid");
    MidiFileWriter streamed(*s);
    streamed.writeHeader({});
    TrackBuffer buf;
    streamed.beginTrack(buf);
    for (size_t at = 0; at < whole.size(); at += 4096) {
        buf.insert(buf.end(), whole.begin() + static_cast<long>(at),
                   whole.begin() + static_cast<long>(std::min(at + 4096, whole.size())));
        streamed.spillTrack(buf);
        EXPECT_LT(buf.size(), kMidiSpillSize);
    }
    streamed.endTrack(buf);
    streamed.writeTrack(small);
    EXPECT_TRUE(streamed.ok());
    EXPECT_EQ(fs.at("streamed.mid"), fs.at("whole.mid"));
}

TEST(MidiFile, ShortWritesAndFailedSeeksAreReported) {
    MemoryFileSystem fs;
    fs.shortWritePaths.insert("t.mid");
    auto f = fs.create("t.mid");
    ASSERT_TRUE(f);
    TrackBuffer b;
    appendEndOfTrack(b, 0);
    MidiFileWriter midi(*f);
    midi.writeTrack(b);
    EXPECT_FALSE(midi.ok());

    fs.failedSeekPaths.insert("s.mid");
    auto g = fs.create("s.mid");
    MidiFileWriter streamed(*g);
    streamed.beginTrack(b);
    appendEndOfTrack(b, 0);
    streamed.endTrack(b);
    EXPECT_FALSE(streamed.ok());
}

TEST(MidiDump, ShowsOneEventPerLine) {
    TrackBuffer b;
    appendTrackName(b, "A");
    appendDelta(b, 200);
    b.insert(b.end(), {0x90, 0x3C, 0x7F});
    appendEndOfTrack(b, 0);
    EXPECT_EQ(dumpTrackData(b), "0: FF 03 01 41\n200: 90 3C 7F\n0: FF 2F 00\n");
}
