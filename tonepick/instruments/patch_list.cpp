#include "tonepick/instruments/patch_list.h"

namespace {

// How loud the keyed operators are: 127 - total level, summed. A total level
// of 0 is the loudest an operator gets.
int loudness(const PatchRecord& record) {
    int sum = 0;
    for (int k = 0; k < 4; ++k) {
        if (operatorKeyed(record, k)) sum += 127 - (record.op[static_cast<size_t>(k)].tl & 0x7F);
    }
    return sum;
}

}  // namespace

void keepLouderLevels(PatchList& list, int32_t index, const PatchRecord& record) {
    PatchRecord& stored = list.patches[static_cast<size_t>(index)];
    // Keep the levels of the loudest key-on (the first of equally loud ones).
    if (loudness(record) > loudness(stored)) {
        for (size_t k = 0; k < 4; ++k) stored.op[k].tl = record.op[k].tl;
    }
}

int32_t capturePatchWithKey(PatchList& list, const PatchRecord& record, const PatchKey& key) {
    const auto found = list.byKey.find(key);
    if (found != list.byKey.end()) {
        keepLouderLevels(list, found->second, record);
        return found->second;
    }
    if (list.patches.size() >= kMaxPatches) {
        list.full = true;
        return -1;
    }
    const auto index = static_cast<int32_t>(list.patches.size());
    list.patches.push_back(record);
    list.byKey.emplace(key, index);
    return index;
}

int32_t capturePatch(PatchList& list, const PatchRecord& record) {
    return capturePatchWithKey(list, record, patchKey(record));
}
