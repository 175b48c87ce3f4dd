// Header checks: the five results, the clocks by version, where the walk starts.

#include <gtest/gtest.h>

#include <vector>

#include "common/byte_order.h"
#include "builders/vgm_builder.h"
#include "tonepick/vgm/buffered_input.h"
#include "tonepick/vgm/vgm_reader.h"

namespace {

struct HeaderOutcome {
    int result = -1;
    VgmReader reader;
    int nextByte = -1;  // first byte after the header, -1 at the end of the input
};

HeaderOutcome readHeaderOf(const std::vector<uint8_t>& bytes) {
    HeaderOutcome o;
    BufferedInput in;
    openMemoryInput(in, bytes.data(), bytes.size());
    o.result = readHeader(o.reader, in);
    uint8_t b = 0;
    if (readInputByte(in, b)) o.nextByte = b;
    return o;
}

// A header of `version` with the two clocks at both possible places.
std::vector<uint8_t> headerWithClocks(uint32_t version, uint32_t at10, uint32_t at2C) {
    std::vector<uint8_t> v = VgmBuilder(version).raw({0x66}).bytes();
    writeLe32(&v[0x10], at10);
    writeLe32(&v[0x2C], at2C);
    return v;
}

TEST(VgmHeader, ValidFileStandsAtFirstCommand) {
    for (uint32_t version : {0x100u, 0x110u, 0x150u, 0x171u}) {
        const auto o = readHeaderOf(VgmBuilder(version).psgClock(3546893).raw({0x4F, 0x00}).bytes());
        EXPECT_EQ(o.result, kHeaderOk) << std::hex << version;
        EXPECT_EQ(o.reader.version, static_cast<int32_t>(version));
        EXPECT_EQ(o.reader.psgClock, 3546893);
        EXPECT_EQ(o.reader.ym2612Clock, 7670454);
        EXPECT_EQ(o.nextByte, 0x4F) << std::hex << version;
    }
}

TEST(VgmHeader, FewerThan56BytesIsResult1WhenTheyBeginWithTheIdentifier) {
    auto v = VgmBuilder(0x150).psgClock(1000).bytes();
    for (const size_t size : {55, 4}) {
        v.resize(size);
        const auto o = readHeaderOf(v);
        EXPECT_EQ(o.result, kHeaderTooShort) << size;
        EXPECT_EQ(o.reader.version, 0);
        EXPECT_EQ(o.reader.psgClock, 3579545);
    }
    // Shorter than the identifier, or without it at any length: no log.
    EXPECT_EQ(readHeaderOf({}).result, kHeaderNotVgm);
    EXPECT_EQ(readHeaderOf({'V', 'g', 'm'}).result, kHeaderNotVgm);
    EXPECT_EQ(readHeaderOf({'V', 'g', 'm', 'x', 0}).result, kHeaderNotVgm);
}

TEST(VgmHeader, WrongIdentifierIsResult2AndSetsNothing) {
    auto v = VgmBuilder(0x150).psgClock(1000).ym2612Clock(2000).raw({0x31, 0x00}).bytes();
    v[3] = 'X';
    const auto o = readHeaderOf(v);
    EXPECT_EQ(o.result, kHeaderNotVgm);
    EXPECT_EQ(o.reader.version, 0);
    EXPECT_EQ(o.reader.psgClock, 3579545);
    EXPECT_EQ(o.reader.ym2612Clock, 7670454);
    EXPECT_EQ(o.nextByte, 0);  // stands at offset 56, where the 1.50 header is still zeros
}

TEST(VgmHeader, DataOffsetBelow4IsResult3) {
    for (uint32_t offset : {0u, 3u, 0x80000000u, 0xFFFFFFFFu}) {
        auto v = VgmBuilder(0x150).bytes();
        writeLe32(&v[0x34], offset);
        EXPECT_EQ(readHeaderOf(v).result, kHeaderBadOffset) << offset;
    }
    // Offset 4: the sound data follow the 56 bytes directly.
    auto v = VgmBuilder(0x150).bytes();
    writeLe32(&v[0x34], 4);
    v[0x38] = 0x62;
    const auto o = readHeaderOf(v);
    EXPECT_EQ(o.result, kHeaderOk);
    EXPECT_EQ(o.nextByte, 0x62);
}

TEST(VgmHeader, FileEndingBeforeSoundDataIsResult4) {
    // Version 1.00 with exactly 56 bytes: the 8 bytes up to 0x40 are missing.
    auto v = VgmBuilder(0x100).bytes();
    v.resize(56);
    EXPECT_EQ(readHeaderOf(v).result, kHeaderTruncated);
    // A data offset pointing past the end of the file.
    auto w = VgmBuilder(0x150).raw({0x66}).bytes();
    writeLe32(&w[0x34], 0x10000);
    EXPECT_EQ(readHeaderOf(w).result, kHeaderTruncated);
    // One byte short of the data offset, and exactly reaching it.
    auto x = VgmBuilder(0x150).bytes();
    x.resize(0xFF);
    EXPECT_EQ(readHeaderOf(x).result, kHeaderTruncated);
    x.resize(0x100);
    EXPECT_EQ(readHeaderOf(x).result, kHeaderOk);
}

TEST(VgmHeader, Ym2612ClockFieldDependsOnVersion) {
    EXPECT_EQ(readHeaderOf(headerWithClocks(0x101, 1111, 2222)).reader.ym2612Clock, 1111);
    EXPECT_EQ(readHeaderOf(headerWithClocks(0x110, 1111, 2222)).reader.ym2612Clock, 2222);
    EXPECT_EQ(readHeaderOf(headerWithClocks(0x150, 1111, 2222)).reader.ym2612Clock, 2222);
    // A zero in the field in use keeps the default even when the other one is set.
    EXPECT_EQ(readHeaderOf(headerWithClocks(0x110, 1111, 0)).reader.ym2612Clock, 7670454);
    EXPECT_EQ(readHeaderOf(headerWithClocks(0x101, 0, 2222)).reader.ym2612Clock, 7670454);
}

TEST(VgmHeader, ClocksKeepAll32Bits) {
    // The top bits flag dual chips in later versions; they are not masked.
    auto v = VgmBuilder(0x150).psgClock(0xC0369C99).ym2612Clock(0x80750AB6).bytes();
    const auto o = readHeaderOf(v);
    EXPECT_EQ(static_cast<uint32_t>(o.reader.psgClock), 0xC0369C99u);
    EXPECT_EQ(static_cast<uint32_t>(o.reader.ym2612Clock), 0x80750AB6u);
    auto z = VgmBuilder(0x150).psgClock(0).bytes();
    EXPECT_EQ(readHeaderOf(z).reader.psgClock, 3579545);
}

TEST(VgmHeader, OldVersionsStartAt0x40) {
    // Before 1.50 the field at 0x34 is not a data offset.
    auto v = VgmBuilder(0x110).raw({0x63}).bytes();
    writeLe32(&v[0x34], 0);
    const auto o = readHeaderOf(v);
    EXPECT_EQ(o.result, kHeaderOk);
    EXPECT_EQ(o.nextByte, 0x63);
    // A version word with the top bit set compares as negative: old layout.
    auto n = VgmBuilder(0x100).raw({0x62}).bytes();
    writeLe32(&n[0x08], 0x80000150);
    writeLe32(&n[0x2C], 1234);
    const auto on = readHeaderOf(n);
    EXPECT_EQ(on.result, kHeaderOk);
    EXPECT_EQ(on.nextByte, 0x62);
    EXPECT_EQ(on.reader.ym2612Clock, 7670454);
}

}  // namespace
