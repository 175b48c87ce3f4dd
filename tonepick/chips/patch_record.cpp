#include "tonepick/chips/patch_record.h"

size_t PatchKeyHash::operator()(const PatchKey& key) const noexcept {
    // Eight key bytes per step (the key is 36 bytes): one multiply-xorshift
    // round each keeps the hash cheap next to the key-on it serves.
    uint64_t h = 0x9E3779B97F4A7C15ULL;
    size_t i = 0;
    for (; i + 8 <= key.size(); i += 8) {
        uint64_t word = 0;
        for (size_t b = 0; b < 8; ++b) word |= static_cast<uint64_t>(key[i + b]) << (8 * b);
        h = (h ^ word) * 0xBF58476D1CE4E5B9ULL;
        h ^= h >> 31;
    }
    uint64_t tail = 0;
    for (size_t b = 0; i + b < key.size(); ++b) tail |= static_cast<uint64_t>(key[i + b]) << (8 * b);
    h = (h ^ tail) * 0x94D049BB133111EBULL;
    return static_cast<size_t>(h ^ (h >> 29));
}

PatchKey patchKey(const PatchRecord& record) {
    PatchKey key{};
    size_t i = 0;
    key[i++] = record.fbAlg;
    key[i++] = record.lrAmsFms;
    key[i++] = record.keyMask;
    key[i++] = record.ch3Mode;
    for (uint16_t word : record.ch3Freq) {
        const uint16_t used = record.ch3Mode != 0 ? word : 0;
        key[i++] = static_cast<uint8_t>(used >> 8);
        key[i++] = static_cast<uint8_t>(used);
    }
    for (int k = 0; k < 4; ++k) {
        if (!operatorKeyed(record, k)) {
            i += 6;  // left zero: registers of silent operators do not matter
            continue;
        }
        const OperatorRegs& op = record.op[static_cast<size_t>(k)];
        key[i++] = op.dtMul;
        key[i++] = op.rsAr;
        key[i++] = op.amD1r;
        key[i++] = op.d2r;
        key[i++] = op.d1lRr;
        key[i++] = op.ssgEg;
    }
    return key;
}

