#include "common/instrument_formats/gems_patch.h"

#include <array>

namespace {

// Operator index (S1..S4) of each 6-byte group, as the groups follow in the
// patch: the chip's register order.
constexpr std::array<size_t, 4> kGroupOperator{0, 2, 1, 3};

uint16_t highByteFirst(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

}  // namespace

PatchRecord patchFromGems(const uint8_t (&p)[kGemsFmPatchSize]) {
    PatchRecord r;
    r.lfo = p[1];
    r.ch3Mode = p[2];
    r.fbAlg = p[3];
    r.lrAmsFms = p[4];
    for (size_t g = 0; g < 4; ++g) {
        const uint8_t* group = p + 5 + 6 * g;
        OperatorRegs& op = r.op[kGroupOperator[g]];
        op.dtMul = group[0];
        op.tl = group[1];
        op.rsAr = group[2];
        op.amD1r = group[3];
        op.d2r = group[4];
        op.d1lRr = group[5];
    }
    // Channel 3 frequency pairs, stored A6/A2, AE/AA, AD/A9, AC/A8.
    r.ch3Freq[3] = highByteFirst(p + 29);
    r.ch3Freq[2] = highByteFirst(p + 31);
    r.ch3Freq[0] = highByteFirst(p + 33);
    r.ch3Freq[1] = highByteFirst(p + 35);
    r.keyMask = static_cast<uint8_t>((p[37] & 0x0F) << 4);
    return r;
}
