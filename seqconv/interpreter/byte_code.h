#pragma once
// GEMS byte code: one byte per note, delay group, duration group or command,
// commands followed by their operand bytes.

#include <cstdint>

constexpr uint8_t kFirstCommand = 0x60;       // below: note numbers
constexpr uint8_t kFirstDurationByte = 0x80;  // 0x80..0xBF: 6-bit duration group
constexpr uint8_t kFirstDelayByte = 0xC0;     // 0xC0..0xFF: 6-bit delay group
constexpr int32_t kGroupBits = 6;

constexpr uint8_t kCmdEndOfSequence = 0x60;
constexpr uint8_t kCmdPatch = 0x61;
constexpr uint8_t kCmdModulation = 0x62;
constexpr uint8_t kCmdNop = 0x63;
constexpr uint8_t kCmdLoop = 0x64;
constexpr uint8_t kCmdEndOfLoop = 0x65;
constexpr uint8_t kCmdParam66 = 0x66;
constexpr uint8_t kCmdParam67 = 0x67;
constexpr uint8_t kCmdTempo = 0x68;
constexpr uint8_t kCmdParam69 = 0x69;
constexpr uint8_t kCmdPriority = 0x6A;
constexpr uint8_t kCmdPlay = 0x6B;
constexpr uint8_t kCmdPitch = 0x6C;
constexpr uint8_t kCmdSfx = 0x6D;
constexpr uint8_t kCmdParam6E = 0x6E;
constexpr uint8_t kCmdJump = 0x6F;
constexpr uint8_t kCmdSet = 0x70;
constexpr uint8_t kCmdJumpConditional = 0x71;
constexpr uint8_t kCmdStore72 = 0x72;
// 0x73..0x7F: unassigned, no operands

constexpr uint8_t kInfiniteLoopCount = 0x7F;
constexpr int32_t kTempoBase = 40;   // 0x68 v sets v + 40 beats per minute
constexpr int32_t kSfxTempo = 150;   // 0x6D
// Sub-commands of 0x72.
constexpr uint8_t kSubMasterVolume = 4;
constexpr uint8_t kSubVolume = 5;
