#include "seqconv/output/instrument_bank.h"

#include <cstdio>

#include "common/byte_order.h"
#include "common/input_file.h"

bool loadInstrumentBank(const char* path, InstrumentBank& bank) {
    FILE* file = openInputFile(path);
    if (file == nullptr) return false;
    bank.bytes.fill(0);
    // A short file leaves the rest zero; a longer one is cut off.
    bank.loadedSize = static_cast<int32_t>(std::fread(bank.bytes.data(), 1, bank.bytes.size(), file));
    std::fclose(file);
    return true;
}

int32_t patchOffset(const InstrumentBank& bank, int32_t patch) {
    // The table entry of patch p is bytes 2p, 2p+1. Offsets are 16-bit, so the
    // patch data always lies inside the 65,792-byte buffer.
    if (patch < 0 || patch >= kInstrumentBankSize / 2) return -1;
    return readLe16(&bank.bytes[2 * static_cast<size_t>(patch)]);
}

int32_t patchType(const InstrumentBank& bank, int32_t patch) {
    const int32_t offset = patchOffset(bank, patch);
    return offset < 0 ? -1 : bank.bytes[static_cast<size_t>(offset)];
}

const char* patchTypeName(int32_t type) {
    static constexpr const char* kNames[] = {"FM", "DAC", "PSG", "NOISE"};
    if (type == -1) return "NONE";
    if (type < 0 || type > 3) return "UNKNOWN";
    return kNames[type];
}
