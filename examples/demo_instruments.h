#pragma once
// The three FM instruments of the demos: the VGM tune writes them into the
// YM2612 registers, the GEMS demo bank stores them as patches. Fields are the
// YM2612 register values, one entry per operator in operator order S1..S4
// (register offsets +0, +8, +4, +C).

#include <array>
#include <cstdint>

struct FmInstrument {
    uint8_t algFb;  // register 0xB0: feedback in bits 3..5, algorithm in bits 0..2
    std::array<uint8_t, 4> dtMul, tl, rsAr, amD1r, d2r, d1lRr, ssgEg;
};

// Two modulator/carrier pairs with feedback: a bright lead.
constexpr FmInstrument kDemoLead{(5 << 3) | 4,
                                 {0x71, 0x31, 0x32, 0x31}, {0x23, 0x10, 0x2A, 0x10},
                                 {0x1F, 0x1F, 0x1F, 0x1F}, {0x05, 0x08, 0x05, 0x08},
                                 {0x02, 0x02, 0x02, 0x02}, {0x26, 0x27, 0x26, 0x27},
                                 {0, 0, 0, 0}};
// Four operators in series with strong feedback: a plucked bass.
constexpr FmInstrument kDemoBass{(6 << 3) | 0,
                                 {0x01, 0x02, 0x01, 0x01}, {0x1C, 0x22, 0x18, 0x08},
                                 {0x5F, 0x5F, 0x5F, 0x9F}, {0x0A, 0x0A, 0x0A, 0x0C},
                                 {0x04, 0x04, 0x04, 0x04}, {0x38, 0x38, 0x38, 0x3A},
                                 {0, 0, 0, 0}};
// Four carriers, slow attack: a pad.
constexpr FmInstrument kDemoPad{7,
                                {0x31, 0x01, 0x71, 0x01}, {0x24, 0x24, 0x24, 0x24},
                                {0x0F, 0x0F, 0x0F, 0x0F}, {0x02, 0x02, 0x02, 0x02},
                                {0x01, 0x01, 0x01, 0x01}, {0x14, 0x14, 0x14, 0x14},
                                {0, 0, 0, 0}};
