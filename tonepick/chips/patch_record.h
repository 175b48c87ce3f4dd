#pragma once
// The instrument register image (common/instrument_formats/patch_record.h) and
// the match key that folds instruments which sound the same into one.

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/instrument_formats/patch_record.h"

// The fields that decide whether two records sound the same, with everything
// the comparison ignores (lfo, tl, unkeyed operators, ch3Freq outside the
// channel-3 special mode) zeroed. Two records match exactly when their keys
// are equal.
constexpr size_t kPatchKeySize = 4 + 4 * 2 + 4 * 6;
using PatchKey = std::array<uint8_t, kPatchKeySize>;

struct PatchKeyHash {
    size_t operator()(const PatchKey& key) const noexcept;
};

// The match key of a record.
PatchKey patchKey(const PatchRecord& record);
