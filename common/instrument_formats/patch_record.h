#pragma once
// The register image of one YM2612 channel's instrument, the form every
// instrument file format is made from.
//
// Operator order: S1, S2, S3, S4 sit at register offsets +0, +8, +4, +C of a
// per-operator block, so "register order" (+0, +4, +8, +C) is S1, S3, S2, S4.
// `op` is kept in operator order; bits 4..7 of a key-on value are S1..S4.

#include <array>
#include <cstddef>
#include <cstdint>

struct OperatorRegs {
    uint8_t dtMul = 0;  // 0x30: detune bits 4..6, multiple bits 0..3
    uint8_t tl = 0;     // 0x40: total level bits 0..6
    uint8_t rsAr = 0;   // 0x50: rate scaling bits 6..7, attack rate bits 0..4
    uint8_t amD1r = 0;  // 0x60: AM enable bit 7, first decay rate bits 0..4
    uint8_t d2r = 0;    // 0x70: second decay rate bits 0..4
    uint8_t d1lRr = 0;  // 0x80: first decay level bits 4..7, release rate bits 0..3
    uint8_t ssgEg = 0;  // 0x90: SSG-EG bits 0..3

    bool operator==(const OperatorRegs&) const = default;
};

struct PatchRecord {
    std::array<OperatorRegs, 4> op{};     // S1, S2, S3, S4
    uint8_t fbAlg = 0;                    // 0xB0+ch: feedback bits 3..5, algorithm bits 0..2
    uint8_t lrAmsFms = 0;                 // 0xB4+ch: L/R bits 6..7, AMS bits 4..5, FMS bits 0..2
    uint8_t lfo = 0;                      // 0x22 value & 0x0F, same in all channels
    uint8_t keyMask = 0;                  // 0x28 value & 0xF0: keyed operators (0 = silent)
    uint8_t ch3Mode = 0;                  // 0x27 value & 0xC0, channel 3 only
    std::array<uint16_t, 4> ch3Freq{};    // channel 3 only: A9/AD, A8/AC, AA/AE, A2/A6 pairs

    bool operator==(const PatchRecord&) const = default;
};

// True when operator k (0..3, operator order) is keyed in the record's mask.
inline bool operatorKeyed(const PatchRecord& p, int k) { return (p.keyMask >> (4 + k)) & 1; }
