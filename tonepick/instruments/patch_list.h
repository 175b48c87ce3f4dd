#pragma once
// The distinct FM instruments heard in a tune. A key-on's snapshot that sounds
// the same as a stored patch (total levels and unkeyed operators ignored) is
// folded into it; anything else is appended. Indices never change meaning.

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "tonepick/chips/patch_record.h"

// A real log has tens or hundreds of distinct instruments. A forged one can
// make a new instrument every nine bytes; past this many the list stops
// growing, which keeps its memory bounded (about 8 MiB) whatever the input.
constexpr size_t kMaxPatches = 65536;

struct PatchList {
    std::vector<PatchRecord> patches;
    // Key of every stored patch -> its index. Since a record is appended only
    // when nothing matches, no two stored patches share a key, so the single
    // entry is the first (and only) match a walk over the list would find.
    std::unordered_map<PatchKey, int32_t, PatchKeyHash> byKey;
    bool full = false;  // a new instrument found the list at kMaxPatches
};

// Returns the index under which `record` now stands in the list: the matching
// stored patch (whose total levels are replaced when the new record is
// strictly louder), or a newly appended copy; -1 (and `full` set) for a new
// instrument when the list already holds kMaxPatches.
int32_t capturePatch(PatchList& list, const PatchRecord& record);

// capturePatch for a record whose key the caller already has.
int32_t capturePatchWithKey(PatchList& list, const PatchRecord& record, const PatchKey& key);

// The level update capturePatch makes when `record` matches the stored patch
// `index`, for a caller that already knows the match.
void keepLouderLevels(PatchList& list, int32_t index, const PatchRecord& record);
