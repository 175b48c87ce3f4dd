#include "seqconv/bank_checks.h"

#include "common/byte_order.h"
#include "seqconv/output/instrument_bank.h"
#include "seqconv/interpreter/sequence_bank.h"

namespace {

constexpr int kNarrowPointer = 2;
constexpr int kWidePointer = 3;  // flag '3'
constexpr uint64_t kSongEntrySize = 2;
constexpr uint64_t kPatchEntrySize = 2;

// The pointer of `width` bytes at `offset` when it is wholly in the bank and
// its value lies inside the bank; false otherwise.
bool readInsidePointer(const SequenceBank& bank, uint64_t offset, int width, uint32_t& value) {
    const bool read = width == kWidePointer ? readBankLe24(bank, offset, value) : readBankLe16(bank, offset, value);
    return read && value < bank.bytes.size();
}

// Entry 0 of the song table, 0 for a bank too short to hold it.
uint32_t firstTableEntry(const SequenceBank& bank) {
    uint32_t value = 0;
    return readBankLe16(bank, 0, value) ? value : 0;
}

}  // namespace

PointerCount countSongPointers(const SequenceBank& bank, int pointerWidth) {
    PointerCount count;
    const uint32_t tableEnd = firstTableEntry(bank);
    for (uint64_t entry = 0; entry < tableEnd; entry += kSongEntrySize) {
        ++count.total;
        uint32_t header = 0;
        if (!readInsidePointer(bank, entry, kNarrowPointer, header)) {
            ++count.outside;
            continue;
        }
        // A song header: a channel count byte, then the channel pointers.
        const uint32_t channels = bank.bytes[header];
        for (uint32_t k = 0; k < channels; ++k) {
            ++count.total;
            uint32_t channel = 0;
            if (!readInsidePointer(bank, header + 1ULL + k * static_cast<uint64_t>(pointerWidth), pointerWidth,
                                   channel))
                ++count.outside;
        }
    }
    return count;
}

PointerCount countPatchOffsets(const InstrumentBank& bank) {
    PointerCount count;
    const uint64_t fileSize = static_cast<uint64_t>(bank.loadedSize);
    if (fileSize < kPatchEntrySize) return count;
    const uint32_t entries = readLe16(bank.bytes.data()) / 2;
    for (uint32_t p = 0; p < entries; ++p) {
        ++count.total;
        const uint64_t entry = p * kPatchEntrySize;
        if (entry + kPatchEntrySize > fileSize || readLe16(&bank.bytes[entry]) >= fileSize) ++count.outside;
    }
    return count;
}

void printBankWarnings(std::FILE* out, const SequenceBank& sequences, const InstrumentBank& instruments,
                       bool threeBytePointers) {
    if (firstTableEntry(sequences) == 0) {
        std::fprintf(out, "Warning: the sequence bank holds no songs\n");
    } else {
        const int width = threeBytePointers ? kWidePointer : kNarrowPointer;
        const PointerCount songs = countSongPointers(sequences, width);
        if (songs.outside > 0) {
            std::fprintf(out, "Warning: %d of %d song and channel pointers point outside the sequence bank",
                         songs.outside, songs.total);
            const int otherWidth = threeBytePointers ? kNarrowPointer : kWidePointer;
            if (countSongPointers(sequences, otherWidth).outside == 0)
                std::fprintf(out, threeBytePointers ? " (try without flag 3)" : " (try flag 3)");
            std::fprintf(out, "\n");
        }
    }

    const bool noPatches = instruments.loadedSize < static_cast<int32_t>(kPatchEntrySize) ||
                           readLe16(instruments.bytes.data()) == 0;
    if (noPatches) {
        std::fprintf(out, "Warning: the instrument bank holds no patches\n");
        return;
    }
    const PointerCount patches = countPatchOffsets(instruments);
    if (patches.outside > 0)
        std::fprintf(out, "Warning: %d of %d patch offsets point outside the instrument bank\n", patches.outside,
                     patches.total);
}
