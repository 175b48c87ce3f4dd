#pragma once
// The distinct FM instruments heard in a tune. A key-on's snapshot that sounds
// the same as a stored patch (total levels and unkeyed operators ignored) is
// folded into it; anything else is appended. Indices never change meaning.

#include <cstdint>
#include <vector>

#include "tonepick/chips/patch_record.h"

struct PatchList {
    std::vector<PatchRecord> patches;
    // Index structures private to the implementation live here as well.
};

// Returns the index under which `record` now stands in the list.
int32_t capturePatch(PatchList& list, const PatchRecord& record);
