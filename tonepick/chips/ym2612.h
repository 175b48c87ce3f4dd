#pragma once
// YM2612 register model: remembers the registers that make up each channel's
// instrument, detects key-on/key-off and pitch changes, and hands the DAC
// registers 0x2A/0x2B to the DAC capture.

#include <array>
#include <cstdint>

#include "tonepick/chips/patch_record.h"
#include "tonepick/instruments/patch_list.h"

struct TonepickRun;

struct Ym2612State {
    std::array<PatchRecord, 6> channel{};
    std::array<int32_t, 6> freqLatch{};        // per channel: (A4 value << 8) | A0 value
    std::array<uint16_t, 3> ch3SpecialFreq{};  // A8/AC, A9/AD, AA/AE pairs (index reg & 3)
    std::array<int32_t, 6> patchIndex{};       // patch index of each channel's last key-on
    // The match key of each channel's last patch capture. A key-on with the
    // same key needs no lookup: it matches the same stored patch (or, when the
    // list was full, still none), whose levels it may only raise. Volume
    // changes between notes leave the key alone.
    std::array<PatchKey, 6> capturedKey{};
    std::array<bool, 6> captured{};

    bool operator==(const Ym2612State&) const = default;
};

// One register write. port is 0 or 1; reg and value are 0..255. Appends key
// events to run.channelEvents, captures patches at key-on, prints diagnostics.
void ym2612Write(TonepickRun& run, int port, int reg, int value);
