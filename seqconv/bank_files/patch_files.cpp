#include "seqconv/bank_files/patch_files.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "common/instrument_formats/gems_patch.h"
#include "common/instrument_formats/instrument_formats.h"

std::string patchFileName(int32_t patch, const std::string& extension) {
    char name[24];
    std::snprintf(name, sizeof name, "patch_%02X.", static_cast<unsigned>(patch));
    return name + extension;
}

PatchFile buildPatchFile(const InstrumentBank& instruments, int32_t patch, int type) {
    PatchFile file;
    const int32_t offset = patchOffset(instruments, patch);
    if (offset < 0) return file;
    // Offsets are 16-bit, so the 39 bytes lie inside the zero-filled buffer;
    // what lies past the bytes the file gave reads as zero.
    uint8_t gems[kGemsFmPatchSize];
    std::copy_n(instruments.bytes.begin() + offset, kGemsFmPatchSize, gems);
    file.pastBankEnd = offset + static_cast<int32_t>(kGemsFmPatchSize) > instruments.loadedSize;

    std::array<uint8_t, kMaxInstrumentSize> image{};
    if (writeInstrument(patchFromGems(gems), type, image.data()) != InstrumentWrite::kWritten) return file;
    if (type == kInstrumentGems) {
        image[37] = static_cast<uint8_t>(image[37] | (gems[37] & 0xF0));
        image[38] = gems[38];
    }
    file.bytes.assign(image.begin(), image.begin() + instrumentTypeSize(type));
    return file;
}
