#include "seqconv/bank_files/sample_bank.h"

#include <algorithm>
#include <cstdio>

#include "common/byte_order.h"
#include "common/input_file.h"

namespace {

constexpr uint32_t kClockDivider = 144;
constexpr int32_t kFirstDacNote = 48;
constexpr int32_t kDacSampleCount = 96;
constexpr size_t kReadChunk = size_t{1} << 20;

}  // namespace

SampleBankLoad loadSampleBank(const char* path, SampleBank& bank) {
    std::FILE* file = openInputFile(path);
    if (file == nullptr) return SampleBankLoad::kCannotOpen;
    bank.bytes.clear();
    bank.headers.clear();
    // Read in large pieces up to one byte past the limit: a longer file is
    // refused without being held whole.
    size_t size = 0;
    while (size <= kMaxSampleBankSize) {
        bank.bytes.resize(std::min<size_t>(size + kReadChunk, size_t{kMaxSampleBankSize} + 1));
        const size_t got = std::fread(bank.bytes.data() + size, 1, bank.bytes.size() - size, file);
        size += got;
        if (got == 0 || size < bank.bytes.size()) break;
    }
    std::fclose(file);
    bank.bytes.resize(size);
    if (size > kMaxSampleBankSize) {
        bank.bytes.clear();
        bank.bytes.shrink_to_fit();
        return SampleBankLoad::kTooLarge;
    }
    readSampleHeaders(bank);
    return SampleBankLoad::kLoaded;
}

void readSampleHeaders(SampleBank& bank) {
    bank.headers.clear();
    size_t tableEnd = bank.bytes.size();
    for (size_t at = 0; at + kSampleHeaderSize <= tableEnd; at += kSampleHeaderSize) {
        const uint8_t* p = bank.bytes.data() + at;
        SampleHeader h;
        h.flags = p[0];
        h.offset = readLe24(p + 1);
        h.skip = readLe16(p + 4);
        h.first = readLe16(p + 6);
        h.loop = readLe16(p + 8);
        h.end = readLe16(p + 10);
        bank.headers.push_back(h);
        if (h.offset != 0) tableEnd = std::min<size_t>(tableEnd, h.offset);
    }
    // A later header can point below an earlier one's data: the table then
    // ended before it.
    bank.headers.resize(std::min(bank.headers.size(), tableEnd / kSampleHeaderSize));
}

const char* sampleProblemText(SampleProblem problem) {
    switch (problem) {
    case SampleProblem::kNone: return "";
    case SampleProblem::kNoHeader: return "no such header";
    case SampleProblem::kEmpty: return "empty header";
    case SampleProblem::kOutsideBank: return "data past the end of the bank";
    case SampleProblem::kNoRate: return "rate code 0";
    }
    return "";
}

SampleProblem sampleProblem(const SampleBank& bank, int32_t header, int rateCode) {
    if (header < 0 || static_cast<size_t>(header) >= bank.headers.size()) return SampleProblem::kNoHeader;
    const SampleHeader& h = bank.headers[static_cast<size_t>(header)];
    if (h.first == 0) return SampleProblem::kEmpty;
    if (uint64_t{h.offset} + h.skip + h.first > bank.bytes.size()) return SampleProblem::kOutsideBank;
    if (rateCode == 0) return SampleProblem::kNoRate;
    return SampleProblem::kNone;
}

uint32_t sampleRate(int rateCode, bool pal) {
    if (rateCode <= 0) return 0;
    const uint32_t clock = pal ? kPalSampleClock : kNtscSampleClock;
    return clock / (kClockDivider * static_cast<uint32_t>(rateCode));
}

uint32_t sampleFrames(const SampleHeader& header) {
    return header.packed() ? 2u * header.first : header.first;
}

std::vector<uint8_t> samplePcm(const SampleBank& bank, const SampleHeader& header) {
    const uint8_t* data = bank.bytes.data() + header.offset + header.skip;
    if (!header.packed()) return std::vector<uint8_t>(data, data + header.first);
    std::vector<uint8_t> frames;
    frames.reserve(sampleFrames(header));
    for (uint32_t i = 0; i < header.first; ++i) {
        frames.push_back(static_cast<uint8_t>((data[i] & 0x0F) << 4));
        frames.push_back(static_cast<uint8_t>(data[i] & 0xF0));  // high nibble * 16
    }
    return frames;
}

SampleLoopFrames sampleLoop(const SampleHeader& header) {
    SampleLoopFrames loop;
    if (!header.loops() || header.loop == 0 || header.first == 0) return loop;
    const uint32_t bytes = std::min(header.loop, header.first);
    const uint32_t perByte = header.packed() ? 2 : 1;
    loop.looping = true;
    loop.firstFrame = (uint32_t{header.first} - bytes) * perByte;
    loop.lastFrame = sampleFrames(header) - 1;
    return loop;
}

int32_t dacSampleNumber(int32_t note) {
    const int32_t m = (note - kFirstDacNote) % kDacSampleCount;
    return m < 0 ? m + kDacSampleCount : m;
}
