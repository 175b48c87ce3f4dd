#pragma once
// Reads a VGM file: checks the header and takes the version and the two chip
// clocks from it, then walks the command stream, keeping every data block and
// handing every other command to a handler (vgm_walk.h).

#include <cstddef>
#include <cstdint>
#include <vector>

struct BufferedInput;

struct DataBlock {
    uint8_t type = 0;
    uint32_t size = 0;           // as stored in the file
    std::vector<uint8_t> bytes;  // the bytes actually present (at most size)
};

struct VgmReader {
    int32_t version = 0;             // BCD, e.g. 0x150 for 1.50
    int32_t psgClock = 3579545;
    int32_t ym2612Clock = 7670454;
    std::vector<DataBlock> blocks;   // in file order, never merged
    int32_t pcmBlock = -1;           // index of the most recent type 0x00 block, -1: none
    bool blocksDropped = false;      // blocks beyond kMaxDataBlocks were read past
};

// A Mega Drive log carries a few data blocks; an empty block costs seven bytes
// of input but far more to keep. Blocks beyond this many are read past and not
// kept, so a forged flood of them cannot exhaust memory.
constexpr size_t kMaxDataBlocks = 65536;

// Header result codes.
enum VgmHeaderResult : uint8_t {
    kHeaderOk = 0,
    kHeaderTooShort = 1,     // fewer than 56 bytes, the first four "Vgm "
    kHeaderNotVgm = 2,       // the input does not begin with "Vgm " (fewer than 4 bytes included)
    kHeaderBadOffset = 3,    // data offset (1.50 and later) below 4
    kHeaderTruncated = 4,    // file ends before the sound data
};

// Walk result codes.
enum VgmWalkResult : uint8_t {
    kWalkEnded = 0,           // end command, or the handler asked to stop
    kWalkUnexpectedEnd = 1,   // input ended before the end command
    kWalkInvalidCommand = 2,
};

constexpr uint8_t kPcmBlockType = 0x00;  // YM2612 PCM data

// Reads the header from the start of `in` and leaves `in` at the first command.
// Fields not reached keep their values.
VgmHeaderResult readHeader(VgmReader& reader, BufferedInput& in);

// Number of stored blocks (reader.blocks).
int blockCount(const VgmReader& reader);
