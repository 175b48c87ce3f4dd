#include "seqconv/bank_refusal.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/byte_order.h"

namespace {

constexpr size_t kEntrySize = 2;        // song-table and patch-table entries are 16-bit
constexpr uint8_t kLastPatchType = 3;   // FM, DAC, PSG, NOISE
constexpr uint8_t kFmPatchType = 0;
constexpr size_t kFmPatchSize = 39;     // type byte and the GEMS FM patch layout
constexpr size_t kRomHeaderOffset = 0x100;  // a Mega Drive ROM header starts with "SEGA"

bool startsWith(std::span<const uint8_t> bytes, size_t offset, const char* magic, size_t length) {
    return bytes.size() >= offset + length && std::memcmp(bytes.data() + offset, magic, length) == 0;
}

BankVerdict failed(BankProblem problem, uint32_t bad = 0, uint32_t total = 0) {
    BankVerdict v;
    v.problem = problem;
    v.bad = bad;
    v.total = total;
    return v;
}

// More than a quarter (the most a real bank's gaps and stray entries reach).
bool moreThanQuarter(uint64_t bad, uint64_t total) { return 4 * bad > total; }

void printRefusal(std::FILE* out, const char* path, const char* bankName, const BankVerdict& v) {
    std::fprintf(out, "Error: \"%s\" is not a GEMS %s bank (", path, bankName);
    switch (v.problem) {
    case BankProblem::OtherKind: std::fprintf(out, "it is %s", v.kind); break;
    case BankProblem::ImpossibleSongTable: std::fprintf(out, "its song table is impossible"); break;
    case BankProblem::SongsWithoutChannels:
        std::fprintf(out, "%u of %u songs have no channels", static_cast<unsigned>(v.bad),
                     static_cast<unsigned>(v.total));
        break;
    case BankProblem::EntriesWithoutPatch:
        std::fprintf(out, "%u of %u patch entries do not hold a patch", static_cast<unsigned>(v.bad),
                     static_cast<unsigned>(v.total));
        break;
    case BankProblem::None: break;
    }
    std::fprintf(out, ")\n");
}

}  // namespace

const char* otherFileKind(std::span<const uint8_t> bytes) {
    if (startsWith(bytes, 0, "Vgm ", 4)) return "a VGM log";
    if (startsWith(bytes, 0, "\x1F\x8B", 2)) return "gzip data";
    if (startsWith(bytes, 0, "RIFF", 4)) return "a WAV file";
    if (startsWith(bytes, 0, "MThd", 4)) return "a MIDI file";
    if (startsWith(bytes, 0, "PK\x03\x04", 4)) return "a zip archive";
    if (startsWith(bytes, kRomHeaderOffset, "SEGA", 4)) return "a Mega Drive ROM";
    return nullptr;
}

BankVerdict checkSequenceBank(std::span<const uint8_t> file) {
    if (const char* kind = otherFileKind(file)) {
        BankVerdict v = failed(BankProblem::OtherKind);
        v.kind = kind;
        return v;
    }
    if (file.size() < kEntrySize) return {};
    const uint32_t tableEnd = readLe16(file.data());
    if (tableEnd == 0) return {};
    if (tableEnd >= file.size()) return failed(BankProblem::ImpossibleSongTable);

    // Every entry lies inside the file: the last starts below tableEnd, which
    // is below the size.
    const uint32_t songs = (tableEnd + 1) / kEntrySize;
    uint32_t impossible = 0;
    uint32_t withoutChannels = 0;
    for (uint32_t s = 0; s < songs; ++s) {
        const uint32_t header = readLe16(file.data() + s * kEntrySize);
        if (header < tableEnd || header >= file.size()) ++impossible;
        // A header past the end has no channel count to be 0.
        if (header < file.size() && file[header] == 0) ++withoutChannels;
    }
    if (moreThanQuarter(impossible, songs)) return failed(BankProblem::ImpossibleSongTable);
    // An instrument bank read as songs: each FM patch starts with type byte 0.
    if (4ULL * withoutChannels > 3ULL * songs)
        return failed(BankProblem::SongsWithoutChannels, withoutChannels, songs);
    return {};
}

BankVerdict checkInstrumentBank(std::span<const uint8_t> file) {
    if (const char* kind = otherFileKind(file)) {
        BankVerdict v = failed(BankProblem::OtherKind);
        v.kind = kind;
        return v;
    }
    if (file.size() < kEntrySize) return {};
    const uint32_t entries = readLe16(file.data()) / kEntrySize;

    // The offsets of the entries in the file, sorted: an FM patch ends at the
    // next larger one at the latest.
    std::vector<uint32_t> offsets;
    offsets.reserve(entries);
    for (uint32_t p = 0; p < entries; ++p) {
        const size_t entry = p * kEntrySize;
        if (entry + kEntrySize <= file.size()) offsets.push_back(readLe16(file.data() + entry));
    }
    std::vector<uint32_t> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());

    uint32_t withoutPatch = entries - static_cast<uint32_t>(offsets.size());  // entries not wholly in the file
    for (const uint32_t offset : offsets) {
        if (offset >= file.size() || file[offset] > kLastPatchType) {
            ++withoutPatch;
            continue;
        }
        if (file[offset] != kFmPatchType) continue;
        const auto next = std::upper_bound(sorted.begin(), sorted.end(), offset);
        const size_t end = next == sorted.end() ? file.size() : std::min<size_t>(*next, file.size());
        if (end - offset < kFmPatchSize) ++withoutPatch;
    }
    if (moreThanQuarter(withoutPatch, entries)) return failed(BankProblem::EntriesWithoutPatch, withoutPatch, entries);
    return {};
}

bool refuseBanks(std::FILE* out, const char* sequencePath, std::span<const uint8_t> sequences,
                 const char* instrumentPath, std::span<const uint8_t> instruments) {
    const BankVerdict instrumentVerdict = checkInstrumentBank(instruments);
    if (instrumentVerdict.problem != BankProblem::None)
        printRefusal(out, instrumentPath, "instrument", instrumentVerdict);
    const BankVerdict sequenceVerdict = checkSequenceBank(sequences);
    if (sequenceVerdict.problem != BankProblem::None)
        printRefusal(out, sequencePath, "sequence", sequenceVerdict);

    const bool instrumentsFailed = instrumentVerdict.problem != BankProblem::None;
    const bool sequencesFailed = sequenceVerdict.problem != BankProblem::None;
    if (!instrumentsFailed && !sequencesFailed) return false;
    const bool swapped = (instrumentsFailed && checkSequenceBank(instruments).problem == BankProblem::None) ||
                         (sequencesFailed && checkInstrumentBank(sequences).problem == BankProblem::None);
    if (swapped) std::fprintf(out, "The sequence and instrument banks may be swapped.\n");
    return true;
}
