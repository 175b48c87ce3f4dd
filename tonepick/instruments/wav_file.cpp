#include "tonepick/instruments/wav_file.h"

#include <charconv>

#include "common/byte_order.h"
#include "common/output_files.h"

namespace {

constexpr uint32_t kMaxField = 0xFFFFFFFF;
constexpr uint32_t kRiffSizeBase = 36;  // header bytes after the RIFF size field
constexpr uint32_t kFmtChunkSize = 16;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kMonoChannels = 1;
constexpr uint16_t kBlockAlign = 1;
constexpr uint16_t kBitsPerSample = 8;

void putTag(uint8_t* p, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(tag[i]);
}

}  // namespace

std::string wavFileName(int32_t number) {
    // Built with to_chars: a log can stream tens of thousands of samples, and
    // the format parser would cost more than the rest of a short sample's
    // bookkeeping.
    char digits[16];
    const size_t digitCount = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, number).ptr - digits);
    std::string name = "sample_";
    if (digitCount < 3) name.append(3 - digitCount, '0');
    name.append(digits, digitCount);
    name += ".wav";
    return name;
}

void fillWavHeader(uint8_t (&h)[kWavHeaderSize], uint64_t dataSize, uint32_t rate) {
    // Captures this large need an input of gigabytes.
    const uint32_t n = dataSize > kMaxField ? kMaxField : static_cast<uint32_t>(dataSize);
    const uint32_t riff = n > kMaxField - kRiffSizeBase ? kMaxField : n + kRiffSizeBase;
    putTag(h + 0, "RIFF");
    writeLe32(h + 4, riff);
    putTag(h + 8, "WAVE");
    putTag(h + 12, "fmt ");
    writeLe32(h + 16, kFmtChunkSize);
    writeLe16(h + 20, kFormatPcm);
    writeLe16(h + 22, kMonoChannels);
    writeLe32(h + 24, rate);
    writeLe32(h + 28, rate);  // bytes per second: one byte per sample frame
    writeLe16(h + 32, kBlockAlign);
    writeLe16(h + 34, kBitsPerSample);
    putTag(h + 36, "data");
    writeLe32(h + 40, n);
}

bool writeWavFile(OutputFile& file, DacSample& sample) {
    uint8_t header[kWavHeaderSize];
    fillWavHeader(header, sample.size, sample.rate);
    file.write(header, sizeof header);
    return forEachDacSamplePiece(sample, [&](const uint8_t* bytes, size_t n) { file.write(bytes, n); });
}
