#include "tonepick/vgm/dac_stream_player.h"

#include <algorithm>

#include "common/byte_order.h"
#include "tonepick/vgm/vgm_commands.h"

namespace {

// A stream set up for chip type 0x02 (the first YM2612), port 0, register
// 0x2A writes the DAC; any other target belongs to another chip.
constexpr uint8_t kChipYm2612 = 0x02;
constexpr uint8_t kDacPort = 0x00;
constexpr uint8_t kDacRegister = 0x2A;
constexpr uint8_t kAllStreams = 0xFF;
constexpr uint32_t kReusePosition = 0xFFFFFFFF;
constexpr int64_t kTicksPerSecond = 44100;

// Bits of the 0x93 mode byte and the 0x95 flag byte.
constexpr uint8_t kLengthModeMask = 0x0F;
constexpr uint8_t kReverseBit = 0x10;
constexpr uint8_t kStartLoopBit = 0x80;
constexpr uint8_t kBlockLoopBit = 0x01;

enum LengthMode : uint8_t {
    kKeepLength = 0,   // the previous start's number of writes
    kWriteCount = 1,   // the operand is a number of writes
    kMilliseconds = 2, // the operand is a duration
    kToBankEnd = 3,    // from the start to the end of the bank
};

constexpr uint64_t kMillisecondsPerSecond = 1000;

int64_t incrementOf(uint32_t frequency) {
    return static_cast<int64_t>((static_cast<uint64_t>(frequency) << 32) / kTicksPerSecond);
}

// Begins a pass of `writes` writes from `start`; a pass of nothing stops the
// stream at once. Once the run's bound is reached no stream plays again.
void startStream(DacStreamPlayer& player, DacStream& s, uint64_t start, uint64_t writes, bool reverse, bool loop) {
    dac_stream_detail::stopStream(player, s);
    s.start = start;
    s.writes = writes;
    s.done = 0;
    s.reverse = reverse;
    s.loop = loop;
    s.previousStart = start;
    s.previousWrites = writes;
    if (writes == 0 || player.boundReached) return;
    s.counter = static_cast<int64_t>(dac_stream_detail::kOneWrite) - s.increment;
    s.playing = true;
    ++player.playingCount;
}

uint64_t bankSizeOf(const DacStreamPlayer& player, const DacStream& s) {
    const StreamBank* bank = dac_stream_detail::streamBank(player, s);
    return bank != nullptr ? bank->size : 0;
}

void startFromPosition(DacStreamPlayer& player, DacStream& s, const uint8_t* operands) {
    const uint32_t position = readLe32(operands + 1);
    const uint8_t mode = operands[5];
    const uint32_t length = readLe32(operands + 6);
    const uint64_t start = position == kReusePosition ? s.previousStart : uint64_t{position} + s.stepBase;
    uint64_t writes = 0;
    switch (mode & kLengthModeMask) {
        case kKeepLength:
            writes = s.previousWrites;
            break;
        case kWriteCount:
            writes = length;
            break;
        case kMilliseconds:
            writes = uint64_t{length} * s.frequency / kMillisecondsPerSecond;
            break;
        case kToBankEnd: {
            const uint64_t size = bankSizeOf(player, s);
            writes = start < size ? (size - start) / s.stepSize : 0;
            break;
        }
        default:  // no such length mode: nothing to play
            dac_stream_detail::stopStream(player, s);
            return;
    }
    startStream(player, s, start, writes, (mode & kReverseBit) != 0, (mode & kStartLoopBit) != 0);
}

void startFromBlock(DacStreamPlayer& player, DacStream& s, const uint8_t* operands) {
    const uint16_t number = readLe16(operands + 1);
    const uint8_t flags = operands[3];
    const StreamBank* bank = dac_stream_detail::streamBank(player, s);
    if (bank == nullptr || number >= bank->blocks.size()) {
        dac_stream_detail::stopStream(player, s);
        return;
    }
    const StreamBankBlock& block = bank->blocks[number];
    startStream(player, s, block.offset, block.size / s.stepSize, (flags & kReverseBit) != 0,
                (flags & kBlockLoopBit) != 0);
}

// Writes of a pass whose positions lie inside `bank`.
uint64_t bankPassBytes(const StreamBank& bank, const StreamBankPass& p) {
    return p.start < bank.size ? std::min(p.writes, (bank.size - p.start + p.step - 1) / p.step) : 0;
}

// Fills `out` with the bytes of writes [first, first + count) of a pass that
// lie inside `bank`, and says which of them those are: writes
// [firstFound, firstFound + returned) (the inside writes of a pass are one
// stretch, as positions move one way).
size_t readBankPass(const StreamBank& bank, const std::vector<DataBlock>& blocks, const StreamBankPass& p,
                    uint64_t first, size_t count, uint8_t* out, uint64_t& firstFound) {
    // Writes of the pass whose positions lie inside the bank: j < inside
    // going forward, j >= writes - inside in reverse.
    const uint64_t inside = bankPassBytes(bank, p);
    uint64_t lo = first;
    uint64_t hi = first + count;
    if (p.reverse) {
        lo = std::max(lo, p.writes - inside);
    } else {
        hi = std::min(hi, inside);
    }
    if (lo >= hi) return 0;
    // Walk the positions with the block that holds the last one at hand: the
    // next position is usually in the same block. Otherwise the last block
    // starting at or before the position holds it (an empty block shares its
    // offset with the next one and is passed over).
    const StreamBankBlock* current = nullptr;
    for (uint64_t j = lo; j < hi; ++j) {
        const uint64_t position = p.start + (p.reverse ? p.writes - 1 - j : j) * p.step;
        if (current == nullptr || position < current->offset || position - current->offset >= current->size) {
            const auto it = std::upper_bound(bank.blocks.begin(), bank.blocks.end(), position,
                                             [](uint64_t q, const StreamBankBlock& b) { return q < b.offset; });
            current = &*(it - 1);
        }
        *out++ = blocks[current->block].bytes[static_cast<size_t>(position - current->offset)];
    }
    firstFound = lo;
    return static_cast<size_t>(hi - lo);
}

}  // namespace

namespace dac_stream_detail {

void stopStream(DacStreamPlayer& player, DacStream& stream) {
    if (!stream.playing) return;
    stream.playing = false;
    --player.playingCount;
}

void stopAllStreams(DacStreamPlayer& player) {
    for (DacStream& s : player.streams) stopStream(player, s);
}

const StreamBank* streamBank(const DacStreamPlayer& player, const DacStream& stream) {
    return stream.hasBank && stream.bankType == kPcmBlockType ? &player.pcmBank : nullptr;
}

uint64_t passBytesInBank(const DacStreamPlayer& player, const DacStream& s) {
    const StreamBank* bank = streamBank(player, s);
    return bank != nullptr ? bankPassBytes(*bank, StreamBankPass{s.start, s.writes, s.stepSize, s.reverse}) : 0;
}

size_t readPassBytes(const DacStreamPlayer& player, const DacStream& s, const std::vector<DataBlock>& blocks,
                     uint64_t first, size_t count, uint8_t* out, uint64_t& firstFound) {
    const StreamBank* bank = streamBank(player, s);
    if (bank == nullptr) return 0;
    return readBankPass(*bank, blocks, StreamBankPass{s.start, s.writes, s.stepSize, s.reverse}, first, count, out,
                        firstFound);
}

}  // namespace dac_stream_detail

DacStreamPlace dacStreamPlaceOfWrite(const DacStreamPlayer& player, int id, uint64_t write) {
    const DacStream& s = player.streams[static_cast<size_t>(id)];
    DacStreamPlace place;
    place.step = s.stepSize;
    place.reverse = s.reverse;
    place.passWrites = write < s.writes ? s.writes - write : 0;
    place.frequency = s.frequency;
    const StreamBank* bank = dac_stream_detail::streamBank(player, s);
    if (bank == nullptr || write >= s.writes) return place;
    const uint64_t position = s.start + (s.reverse ? s.writes - 1 - write : write) * s.stepSize;
    if (position >= bank->size) return place;
    const auto it = std::upper_bound(bank->blocks.begin(), bank->blocks.end(), position,
                                     [](uint64_t p, const StreamBankBlock& b) { return p < b.offset; });
    place.inBank = true;
    place.block = (it - 1)->block;
    place.offset = position - (it - 1)->offset;
    return place;
}

void addStreamBankBlock(DacStreamPlayer& player, uint32_t block, uint64_t size) {
    StreamBank& bank = player.pcmBank;
    bank.blocks.push_back(StreamBankBlock{bank.size, size, block});
    bank.size += size;
}

StreamCommandResult applyStreamCommand(DacStreamPlayer& player, uint8_t command, const uint8_t* operands) {
    const uint8_t id = operands[0];
    if (command == kVgmStreamStop && id == kAllStreams) {
        dac_stream_detail::stopAllStreams(player);
        return StreamCommandResult::kPlayed;
    }
    if (id == kAllStreams) return StreamCommandResult::kUnhandled;
    DacStream& s = player.streams[id];
    if (command == kVgmStreamSetup) {
        // Setting a stream up again stops it; its data, step and frequency stay.
        dac_stream_detail::stopStream(player, s);
        s.dacTarget = operands[1] == kChipYm2612 && operands[2] == kDacPort && operands[3] == kDacRegister;
        return s.dacTarget ? StreamCommandResult::kPlayed : StreamCommandResult::kUnhandled;
    }
    if (!s.dacTarget) return StreamCommandResult::kUnhandled;
    switch (command) {
        case kVgmStreamSetData:
            s.hasBank = true;
            s.bankType = operands[1];
            s.stepSize = operands[2] == 0 ? 1 : operands[2];
            s.stepBase = operands[3];
            break;
        case kVgmStreamSetFrequency:
            s.frequency = readLe32(operands + 1);
            s.increment = incrementOf(s.frequency);
            break;
        case kVgmStreamStart:
            startFromPosition(player, s, operands);
            break;
        case kVgmStreamStop:
            dac_stream_detail::stopStream(player, s);
            break;
        case kVgmStreamStartFast:
            startFromBlock(player, s, operands);
            break;
        default:
            return StreamCommandResult::kUnhandled;
    }
    return StreamCommandResult::kPlayed;
}

bool pcmBankPassFrom(const DacStreamPlayer& player, uint32_t block, uint64_t offset, uint64_t writes, uint32_t step,
                     bool reverse, StreamBankPass& pass) {
    const StreamBank& bank = player.pcmBank;
    const auto at = std::lower_bound(bank.blocks.begin(), bank.blocks.end(), block,
                                     [](const StreamBankBlock& b, uint32_t wanted) { return b.block < wanted; });
    if (at == bank.blocks.end() || at->block != block) return false;
    pass = StreamBankPass{at->offset + offset, writes, step, reverse};
    if (reverse && writes != 0) {
        pass.writes = std::min(writes, pass.start / step + 1);
        pass.start -= (pass.writes - 1) * step;
    }
    return true;
}

uint64_t pcmBankPassBytes(const DacStreamPlayer& player, const StreamBankPass& pass) {
    return bankPassBytes(player.pcmBank, pass);
}

size_t readPcmBankPass(const DacStreamPlayer& player, const std::vector<DataBlock>& blocks, const StreamBankPass& pass,
                       uint64_t first, size_t count, uint8_t* out, uint64_t& firstFound) {
    return readBankPass(player.pcmBank, blocks, pass, first, count, out, firstFound);
}
