#pragma once
// How loud an FM channel sounds, from its register image. Only the carriers,
// the operators whose output reaches the mix rather than modulating another,
// make the channel's loudness; which ones they are depends on the algorithm
// (register 0xB0, bits 0..2). Each total-level step (register 0x40, 7 bits)
// attenuates an operator by 0.75 dB.

#include <cstdint>

#include "tonepick/chips/level_events.h"
#include "tonepick/chips/patch_record.h"

// Carriers of algorithms 0..7 as bits 0..3 for S1..S4, the order of the
// key-on bits 4..7: 0-3 end in S4 alone, 4 is two pairs ending in S2 and S4,
// 5 and 6 feed S2, S3 and S4 in parallel, 7 is four carriers.
constexpr uint8_t kCarrierOperators[8] = {0x8, 0x8, 0x8, 0x8, 0xA, 0xE, 0xE, 0xF};

inline uint8_t carrierOperators(uint8_t fbAlg) { return kCarrierOperators[fbAlg & 7]; }

// The smallest total level among the keyed carriers (the loudest of them), or
// kFmNoCarrier when the key-on mask keys no carrier: nothing is heard then.
inline uint8_t loudestCarrierLevel(const PatchRecord& image) {
    constexpr uint8_t kTlBits = 0x7F;
    const unsigned keyed = carrierOperators(image.fbAlg) & (image.keyMask >> 4);
    uint8_t level = kFmNoCarrier;
    for (int k = 0; k < 4; ++k) {
        if (((keyed >> k) & 1) == 0) continue;
        const auto tl = static_cast<uint8_t>(image.op[static_cast<size_t>(k)].tl & kTlBits);
        if (tl < level) level = tl;
    }
    return level;
}

// The L/R bits of register 0xB4 (bit 7 left, bit 6 right) as kPanLeft | kPanRight.
inline uint8_t panBits(const PatchRecord& image) { return static_cast<uint8_t>((image.lrAmsFms >> 6) & 3); }
