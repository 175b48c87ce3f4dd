#pragma once
// The GEMS instrument bank as seqconv reads it: the first 65,792 bytes of the
// file (zero-filled when shorter), an offset table of 16-bit little-endian
// patch offsets at its start, and a type byte at each patch's offset.

#include <array>
#include <cstdint>

constexpr int32_t kInstrumentBankSize = 0x10100;
constexpr int32_t kDacPatchType = 1;

struct InstrumentBank {
    std::array<uint8_t, kInstrumentBankSize> bytes{};
    // Bytes taken from the file: its size, or kInstrumentBankSize for a longer
    // one (no 16-bit offset can tell the two apart).
    int32_t loadedSize = 0;
};

// Zero-fills the bank and loads up to kInstrumentBankSize bytes of the file at
// `path`; false when it cannot be opened or is a directory.
bool loadInstrumentBank(const char* path, InstrumentBank& bank);

// Offset of patch p's data; -1 for a patch number without a table entry (p < 0).
int32_t patchOffset(const InstrumentBank& bank, int32_t patch);
// The type byte of patch p; -1 for a patch without a table entry.
int32_t patchType(const InstrumentBank& bank, int32_t patch);
// "FM", "DAC", "PSG", "NOISE"; "NONE" for -1; "UNKNOWN" for other values.
const char* patchTypeName(int32_t type);
