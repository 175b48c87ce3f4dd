#include "tonepick/vgm/vgm_reader.h"

#include <algorithm>
#include <utility>

#include "common/byte_order.h"
#include "tonepick/vgm/buffered_input.h"
#include "tonepick/vgm/vgm_commands.h"
#include "tonepick/vgm/vgm_walk.h"

namespace {

// Header layout (offsets into the first 56 bytes).
constexpr size_t kHeaderReadSize = 56;
constexpr uint32_t kVgmIdent = 0x56676D20;  // "Vgm " read big-endian
constexpr size_t kVgmIdentSize = 4;
constexpr size_t kVersionOffset = 0x08;
constexpr size_t kPsgClockOffset = 0x0C;
constexpr size_t kYm2612ClockOldOffset = 0x10;  // before version 1.10
constexpr size_t kYm2612ClockOffset = 0x2C;
constexpr size_t kDataOffsetField = 0x34;       // relative to itself, from 1.50
constexpr int32_t kYm2612ClockFieldVersion = 0x110;
constexpr int32_t kDataOffsetVersion = 0x150;
// Files before 1.50 start their sound data at 0x40: 8 bytes after the 56 read.
constexpr int64_t kOldDataGap = 0x40 - 0x34 - 4;
constexpr int64_t kDataOffsetBias = 4;  // the field counts from 0x34, 56 = 0x34 + 4

// Operands of 0x90..0x95 in files from version 1.60.
constexpr int kStreamControlOperands[] = {4, 4, 5, 10, 1, 4};

}  // namespace

bool storeDataBlock(VgmReader& reader, BufferedInput& in, const uint8_t* framing) {
    DataBlock block;
    block.type = framing[1];
    block.size = readLe32(framing + 2);
    if (reader.blocks.size() >= kMaxDataBlocks) {
        reader.blocksDropped = true;
        skipInputBytes(in, block.size);
        return false;
    }
    // The declared size is not trusted: memory grows with what the file really
    // holds, and when the input's size is known the bytes get exactly that.
    const uint64_t left = inputBytesLeft(in);
    if (left != kUnknownInputSize) block.bytes.reserve(static_cast<size_t>(std::min<uint64_t>(block.size, left)));
    size_t remaining = block.size;
    while (remaining > 0) {
        if (in.next == in.end && !refillInput(in)) break;
        const size_t take = std::min(remaining, static_cast<size_t>(in.end - in.next));
        block.bytes.insert(block.bytes.end(), in.next, in.next + take);
        in.next += take;
        remaining -= take;
    }
    if (block.type == kPcmBlockType) reader.pcmBlock = static_cast<int32_t>(reader.blocks.size());
    reader.blocks.push_back(std::move(block));
    return true;
}

VgmOperandLengths vgmOperandLengths(int32_t version) {
    VgmOperandLengths lengths{};
    for (int c = 0; c < 256; ++c)
        lengths[static_cast<size_t>(c)] = static_cast<int8_t>(vgmOperandLength(static_cast<uint8_t>(c), version));
    return lengths;
}

int vgmOperandLength(uint8_t command, int32_t version) {
    if (command < kVgmFirstCommand) return -1;
    if (command <= kVgmOneOperandLast) return 1;
    if (command <= kVgmTwoOperandLast) return 2;
    if (command <= kVgmPsgWrite) return 1;  // 0x4F, 0x50
    if (command <= kVgmChipWriteLast) return 2;
    switch (command) {
        case kVgmWaitSamples: return 2;
        case kVgmWaitNtscFrame:
        case kVgmWaitPalFrame:
        case kVgmEndOfSound: return 0;
        case kVgmOverrideFrameWait: return 3;
        case kVgmDataBlock: return kVgmDataBlockHeaderSize;
        case kVgmPcmRamWrite: return kVgmPcmRamWriteSize;
        default: break;
    }
    if (command < kVgmShortWaitFirst) return -1;  // 0x60, 0x65, 0x69..0x6F
    if (command >= kVgmStreamSetup && command <= kVgmStreamStartFast) {
        // DAC stream control carries operands only in files that can contain it.
        return version >= kVgmStreamControlVersion ? kStreamControlOperands[command - kVgmStreamSetup] : 0;
    }
    if (command <= kVgmStreamStartFast) return 0;  // 0x70..0x8F
    if (command <= kVgmInvalidLast) return -1;
    if (command <= kVgmChipWrite2Last) return 2;
    if (command <= kVgmThreeOperandLast) return 3;
    return 4;
}

VgmHeaderResult readHeader(VgmReader& reader, BufferedInput& in) {
    uint8_t scratch[kHeaderReadSize];
    size_t got = 0;
    const uint8_t* h = readInputBytes(in, kHeaderReadSize, scratch, got);
    // Whatever its length, a file that does not begin with the identifier is no log.
    if (got < kVgmIdentSize || readBe32(h) != kVgmIdent) return kHeaderNotVgm;
    if (got < kHeaderReadSize) return kHeaderTooShort;

    reader.version = static_cast<int32_t>(readLe32(h + kVersionOffset));
    const uint32_t psgClock = readLe32(h + kPsgClockOffset);
    if (psgClock != 0) reader.psgClock = static_cast<int32_t>(psgClock);
    const uint32_t ymClock = readLe32(h + (reader.version >= kYm2612ClockFieldVersion ? kYm2612ClockOffset
                                                                                      : kYm2612ClockOldOffset));
    if (ymClock != 0) reader.ym2612Clock = static_cast<int32_t>(ymClock);

    // The data offset is a signed 32-bit field: anything below 4 points back into the header.
    const int64_t gap =
        reader.version >= kDataOffsetVersion
            ? static_cast<int64_t>(static_cast<int32_t>(readLe32(h + kDataOffsetField))) - kDataOffsetBias
            : kOldDataGap;
    if (gap < 0) return kHeaderBadOffset;
    if (skipInputBytes(in, static_cast<size_t>(gap)) < static_cast<size_t>(gap)) return kHeaderTruncated;
    return kHeaderOk;
}

int blockCount(const VgmReader& reader) { return static_cast<int>(reader.blocks.size()); }
