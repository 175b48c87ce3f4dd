#pragma once
// YM2612 register model: remembers the registers that make up each channel's
// instrument, detects key-on/key-off and pitch changes, and hands the DAC
// registers 0x2A/0x2B to the DAC capture.

#include <array>
#include <cstdint>

#include "tonepick/chips/patch_record.h"

struct TonepickRun;

struct Ym2612State {
    std::array<PatchRecord, 6> channel{};
    std::array<int32_t, 6> freqLatch{};        // per channel: (A4 value << 8) | A0 value
    std::array<uint16_t, 3> ch3SpecialFreq{};  // A8/AC, A9/AD, AA/AE pairs (index reg & 3)
    std::array<int32_t, 6> patchIndex{};       // patch index of each channel's last key-on
    // The image each channel had at its last patch capture. A key-on with the
    // very same image needs no lookup: it matches the same stored patch, and
    // its levels cannot be louder than the ones kept there.
    std::array<PatchRecord, 6> capturedImage{};
    std::array<bool, 6> captured{};

    bool operator==(const Ym2612State&) const = default;
};

// One register write. port is 0 or 1; reg and value are 0..255. Appends key
// events to run.channelEvents, captures patches at key-on, prints diagnostics.
void ym2612Write(TonepickRun& run, int port, int reg, int value);
