#include "seqconv/output/listings.h"

#include <cstddef>

#include "seqconv/output/text_output.h"

namespace {

constexpr int32_t kListedPatchBytes = 5;  // type byte and the first four data bytes

}  // namespace

void writeListings(const InstrumentBank& instruments, const SongLists& lists, OutputFile& text) {
    for (const int32_t patch : lists.usedPatches) {
        const int32_t offset = patchOffset(instruments, patch);
        const char* name = patchTypeName(patchType(instruments, patch));
        const auto number = static_cast<unsigned>(patch);
        if (offset < 0 || offset > kInstrumentBankSize - kListedPatchBytes) {
            // No offset table entry (patch -1, a note before any patch command).
            printToFile(text, "Patch %02X (%s):\n", number, name);
            continue;
        }
        const uint8_t* data = instruments.bytes.data() + offset;
        printToFile(text, "Patch %02X (%s): %02X %02X %02X %02X %02X\n", number, name, data[0], data[1], data[2],
                    data[3], data[4]);
    }
    for (size_t m = 0; m < lists.dacKeys.size(); ++m) {
        const int32_t key = lists.dacKeys[m];
        printToFile(text, "DAC (%d) %02X %02X\n", static_cast<int>(m), static_cast<unsigned>(key >> 8),
                    static_cast<unsigned>(key & 0xFF));
    }
}
