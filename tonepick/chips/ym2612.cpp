#include "tonepick/chips/ym2612.h"

#include <cstdio>

#include "tonepick/chips/dac_capture.h"
#include "tonepick/instruments/patch_list.h"
#include "tonepick/tonepick_run.h"

namespace {

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

void printWeirdWrite(TonepickRun& run, int reg, int value) {
    std::fprintf(run.out, "Weird YM2612 reg write: %02X %02X\n", reg, value);
}

void appendEvent(TonepickRun& run, int ch, int32_t on, int32_t freq, int32_t patchIndex) {
    recordChannelEvent(run.channelEvents, run.eventSpill, ch,
                       ChannelEvent{run.stream.sampleTime, on, freq, patchIndex});
}

// Register 0x28: bits 4..7 key the operators S1..S4, bits 0..2 pick the
// channel (0..2 on the first half of the chip, 4..6 on the second; 3 and 7
// name no channel). The port the write came through does not matter.
void writeKeyOnOff(TonepickRun& run, int value) {
    if ((value & 3) == 3) {
        printWeirdWrite(run, kRegKeyOnOff, value);
        return;
    }
    int c = value & 7;
    if (c > 3) c -= 1;
    PatchRecord& image = run.ym.channel[static_cast<size_t>(c)];
    const uint8_t oldMask = image.keyMask;
    const auto newMask = static_cast<uint8_t>(value & kKeyMaskBits);
    if (oldMask != 0 && newMask != 0 && newMask != oldMask) {
        std::fprintf(run.out, "Unexpected behavior: key on update %02X %02X\n", kRegKeyOnOff, value);
    }
    image.keyMask = newMask;
    if ((oldMask == 0) == (newMask == 0)) return;  // no transition: only remembered

    const int32_t freq = run.ym.freqLatch[static_cast<size_t>(c)];
    int32_t& index = run.ym.patchIndex[static_cast<size_t>(c)];
    if (newMask != 0) {
        const auto slot = static_cast<size_t>(c);
        const PatchKey key = patchKey(image);
        if (!run.ym.captured[slot] || run.ym.capturedKey[slot] != key) {
            const bool wasFull = run.patches.full;
            index = capturePatchWithKey(run.patches, image, key);
            if (run.patches.full && !wasFull) {
                std::fprintf(run.out, "Warning: only the first %zu instruments are kept\n", kMaxPatches);
            }
            run.ym.capturedKey[slot] = key;
            run.ym.captured[slot] = true;
        } else if (index >= 0) {
            keepLouderLevels(run.patches, index, image);
        }
        appendEvent(run, c, 1, freq, index);
    } else {
        appendEvent(run, c, 0, freq, index);
    }
}

void writeGlobal(TonepickRun& run, int reg, int value) {
    switch (reg) {
        case kRegLfo:
            for (PatchRecord& image : run.ym.channel) image.lfo = static_cast<uint8_t>(value & kLfoBits);
            break;
        case kRegCh3ModeTimers:
            run.ym.channel[kChannel3].ch3Mode = static_cast<uint8_t>(value & kCh3ModeBits);
            break;
        case kRegKeyOnOff:
            writeKeyOnOff(run, value);
            break;
        case kRegDacData:
            dacData(run, static_cast<uint8_t>(value));
            break;
        case kRegDacEnable:
            dacEnable(run, static_cast<uint8_t>(value));
            break;
        default:
            break;  // timers, test registers: nothing to remember
    }
}

// The operator field each register block 0x30..0x90 sets, by (reg >> 4) - 3.
constexpr uint8_t OperatorRegs::*kOperatorField[7] = {
    &OperatorRegs::dtMul, &OperatorRegs::tl,    &OperatorRegs::rsAr,  &OperatorRegs::amD1r,
    &OperatorRegs::d2r,   &OperatorRegs::d1lRr, &OperatorRegs::ssgEg,
};

void writeOperator(TonepickRun& run, int ch, int reg, int value) {
    // +0 is S1, +8 is S2, +4 is S3, +C is S4.
    const int k = ((reg >> 3) & 1) | (((reg >> 2) & 1) << 1);
    OperatorRegs& op = run.ym.channel[static_cast<size_t>(ch)].op[static_cast<size_t>(k)];
    op.*kOperatorField[(reg >> 4) - 3] = static_cast<uint8_t>(value);
}

// A0..A2 / A4..A6 latch a channel's frequency; A8..AA / AC..AE hold the three
// extra operator frequencies of channel 3's special mode, on either port.
// A new pitch shows only when the low byte is written, as the chip itself
// takes the high byte from its latch at that moment.
void writeFrequency(TonepickRun& run, int ch, int reg, int value) {
    Ym2612State& ym = run.ym;
    const size_t special = static_cast<size_t>(reg & 3);
    switch (reg & 0x0C) {
        case 0x00: {
            int32_t& latch = ym.freqLatch[static_cast<size_t>(ch)];
            latch = (latch & 0xFF00) | value;
            if (ym.channel[static_cast<size_t>(ch)].keyMask != 0) {
                appendEvent(run, ch, 1, latch, ym.patchIndex[static_cast<size_t>(ch)]);
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
[[gnu::noinline]] void writeOtherRegister(TonepickRun& run, int port, int reg, int value) {
    if (reg >= kFirstOperatorReg && (reg & 3) == 3) {
        printWeirdWrite(run, reg, value);
        return;
    }
    const int ch = (reg & 3) + 3 * port;
    if (reg >= 0x20 && reg < kFirstOperatorReg) {
        writeGlobal(run, reg, value);
    } else if (reg >= kFirstFrequencyReg && reg < kFirstAlgorithmReg) {
        writeFrequency(run, ch, reg, value);
    } else if (reg >= kFirstAlgorithmReg && reg < kFirstUnmodelledReg) {
        PatchRecord& image = run.ym.channel[static_cast<size_t>(ch)];
        if ((reg & 0x0C) == 0x00) {
            image.fbAlg = static_cast<uint8_t>(value);
        } else if ((reg & 0x0C) == 0x04) {
            image.lrAmsFms = static_cast<uint8_t>(value);
        }  // B8..BE: nothing there
    } else {
        std::fprintf(run.out, "YM2612_%d %02X %02X\n", port, reg, value);
    }
}

}  // namespace

void ym2612Write(TonepickRun& run, int port, int reg, int value) {
    port = port != 0 ? 1 : 0;
    reg &= 0xFF;
    value &= 0xFF;
    // Operator registers 0x30..0x9F of a real channel (low bits 0..2) are
    // most writes of a log: the shortest path.
    if (static_cast<unsigned>(reg - kFirstOperatorReg) < kFirstFrequencyReg - kFirstOperatorReg && (reg & 3) != 3) {
        writeOperator(run, (reg & 3) + 3 * port, reg, value);
        return;
    }
    writeOtherRegister(run, port, reg, value);
}
