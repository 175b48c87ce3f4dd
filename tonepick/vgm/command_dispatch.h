#pragma once
// Turns VGM commands into the run's clock and chip register writes. The
// dispatcher owns time (StreamState::sampleTime) and the PCM read position;
// the chips it drives are a template parameter, so that their register models
// inline into the walk. `Chips` provides:
//   void ym2612(int port, int reg, int value, uint32_t sampleTime);
//   void psg(uint8_t data, uint32_t sampleTime);
//   void dacData(uint8_t value, uint32_t sampleTime);   // one YM2612 DAC byte (register 0x2A)
//   void dacDataRun(const uint8_t* bytes, size_t count, uint32_t firstTime, uint32_t lastTime);
//       // `count` DAC bytes, as `count` dacData calls from firstTime to lastTime
//   void unhandled(uint8_t command);                   // a command it does not know
//   void pcmData(uint32_t block, uint32_t position, uint8_t value, uint32_t sampleTime);
//   void pcmDataRun(uint32_t block, uint32_t position, const uint8_t* bytes, size_t count,
//                   uint32_t firstTime, uint32_t lastTime);
//       // DAC bytes of commands 0x80..0x8F, read at `position` of data block `block`
//   void pcmPlayBreak();                               // a seek or a new PCM block
//   void streamStarted(int stream);
//   void streamBytes(int stream, const uint8_t* bytes, size_t count, uint32_t firstTime, uint32_t lastTime,
//                    uint64_t firstWrite);
//       // DAC bytes a stream wrote, as a dacDataRun
//
// DAC streams (0x90..0x95) write the DAC between the log's own commands. Their
// writes are made lazily: before any command that can see the DAC or the
// stream bank (a write of register 0x2A or 0x2B, 0x80..0x8F, a stream
// command, a data block of type 0x00, the end), the streams catch up with all
// sample times before the current one. While a stream plays, the runs below
// leave every such command to command().

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "common/byte_order.h"
#include "tonepick/vgm/dac_stream_player.h"
#include "tonepick/vgm/stream_state.h"
#include "tonepick/vgm/vgm_commands.h"
#include "tonepick/vgm/vgm_reader.h"
#include "tonepick/vgm/vgm_walk.h"

// The byte that commands 0x80..0x8F send to the DAC at `offset`: false when
// there is no type 0x00 block or `offset` lies at or beyond its end.
bool pcmByteAt(const VgmReader& reader, uint32_t offset, uint8_t& byte);

namespace dispatch_detail {

constexpr uint8_t kWaitMask = 0x0F;
constexpr uint64_t kEveryByte = 0x0101010101010101u;
constexpr uint8_t kDacDataRegister = 0x2A;
constexpr size_t kDirectWriteCommandSize = 3;  // 0x52 0x2A value
constexpr size_t kGatheredDacBytes = 4096;
constexpr size_t kLongestChipCommand = 3;  // 0x52, 0x53, 0x61 with their operands
constexpr uint8_t kDacRegistersMask = 0xFE;  // 0x2A (data) and 0x2B (switch) alike

// The length of the run of commands 0x80..0x8F at the start of [p, p + limit),
// with the sum of their waits. Eight commands at a time: their high nibbles
// are compared at once, and the low nibbles (at most 8 * 15) summed by one
// multiplication into the top byte.
inline size_t pcmCommandRun(const uint8_t* p, size_t limit, uint32_t& waits) {
    size_t i = 0;
    uint32_t sum = 0;
    for (; limit - i >= 8; i += 8) {
        uint64_t word = 0;
        for (int k = 0; k < 8; ++k) word |= static_cast<uint64_t>(p[i + static_cast<size_t>(k)]) << (8 * k);
        if ((word & (0xF0 * kEveryByte)) != kVgmDacWriteFirst * kEveryByte) break;
        sum += static_cast<uint32_t>(((word & (kWaitMask * kEveryByte)) * kEveryByte) >> 56);
    }
    for (; i < limit && (p[i] & 0xF0) == kVgmDacWriteFirst; ++i) sum += p[i] & kWaitMask;
    waits = sum;
    return i;
}

// The dispatcher as the walk's handler (see walkCommandsWith): command() for
// one command, run() for runs of PCM commands, of direct DAC writes and of
// other chip writes and waits, taken whole.
template <typename Chips>
struct CommandDispatcher {
    StreamState& stream;
    const VgmReader& reader;
    Chips& chips;

    bool command(uint8_t command, const uint8_t* operands) {
        if (applyChipCommand(command, operands) >= 0) [[likely]] return false;
        StreamState& s = stream;
        if ((command & 0xF0) == kVgmDacWriteFirst) {
            catchUpStreams();
            uint8_t byte = 0;
            // A PCM byte is a YM2612 write of register 0x2A on port 0, which goes
            // straight to the DAC capture.
            if (pcmByteAt(reader, s.pcmOffset, byte))
                chips.pcmData(static_cast<uint32_t>(reader.pcmBlock), s.pcmOffset, byte, s.sampleTime);
            s.pcmOffset += 1;
            s.sampleTime += command & kWaitMask;  // 0..15, unlike 0x7n
            return false;
        }
        if (command >= kVgmStreamSetup && command <= kVgmStreamStartFast && reader.version >= kVgmStreamControlVersion) {
            catchUpStreams();
            if (applyStreamCommand(s.dacStreams, command, operands) == StreamCommandResult::kUnhandled) {
                chips.unhandled(command);
            } else if ((command == kVgmStreamStart || command == kVgmStreamStartFast) &&
                       s.dacStreams.streams[operands[0]].playing) {
                chips.streamStarted(operands[0]);
            }
            return false;
        }
        switch (command) {
            case kVgmGameGearStereo:
                break;
            case kVgmEndOfSound:
                catchUpStreams();
                break;
            case kVgmOverrideFrameWait:
                if (operands[0] == kVgmWaitNtscFrame) s.frameWaits[0] = readLe16(operands + 1);
                if (operands[0] == kVgmWaitPalFrame) s.frameWaits[1] = readLe16(operands + 1);
                break;
            case kVgmPcmSeek:
                s.pcmOffset = readLe32(operands);
                chips.pcmPlayBreak();
                break;
            default:
                chips.unhandled(command);
                break;
        }
        return false;
    }

    size_t run(const uint8_t* next, const uint8_t* end) {
        // The walk guarantees more than kMaxVgmOperandBytes bytes from next.
        if (streamsPlaying(stream.dacStreams)) [[unlikely]] return dispatchChipWriteRun(next, end);
        if ((*next & 0xF0) == kVgmDacWriteFirst) return dispatchPcmRun(next, end);
        if (*next == kVgmYm2612Port0 && next[1] == kDacDataRegister) return dispatchDacWriteRun(next, end);
        return dispatchChipWriteRun(next, end);
    }

    // The commands between sample streams, most of a typical log: chip writes
    // and waits. Returns the number of operand bytes the command took, or -1,
    // having done nothing, for any other command.
    int applyChipCommand(uint8_t command, const uint8_t* operands) {
        StreamState& s = stream;
        if (command == kVgmYm2612Port0 || command == kVgmYm2612Port1) {
            if ((operands[0] & kDacRegistersMask) == kDacDataRegister) catchUpStreams();
            chips.ym2612(command == kVgmYm2612Port0 ? 0 : 1, operands[0], operands[1], s.sampleTime);
            return 2;
        }
        if ((command & 0xF0) == kVgmShortWaitFirst) {
            s.sampleTime += (command & kWaitMask) + 1u;
            return 0;
        }
        if (command == kVgmPsgWrite) {
            chips.psg(operands[0], s.sampleTime);
            return 1;
        }
        if (command == kVgmWaitNtscFrame || command == kVgmWaitPalFrame) {
            s.sampleTime += s.frameWaits[command == kVgmWaitNtscFrame ? 0 : 1];
            return 0;
        }
        if (command == kVgmWaitSamples) {
            s.sampleTime += readLe16(operands);
            return 2;
        }
        return -1;
    }

    // The streams' writes at every sample time before the current one.
    void catchUpStreams() { advanceStreams(stream.dacStreams, reader.blocks, stream.sampleTime, chips); }

    // A kept data block of type 0x00 joins the streams' bank; the writes
    // before it cannot see it.
    void dataBlockStored() {
        const DataBlock& block = reader.blocks.back();
        if (block.type != kPcmBlockType) return;
        catchUpStreams();
        chips.pcmPlayBreak();  // later PCM commands read the new block
        addStreamBankBlock(stream.dacStreams, static_cast<uint32_t>(reader.blocks.size() - 1), block.bytes.size());
    }

    // A run of commands 0x80..0x8F at [p, end), as many one-by-one dispatches
    // would handle it: their PCM bytes are consecutive bytes of the PCM block, so
    // they reach the DAC capture as one slice stamped with the times of the first
    // and the last. The run stops before pcmOffset would wrap around.
    size_t dispatchPcmRun(const uint8_t* p, const uint8_t* end) {
        StreamState& s = stream;
        const size_t count = std::min(static_cast<size_t>(end - p), static_cast<size_t>(UINT32_MAX - s.pcmOffset));
        size_t available = 0;  // commands of the run that find a PCM byte
        const uint8_t* pcm = nullptr;
        if (reader.pcmBlock >= 0) {
            const auto& block = reader.blocks[static_cast<size_t>(reader.pcmBlock)].bytes;
            if (s.pcmOffset < block.size()) {
                available = block.size() - s.pcmOffset;
                pcm = block.data() + s.pcmOffset;
            }
        }
        const size_t withBytes = std::min(count, available);
        uint32_t waits = 0;
        const size_t sent = pcmCommandRun(p, withBytes, waits);
        size_t taken = sent;
        uint32_t time = s.sampleTime + waits;
        if (sent != 0) {
            // A byte carries the time before its own command's wait.
            const uint32_t lastByteTime = time - (p[sent - 1] & kWaitMask);
            chips.pcmDataRun(static_cast<uint32_t>(reader.pcmBlock), s.pcmOffset, pcm, sent, s.sampleTime,
                             lastByteTime);
        }
        if (sent == withBytes) {
            // Past the end of the block the commands still wait and move the position.
            taken += pcmCommandRun(p + sent, count - sent, waits);
            time += waits;
        }
        s.pcmOffset += static_cast<uint32_t>(taken);
        s.sampleTime = time;
        return taken;
    }

    // A run of direct DAC writes (0x52 0x2A value) with short waits (0x7n) between
    // them at [p, end), the other common way drivers stream samples. Each write is
    // what ym2612Write would make of it: one DAC byte at the current time. The
    // bytes are gathered and handed to the capture in slices. The time is kept
    // in a local while the run lasts: the command bytes read through `p` may
    // alias anything, which would keep stream.sampleTime in memory otherwise.
    size_t dispatchDacWriteRun(const uint8_t* p, const uint8_t* end) {
        const uint8_t* const start = p;
        uint8_t gathered[kGatheredDacBytes];
        size_t count = 0;
        uint32_t time = stream.sampleTime;
        uint32_t firstTime = 0;
        uint32_t lastTime = 0;
        while (static_cast<size_t>(end - p) >= kDirectWriteCommandSize) {
            if (p[0] == kVgmYm2612Port0 && p[1] == kDacDataRegister) {
                if (count == 0) firstTime = time;
                lastTime = time;
                gathered[count++] = p[2];
                p += kDirectWriteCommandSize;
                if (count == kGatheredDacBytes) {
                    stream.sampleTime = time;
                    chips.dacDataRun(gathered, count, firstTime, lastTime);
                    count = 0;
                }
            } else if ((p[0] & 0xF0) == kVgmShortWaitFirst) {
                time += (p[0] & kWaitMask) + 1u;
                ++p;
            } else {
                break;
            }
        }
        stream.sampleTime = time;
        if (count != 0) chips.dacDataRun(gathered, count, firstTime, lastTime);
        return static_cast<size_t>(p - start);
    }

    // A run of chip writes and waits at [p, end): the bulk of a log between its
    // sample streams, taken in one tight loop with no window check or
    // version-dependent length lookup per command. The run stops before a direct
    // DAC write (0x52 0x2A), which has a run of its own, and before any other
    // command. While streams play, a write of 0x2B or of port 1 in the run
    // still lets the streams catch up first (applyChipCommand).
    size_t dispatchChipWriteRun(const uint8_t* p, const uint8_t* end) {
        const uint8_t* const start = p;
        while (static_cast<size_t>(end - p) >= kLongestChipCommand) {
            if (p[0] == kVgmYm2612Port0 && p[1] == kDacDataRegister) break;
            const int operands = applyChipCommand(p[0], p + 1);
            if (operands < 0) break;
            p += 1 + operands;
        }
        return static_cast<size_t>(p - start);
    }
};

}  // namespace dispatch_detail

using dispatch_detail::CommandDispatcher;

// Walks `in` to its end command with `chips` behind the dispatcher; returns a
// VgmWalkResult. A walk ended by an invalid command or cut short by the end of
// the input keeps what it gathered, so the DAC streams play up to the time
// reached, as they do up to the end command's.
template <typename Chips>
VgmWalkResult walkAndDispatch(VgmReader& reader, StreamState& stream, Chips& chips, BufferedInput& in) {
    CommandDispatcher<Chips> dispatcher{stream, reader, chips};
    const VgmWalkResult result = walkCommandsWith(reader, in, dispatcher);
    if (result != kWalkEnded) dispatcher.catchUpStreams();
    return result;
}
