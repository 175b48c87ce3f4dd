#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/support/midi_dump.h"
#include "common/instrument_formats/instrument_formats.h"

namespace {

// Every field distinct, so that a swapped operator, field or nibble shows.
// S3 is not keyed (mask 0xB0), so its heard total level is 0x7F; S1's tl has
// bit 7 set; high bits outside the decoded fields are set in S2 and S4.
PatchRecord distinctRecord() {
    PatchRecord r;
    r.op[0] = OperatorRegs{0x51, 0x85, 0x5F, 0x83, 0x04, 0x25, 0x09};  // S1
    r.op[1] = OperatorRegs{0x12, 0x16, 0x9E, 0x67, 0x08, 0x36, 0x1A};  // S2
    r.op[2] = OperatorRegs{0x63, 0x27, 0xDD, 0x8B, 0x0C, 0x47, 0x0B};  // S3
    r.op[3] = OperatorRegs{0x74, 0x38, 0x3C, 0x0F, 0xF0, 0x58, 0x0C};  // S4
    r.fbAlg = 0x33;     // FB 6, ALG 3
    r.lrAmsFms = 0xE5;  // L/R 3, AMS 2, FMS 5
    r.lfo = 0x0B;
    r.keyMask = 0xB0;
    r.ch3Mode = 0x40;
    r.ch3Freq = {0x1A2B, 0x3C4D, 0x5E6F, 0x2345};
    return r;
}

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<uint8_t> render(const PatchRecord& r, int type, uint8_t fill) {
    std::array<uint8_t, kMaxInstrumentSize + 8> buffer;
    buffer.fill(fill);
    EXPECT_EQ(writeInstrument(r, type, buffer.data()), InstrumentWrite::kWritten);
    const auto size = static_cast<size_t>(instrumentTypeSize(type));
    for (size_t i = size; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], fill) << "type " << type << " wrote past its size";
    return std::vector<uint8_t>(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
}

struct Expected {
    int type;
    std::vector<uint8_t> bytes;
};

std::vector<Expected> expectedImages() {
    const std::vector<uint8_t> zeros9(9, 0);
    // Decoded operators (register order S1, S3, S2, S4).
    const std::vector<uint8_t> tfiOps = {
        0x01, 0x02, 0x05, 0x01, 0x1F, 0x03, 0x04, 0x05, 0x02, 0x09,  // S1
        0x03, 0x01, 0x7F, 0x03, 0x1D, 0x0B, 0x0C, 0x07, 0x04, 0x0B,  // S3
        0x02, 0x04, 0x16, 0x02, 0x1E, 0x07, 0x08, 0x06, 0x03, 0x0A,  // S2
        0x04, 0x00, 0x38, 0x00, 0x1C, 0x0F, 0x10, 0x08, 0x05, 0x0C,  // S4
    };
    const std::vector<uint8_t> vgiOps = {
        0x01, 0x02, 0x05, 0x01, 0x1F, 0x83, 0x04, 0x05, 0x02, 0x09,  // S1
        0x03, 0x01, 0x7F, 0x03, 0x1D, 0x8B, 0x0C, 0x07, 0x04, 0x0B,  // S3
        0x02, 0x04, 0x16, 0x02, 0x1E, 0x67, 0x08, 0x06, 0x03, 0x0A,  // S2
        0x04, 0x00, 0x38, 0x00, 0x1C, 0x0F, 0x10, 0x08, 0x05, 0x0C,  // S4
    };
    const std::vector<uint8_t> dmpBody = {
        0x05, 0x06, 0x03, 0x02,                                            // FMS FB ALG AMS
        0x01, 0x05, 0x1F, 0x03, 0x02, 0x05, 0x01, 0x01, 0x02, 0x04, 0x09,  // S1
        0x03, 0x7F, 0x1D, 0x0B, 0x04, 0x07, 0x01, 0x03, 0x01, 0x0C, 0x0B,  // S3
        0x02, 0x16, 0x1E, 0x07, 0x03, 0x06, 0x00, 0x02, 0x04, 0x08, 0x0A,  // S2
        0x04, 0x38, 0x1C, 0x0F, 0x05, 0x08, 0x00, 0x00, 0x00, 0x10, 0x0C,  // S4
    };
    // Register blocks, each S1 S3 S2 S4, with the heard total level.
    const std::vector<uint8_t> registerBlocks = {
        0x51, 0x63, 0x12, 0x74,  // dtMul
        0x05, 0x7F, 0x16, 0x38,  // TLK
        0x5F, 0xDD, 0x9E, 0x3C,  // rsAr
        0x83, 0x8B, 0x67, 0x0F,  // amD1r
        0x04, 0x0C, 0x08, 0xF0,  // d2r
        0x25, 0x47, 0x36, 0x58,  // d1lRr
        0x09, 0x0B, 0x1A, 0x0C,  // ssgEg
    };
    return {
        {0, {0x00, 0x0B, 0x40, 0x33, 0xE5,
             0x51, 0x85, 0x5F, 0x83, 0x04, 0x25,   // S1, total level as stored
             0x63, 0x27, 0xDD, 0x8B, 0x0C, 0x47,   // S3, unkeyed but as stored
             0x12, 0x16, 0x9E, 0x67, 0x08, 0x36,   // S2
             0x74, 0x38, 0x3C, 0x0F, 0xF0, 0x58,   // S4
             0x23, 0x45, 0x5E, 0x6F, 0x1A, 0x2B, 0x3C, 0x4D,  // A6 A2, AE AA, AD A9, AC A8
             0x0B, 0x00}},
        {1, concat({registerBlocks, {0x33, 0xE5, 0x59, 0x49}})},
        {2, concat({{0x03, 0x06}, tfiOps})},
        {3, concat({{0x33}, registerBlocks})},
        {4, concat({{0x51, 0x05, 0x5F, 0x83, 0x04, 0x25, 0x09}, zeros9,
                    {0x63, 0x7F, 0xDD, 0x8B, 0x0C, 0x47, 0x0B}, zeros9,
                    {0x12, 0x16, 0x9E, 0x67, 0x08, 0x36, 0x1A}, zeros9,
                    {0x74, 0x38, 0x3C, 0x0F, 0xF0, 0x58, 0x0C}, zeros9,
                    {0x03, 0x06}, std::vector<uint8_t>(62, 0)})},
        {5, concat({{0x03, 0x06, 0x25}, vgiOps})},
        {6, concat({{0x05, 0x01, 0x01}, dmpBody})},
        {7, concat({{0x00}, dmpBody})},
        {8, {0x33,
             0x51, 0x12, 0x63, 0x74,  // dtMul, operator order S1 S2 S3 S4
             0x5F, 0x9E, 0xDD, 0x3C,  // rsAr
             0x83, 0x67, 0x8B, 0x0F,  // amD1r
             0x04, 0x08, 0x0C, 0xF0,  // d2r
             0x25, 0x36, 0x47, 0x58,  // d1lRr
             0x05, 0x16, 0x7F, 0x38}},  // TLK
    };
}

TEST(InstrumentFormatsTest, EveryFormatByteExact) {
    const PatchRecord r = distinctRecord();
    for (const Expected& e : expectedImages()) {
        SCOPED_TRACE(instrumentTypeName(e.type));
        EXPECT_EQ(static_cast<size_t>(instrumentTypeSize(e.type)), e.bytes.size());
        // Two different buffer fillings: no byte may be left over from before.
        EXPECT_EQ(hexBytes(render(r, e.type, 0xEE)), hexBytes(e.bytes));
        EXPECT_EQ(hexBytes(render(r, e.type, 0x00)), hexBytes(e.bytes));
    }
}

TEST(InstrumentFormatsTest, DetuneRecodingAndSizes) {
    const uint8_t recoded[8] = {3, 4, 5, 6, 3, 2, 1, 0};
    for (int field = 0; field < 8; ++field) {
        PatchRecord r;
        r.op[0].dtMul = static_cast<uint8_t>(field << 4 | 0x80 | 0x0E);  // bit 7 is not detune
        std::array<uint8_t, kMaxInstrumentSize> b{};
        writeInstrument(r, 2, b.data());  // tfi: S1 MUL at 2, DT at 3
        EXPECT_EQ(b[2], 0x0E);
        EXPECT_EQ(b[3], recoded[field]) << field;
        writeInstrument(r, 6, b.data());  // dmp: S1 DT at 7 + 8
        EXPECT_EQ(b[15], recoded[field]) << field;
    }
    const int sizes[kInstrumentTypeCount] = {39, 32, 42, 29, 128, 43, 51, 49, 25};
    for (int t = 0; t < kInstrumentTypeCount; ++t) {
        EXPECT_EQ(instrumentTypeSize(t), sizes[t]);
        EXPECT_LE(sizes[t], kMaxInstrumentSize);
    }
    std::array<uint8_t, kMaxInstrumentSize> b;
    b.fill(0xAB);
    EXPECT_EQ(writeInstrument(PatchRecord{}, 9, b.data()), InstrumentWrite::kUnknownType);
    EXPECT_EQ(writeInstrument(PatchRecord{}, -1, b.data()), InstrumentWrite::kUnknownType);
    for (uint8_t x : b) EXPECT_EQ(x, 0xAB);
}

TEST(InstrumentFormatsTest, NamesAndLookup) {
    const char* names[] = {"gems", "tyi", "tfi", "eif", "y12", "vgi", "dmp", "dmp0", "smps"};
    for (int t = 0; t < kInstrumentTypeCount; ++t) {
        EXPECT_STREQ(instrumentTypeName(t), names[t]);
        EXPECT_EQ(instrumentTypeByName(names[t]), t);
    }
    EXPECT_EQ(instrumentTypeByName("GEMS"), kInstrumentGems);
    EXPECT_EQ(instrumentTypeByName("TFI"), kInstrumentTfi);
    EXPECT_EQ(instrumentTypeByName("Dmp0"), kInstrumentDmp0);
    EXPECT_EQ(instrumentTypeByName("DMP"), kInstrumentDmp);
    EXPECT_EQ(instrumentTypeByName("SmPs"), kInstrumentSmps);
    EXPECT_EQ(instrumentTypeByName(""), kInstrumentUnknown);
    EXPECT_EQ(instrumentTypeByName("dm"), kInstrumentUnknown);
    EXPECT_EQ(instrumentTypeByName("gemss"), kInstrumentUnknown);
    EXPECT_EQ(instrumentTypeByName("y 12"), kInstrumentUnknown);
}

}  // namespace
