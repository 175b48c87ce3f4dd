#include "seqconv/interpreter/sequence_bank.h"

#include <algorithm>
#include <cstdio>

#include "common/byte_order.h"
#include "common/input_file.h"

namespace {
constexpr size_t kLoadChunk = 1 << 20;
}

bool loadSequenceBank(const char* path, SequenceBank& bank) {
    FILE* file = openInputFile(path);
    if (file == nullptr) return false;
    bank.bytes.clear();
    size_t size = 0;
    while (size < kSequenceBankReadLimit) {
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(kLoadChunk, kSequenceBankReadLimit - size));
        bank.bytes.resize(size + want);
        const size_t got = std::fread(bank.bytes.data() + size, 1, want, file);
        size += got;
        if (got < want) break;
    }
    bank.bytes.resize(size);
    std::fclose(file);
    return true;
}

namespace {
// The bytes at offset .. offset + count - 1, or nullptr when they do not all exist.
const uint8_t* bankBytes(const SequenceBank& bank, uint64_t offset, size_t count) {
    const size_t size = bank.bytes.size();
    if (offset > size || size - offset < count) return nullptr;
    return bank.bytes.data() + offset;
}
}  // namespace

bool readBankByte(const SequenceBank& bank, uint64_t offset, uint32_t& value) {
    const uint8_t* p = bankBytes(bank, offset, 1);
    if (p == nullptr) return false;
    value = p[0];
    return true;
}

bool readBankLe16(const SequenceBank& bank, uint64_t offset, uint32_t& value) {
    const uint8_t* p = bankBytes(bank, offset, 2);
    if (p == nullptr) return false;
    value = readLe16(p);
    return true;
}

bool readBankLe24(const SequenceBank& bank, uint64_t offset, uint32_t& value) {
    const uint8_t* p = bankBytes(bank, offset, 3);
    if (p == nullptr) return false;
    value = readLe24(p);
    return true;
}
