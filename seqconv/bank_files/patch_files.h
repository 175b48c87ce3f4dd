#pragma once
// Instrument files of the GEMS FM patches, in any of the nine formats.

#include <cstdint>
#include <string>
#include <vector>

#include "seqconv/output/instrument_bank.h"

constexpr int32_t kFmPatchType = 0;

// "patch_%02X.EXT" of a patch number, the way the listings print it.
std::string patchFileName(int32_t patch, const std::string& extension);

struct PatchFile {
    std::vector<uint8_t> bytes;
    bool pastBankEnd = false;  // the patch ran past the end of the bank file (zero-filled)
};

// The file of FM patch `patch` in instrument format `type` (0..8): the GEMS
// patch read into the register image and written by the format's writer.
// In the gems format the two bytes the image has no register for (bits 4..7
// of byte 37 and byte 38) are taken from the bank, so that the file is the
// patch as it stands there.
PatchFile buildPatchFile(const InstrumentBank& instruments, int32_t patch, int type);
