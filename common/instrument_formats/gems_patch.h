#pragma once
// The GEMS sound driver's FM patch (39 bytes, the layout of the "gems"
// instrument format) read back into the register image every format is made
// from.

#include <cstddef>
#include <cstdint>

#include "common/instrument_formats/patch_record.h"

constexpr size_t kGemsFmPatchSize = 39;

// The register image of a GEMS FM patch: the type byte is not read; lfo,
// channel-3 mode, feedback/algorithm, L/R/AMS/FMS, the four operators in
// register order (S1, S3, S2, S4; no SSG-EG, so it stays 0), the channel-3
// frequencies (high byte first) and the operator enable bits of byte 37 as
// the key mask. Byte 38 and bits 4..7 of byte 37 have no register and are
// not kept; writing the record as "gems" gives bytes 0..37 back otherwise.
PatchRecord patchFromGems(const uint8_t (&patch)[kGemsFmPatchSize]);
