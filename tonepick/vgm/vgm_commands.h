#pragma once
// Command bytes of the VGM command stream that tonepick names, and the
// operand-length table of the walk.

#include <cstdint>

enum VgmCommand : uint8_t {
    kVgmFirstCommand = 0x30,      // everything below is invalid
    kVgmOneOperandLast = 0x3F,    // 0x30..0x3F: reserved, 1 operand
    kVgmTwoOperandLast = 0x4E,    // 0x40..0x4E: other chips, 2 operands
    kVgmGameGearStereo = 0x4F,    // 1 operand, ignored
    kVgmPsgWrite = 0x50,          // SN76489 data byte
    kVgmYm2612Port0 = 0x52,       // register, value
    kVgmYm2612Port1 = 0x53,       // register, value
    kVgmChipWriteLast = 0x5F,     // 0x51..0x5F: chip register writes, 2 operands
    kVgmWaitSamples = 0x61,       // 16-bit little-endian wait
    kVgmWaitNtscFrame = 0x62,     // 735 samples unless overridden by 0x64
    kVgmWaitPalFrame = 0x63,      // 882 samples unless overridden by 0x64
    kVgmOverrideFrameWait = 0x64, // command 0x62/0x63, 16-bit new length
    kVgmEndOfSound = 0x66,        // end of the sound data; also the block marker
    kVgmDataBlock = 0x67,         // 0x66, type, 32-bit size, data
    kVgmPcmRamWrite = 0x68,       // 0x66 + 10 bytes
    kVgmShortWaitFirst = 0x70,    // 0x7n: wait n + 1 samples
    kVgmShortWaitLast = 0x7F,
    kVgmDacWriteFirst = 0x80,     // 0x8n: DAC byte from PCM data, then wait n samples
    kVgmDacWriteLast = 0x8F,
    kVgmStreamSetup = 0x90,       // DAC stream control (operands from version 1.60)
    kVgmStreamSetData = 0x91,
    kVgmStreamSetFrequency = 0x92,
    kVgmStreamStart = 0x93,
    kVgmStreamStop = 0x94,
    kVgmStreamStartFast = 0x95,
    kVgmInvalidLast = 0x9F,       // 0x96..0x9F: invalid
    kVgmChipWrite2Last = 0xBF,    // 0xA0..0xBF: chip register writes, 2 operands
    kVgmThreeOperandLast = 0xDF,  // 0xC0..0xDF: 3 operands
    kVgmPcmSeek = 0xE0,           // 32-bit offset into the PCM data; 0xE1..0xFF: 4 operands
};

// The version from which 0x90..0x95 carry their stream-control operands.
constexpr int32_t kVgmStreamControlVersion = 0x160;

// Size of the framing read after 0x67 (0x66, type, size) and after 0x68
// (0x66 + 10 operand bytes).
constexpr int kVgmDataBlockHeaderSize = 6;
constexpr int kVgmPcmRamWriteSize = 11;

// Number of operand bytes after `command` in a file of header version
// `version`, or -1 for an invalid command. For 0x67 and 0x68 it is the size of
// their framing above (the data of a 0x67 block follows it).
int vgmOperandLength(uint8_t command, int32_t version);
