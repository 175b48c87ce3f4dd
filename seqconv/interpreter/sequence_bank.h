#pragma once
// The GEMS sequence bank, held in memory. Layout (all values little-endian):
// a song table of 16-bit header offsets at offset 0; a song header is a channel
// count byte followed by 16-bit (or, with flag '3', 24-bit) channel pointers;
// each pointer leads to the channel's byte code.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "seqconv/interpreter/interpreter_budget.h"

// Channel pointers are at most 24 bits wide and a pass reads at most
// kPassByteLimit bytes of byte code forward from one, so no byte beyond this
// limit can ever be read: a longer file is loaded only up to it.
constexpr uint64_t kSequenceBankReadLimit = 0x1000000ULL + static_cast<uint64_t>(kPassByteLimit);

struct SequenceBank {
    std::vector<uint8_t> bytes;
};

// Loads the file at `path` (up to kSequenceBankReadLimit bytes); false when it
// cannot be opened or is a directory.
bool loadSequenceBank(const char* path, SequenceBank& bank);

// Read the byte, 16-bit or 24-bit little-endian value at `offset`; false
// (value untouched) when any of its bytes lies past the end of the bank.
bool readBankByte(const SequenceBank& bank, uint64_t offset, uint32_t& value);
bool readBankLe16(const SequenceBank& bank, uint64_t offset, uint32_t& value);
bool readBankLe24(const SequenceBank& bank, uint64_t offset, uint32_t& value);
