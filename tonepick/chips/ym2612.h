#pragma once
// YM2612 register model: remembers the registers that make up each channel's
// instrument, detects key-on/key-off and pitch changes, and passes the DAC
// registers 0x2A/0x2B on. It knows registers, not the run: the caller owns the
// clock and hands in the sample time of each write, and everything the model
// sees goes to a sink, a template parameter so that the calls inline into the
// dispatcher's loop. A sink provides:
//   void channelEvent(int list, const ChannelEvent& event);   // key and pitch events, lists 0..5
//   int32_t capturePatch(const PatchRecord& image, const PatchKey& key);
//       // key-on with an instrument other than the channel's last one:
//       // the patch index to stamp on its events (-1: none)
//   void keepLouderLevels(int32_t index, const PatchRecord& image);
//       // key-on with the channel's last instrument, already stored at index
//   void dacData(uint8_t value, uint32_t sampleTime);          // register 0x2A
//   void dacEnable(uint8_t value);                             // register 0x2B
//   void weirdWrite(int reg, int value);      // key register naming no channel, or an operator/channel slot 3
//   void keyOnUpdate(int value);              // key mask changed while the channel sounds
//   void unknownRegister(int port, int reg, int value);  // outside 0x20..0xBF
// and, to follow the loudness of the channels, the level reports of
// level_sink.h: at each key-on, and whenever a total-level, algorithm or key
// mask write changes the loudest keyed carrier of a sounding channel.

#include <array>
#include <cstdint>

#include "tonepick/chips/channel_event.h"
#include "tonepick/chips/fm_levels.h"
#include "tonepick/chips/level_sink.h"
#include "tonepick/chips/patch_record.h"

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
    // The loudest keyed carrier level last reported per channel (kept only
    // for a sink that follows levels).
    std::array<uint8_t, 6> reportedLevel{};

    bool operator==(const Ym2612State&) const = default;
};

namespace ym2612_detail {

// Global registers (0x20..0x2F), shared by both ports.
constexpr int kRegLfo = 0x22;
constexpr int kRegCh3ModeTimers = 0x27;
constexpr int kRegKeyOnOff = 0x28;
constexpr int kRegDacData = 0x2A;
constexpr int kRegDacEnable = 0x2B;

// Per-operator blocks 0x30..0x9F, per-channel blocks 0xA0..0xBF.
constexpr int kFirstOperatorReg = 0x30;
constexpr int kFirstFrequencyReg = 0xA0;
constexpr int kFirstAlgorithmReg = 0xB0;
constexpr int kFirstUnmodelledReg = 0xC0;

constexpr uint8_t kLfoBits = 0x0F;
constexpr uint8_t kCh3ModeBits = 0xC0;
constexpr uint8_t kKeyMaskBits = 0xF0;

// Channel 3 (index 2) is the one with the special per-operator frequency mode.
constexpr int kChannel3 = 2;

// The operator field each register block 0x30..0x90 sets, by (reg >> 4) - 3.
constexpr uint8_t OperatorRegs::*kOperatorField[7] = {
    &OperatorRegs::dtMul, &OperatorRegs::tl,    &OperatorRegs::rsAr,  &OperatorRegs::amD1r,
    &OperatorRegs::d2r,   &OperatorRegs::d1lRr, &OperatorRegs::ssgEg,
};

// A write that may change how loud channel ch sounds: reported when the
// channel sounds and its loudest keyed carrier changed.
template <typename Sink>
void followLevel(Ym2612State& ym, uint32_t sampleTime, int ch, Sink& sink) {
    const PatchRecord& image = ym.channel[static_cast<size_t>(ch)];
    if (image.keyMask == 0) return;
    const uint8_t level = loudestCarrierLevel(image);
    uint8_t& reported = ym.reportedLevel[static_cast<size_t>(ch)];
    if (level == reported) return;
    reported = level;
    sink.levelChange(ch, sampleTime, level);
}

// Register 0x28: bits 4..7 key the operators S1..S4, bits 0..2 pick the
// channel (0..2 on the first half of the chip, 4..6 on the second; 3 and 7
// name no channel). The port the write came through does not matter.
template <typename Sink>
void writeKeyOnOff(Ym2612State& ym, uint32_t sampleTime, int value, Sink& sink) {
    if ((value & 3) == 3) {
        sink.weirdWrite(kRegKeyOnOff, value);
        return;
    }
    int c = value & 7;
    if (c > 3) c -= 1;
    const auto slot = static_cast<size_t>(c);
    PatchRecord& image = ym.channel[slot];
    const uint8_t oldMask = image.keyMask;
    const auto newMask = static_cast<uint8_t>(value & kKeyMaskBits);
    if (oldMask != 0 && newMask != 0 && newMask != oldMask) sink.keyOnUpdate(value);
    image.keyMask = newMask;
    if ((oldMask == 0) == (newMask == 0)) {  // no transition: only remembered
        if constexpr (FollowsLevels<Sink>) followLevel(ym, sampleTime, c, sink);
        return;
    }

    const int32_t freq = ym.freqLatch[slot];
    int32_t& index = ym.patchIndex[slot];
    if (newMask != 0) {
        const PatchKey key = patchKey(image);
        if (!ym.captured[slot] || ym.capturedKey[slot] != key) {
            index = sink.capturePatch(image, key);
            ym.capturedKey[slot] = key;
            ym.captured[slot] = true;
        } else if (index >= 0) {
            sink.keepLouderLevels(index, image);
        }
        if constexpr (FollowsLevels<Sink>) {
            const uint8_t level = loudestCarrierLevel(image);
            ym.reportedLevel[slot] = level;
            sink.keyOnLevel(c, sampleTime, level, panBits(image));
        }
        sink.channelEvent(c, ChannelEvent{sampleTime, 1, freq, index});
    } else {
        sink.channelEvent(c, ChannelEvent{sampleTime, 0, freq, index});
    }
}

template <typename Sink>
void writeGlobal(Ym2612State& ym, uint32_t sampleTime, int reg, int value, Sink& sink) {
    switch (reg) {
        case kRegLfo:
            for (PatchRecord& image : ym.channel) image.lfo = static_cast<uint8_t>(value & kLfoBits);
            break;
        case kRegCh3ModeTimers:
            ym.channel[kChannel3].ch3Mode = static_cast<uint8_t>(value & kCh3ModeBits);
            break;
        case kRegKeyOnOff:
            writeKeyOnOff(ym, sampleTime, value, sink);
            break;
        case kRegDacData:
            sink.dacData(static_cast<uint8_t>(value), sampleTime);
            break;
        case kRegDacEnable:
            sink.dacEnable(static_cast<uint8_t>(value));
            break;
        default:
            break;  // timers, test registers: nothing to remember
    }
}

inline void writeOperator(Ym2612State& ym, int ch, int reg, int value) {
    // +0 is S1, +8 is S2, +4 is S3, +C is S4.
    const int k = ((reg >> 3) & 1) | (((reg >> 2) & 1) << 1);
    OperatorRegs& op = ym.channel[static_cast<size_t>(ch)].op[static_cast<size_t>(k)];
    op.*kOperatorField[(reg >> 4) - 3] = static_cast<uint8_t>(value);
}

// A0..A2 / A4..A6 latch a channel's frequency; A8..AA / AC..AE hold the three
// extra operator frequencies of channel 3's special mode, on either port.
// A new pitch shows only when the low byte is written, as the chip itself
// takes the high byte from its latch at that moment.
template <typename Sink>
void writeFrequency(Ym2612State& ym, uint32_t sampleTime, int ch, int reg, int value, Sink& sink) {
    const size_t special = static_cast<size_t>(reg & 3);
    switch (reg & 0x0C) {
        case 0x00: {
            int32_t& latch = ym.freqLatch[static_cast<size_t>(ch)];
            latch = (latch & 0xFF00) | value;
            if (ym.channel[static_cast<size_t>(ch)].keyMask != 0) {
                sink.channelEvent(ch, ChannelEvent{sampleTime, 1, latch, ym.patchIndex[static_cast<size_t>(ch)]});
            }
            break;
        }
        case 0x04: {
            int32_t& latch = ym.freqLatch[static_cast<size_t>(ch)];
            latch = (latch & 0x00FF) | (value << 8);
            break;
        }
        case 0x08:
            ym.ch3SpecialFreq[special] = static_cast<uint16_t>((ym.ch3SpecialFreq[special] & 0xFF00) | value);
            break;
        default:  // 0x0C
            ym.ch3SpecialFreq[special] =
                static_cast<uint16_t>((ym.ch3SpecialFreq[special] & 0x00FF) | (value << 8));
            break;
    }
    std::array<uint16_t, 4>& ch3Freq = ym.channel[kChannel3].ch3Freq;
    ch3Freq[0] = ym.ch3SpecialFreq[1];
    ch3Freq[1] = ym.ch3SpecialFreq[0];
    ch3Freq[2] = ym.ch3SpecialFreq[2];
    ch3Freq[3] = static_cast<uint16_t>(ym.freqLatch[kChannel3] & 0xFFFF);
}

// Everything but the operator registers: global registers, frequencies,
// algorithm and panning, and the registers the model does not know. Kept out
// of line so that the frequent operator writes do not pay for its frame.
template <typename Sink>
[[gnu::noinline]] void writeOtherRegister(Ym2612State& ym, uint32_t sampleTime, int port, int reg, int value,
                                          Sink& sink) {
    if (reg >= kFirstOperatorReg && (reg & 3) == 3) {
        sink.weirdWrite(reg, value);
        return;
    }
    const int ch = (reg & 3) + 3 * port;
    if (reg >= 0x20 && reg < kFirstOperatorReg) {
        writeGlobal(ym, sampleTime, reg, value, sink);
    } else if (reg >= kFirstFrequencyReg && reg < kFirstAlgorithmReg) {
        writeFrequency(ym, sampleTime, ch, reg, value, sink);
    } else if (reg >= kFirstAlgorithmReg && reg < kFirstUnmodelledReg) {
        PatchRecord& image = ym.channel[static_cast<size_t>(ch)];
        if ((reg & 0x0C) == 0x00) {
            image.fbAlg = static_cast<uint8_t>(value);
            if constexpr (FollowsLevels<Sink>) followLevel(ym, sampleTime, ch, sink);
        } else if ((reg & 0x0C) == 0x04) {
            image.lrAmsFms = static_cast<uint8_t>(value);
        }  // B8..BE: nothing there
    } else {
        sink.unknownRegister(port, reg, value);
    }
}

}  // namespace ym2612_detail

// One register write at `sampleTime`. port is 0 or 1 (other values count as
// 1); reg and value are taken modulo 256.
template <typename Sink>
inline void ym2612Write(Ym2612State& ym, uint32_t sampleTime, int port, int reg, int value, Sink& sink) {
    using namespace ym2612_detail;
    port = port != 0 ? 1 : 0;
    reg &= 0xFF;
    value &= 0xFF;
    // Operator registers 0x30..0x9F of a real channel (low bits 0..2) are
    // most writes of a log: the shortest path.
    if (static_cast<unsigned>(reg - kFirstOperatorReg) < kFirstFrequencyReg - kFirstOperatorReg && (reg & 3) != 3) {
        const int ch = (reg & 3) + 3 * port;
        writeOperator(ym, ch, reg, value);
        if constexpr (FollowsLevels<Sink>) {
            constexpr int kTotalLevelBlock = 0x40;
            if ((reg & 0xF0) == kTotalLevelBlock) followLevel(ym, sampleTime, ch, sink);
        }
        return;
    }
    writeOtherRegister(ym, sampleTime, port, reg, value, sink);
}
