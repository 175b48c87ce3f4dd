#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "common/instrument_formats/gems_patch.h"
#include "common/instrument_formats/instrument_formats.h"
#include "tests/support/midi_dump.h"

namespace {

using GemsPatch = uint8_t[kGemsFmPatchSize];

std::vector<uint8_t> writeGems(const PatchRecord& r) {
    std::array<uint8_t, kMaxInstrumentSize> b{};
    EXPECT_EQ(writeInstrument(r, kInstrumentGems, b.data()), InstrumentWrite::kWritten);
    return std::vector<uint8_t>(b.begin(), b.begin() + kGemsFmPatchSize);
}

// Every register distinct, so that a swapped operator or byte pair shows.
PatchRecord distinctRecord() {
    PatchRecord r;
    r.op[0] = OperatorRegs{0x51, 0x85, 0x5F, 0x83, 0x04, 0x25, 0};  // S1
    r.op[1] = OperatorRegs{0x12, 0x16, 0x9E, 0x67, 0x08, 0x36, 0};  // S2
    r.op[2] = OperatorRegs{0x63, 0x27, 0xDD, 0x8B, 0x0C, 0x47, 0};  // S3
    r.op[3] = OperatorRegs{0x74, 0x38, 0x3C, 0x0F, 0xF0, 0x58, 0};  // S4
    r.fbAlg = 0x33;
    r.lrAmsFms = 0xE5;
    r.lfo = 0x0B;
    r.keyMask = 0xB0;
    r.ch3Mode = 0x40;
    r.ch3Freq = {0x1A2B, 0x3C4D, 0x5E6F, 0x2345};
    return r;
}

TEST(GemsPatchTest, ReadsBackEveryRegisterTheGemsWriterStores) {
    const std::vector<uint8_t> image = writeGems(distinctRecord());
    GemsPatch patch;
    std::copy(image.begin(), image.end(), patch);
    EXPECT_EQ(patchFromGems(patch), distinctRecord());
}

TEST(GemsPatchTest, GemsBytesRoundTripThroughTheRegisterImage) {
    // Pseudo-random patches: every byte the layout gives a register survives
    // writing the image back as gems; byte 37 keeps its operator bits only.
    uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<uint8_t>(seed >> 16);
    };
    for (int n = 0; n < 200; ++n) {
        GemsPatch patch;
        for (uint8_t& b : patch) b = next();
        patch[0] = 0;
        const PatchRecord r = patchFromGems(patch);
        std::vector<uint8_t> expected(patch, patch + kGemsFmPatchSize);
        expected[37] &= 0x0F;
        expected[38] = 0;
        ASSERT_EQ(hexBytes(writeGems(r)), hexBytes(expected)) << "patch " << n;
        EXPECT_EQ(r.keyMask, (patch[37] & 0x0F) << 4);
        for (const OperatorRegs& op : r.op) EXPECT_EQ(op.ssgEg, 0);  // GEMS stores no SSG-EG
    }
}

}  // namespace
