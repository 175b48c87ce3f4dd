#include "common/instrument_formats/wav_file.h"

#include "common/byte_order.h"

namespace {

constexpr uint32_t kMaxField = 0xFFFFFFFF;
constexpr uint32_t kRiffSizeBase = 36;  // header bytes after the RIFF size field
constexpr uint32_t kFmtChunkSize = 16;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kMonoChannels = 1;
constexpr uint16_t kBlockAlign = 1;
constexpr uint16_t kBitsPerSample = 8;

// "smpl": nine 32-bit fields, then 24 bytes per loop.
constexpr uint32_t kSmplHeadSize = 36;
constexpr uint32_t kSmplLoopSize = 24;
constexpr uint32_t kUnityNote = 60;
constexpr uint32_t kLoopForward = 0;
constexpr uint32_t kPlayForever = 0;

void putTag(uint8_t* p, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(tag[i]);
}

}  // namespace

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

std::vector<uint8_t> buildWavFile(const uint8_t* samples, size_t size, uint32_t rate, const WavLoop* loop) {
    uint8_t header[kWavHeaderSize];
    fillWavHeader(header, size, rate);
    std::vector<uint8_t> file(header, header + kWavHeaderSize);
    file.insert(file.end(), samples, samples + size);
    if (loop == nullptr) return file;

    // RIFF chunks start on even offsets: odd data is followed by one pad byte.
    if (size % 2 != 0) file.push_back(0);
    const size_t smplStart = file.size();
    file.resize(smplStart + 8 + kSmplHeadSize + kSmplLoopSize, 0);
    uint8_t* s = file.data() + smplStart;
    putTag(s, "smpl");
    writeLe32(s + 4, kSmplHeadSize + kSmplLoopSize);
    // +8 manufacturer, +12 product: 0.
    writeLe32(s + 16, rate == 0 ? 0 : static_cast<uint32_t>(1000000000u / rate));  // sample period in ns
    writeLe32(s + 20, kUnityNote);
    // +24 pitch fraction, +28 SMPTE format, +32 SMPTE offset: 0.
    writeLe32(s + 36, 1);  // one loop
    // +40 sampler data: 0. The loop: cue point id 0, type, start, end, fraction 0, count.
    writeLe32(s + 48, kLoopForward);
    writeLe32(s + 52, loop->firstFrame);
    writeLe32(s + 56, loop->lastFrame);
    writeLe32(s + 64, kPlayForever);
    writeLe32(file.data() + 4, static_cast<uint32_t>(file.size() - 8));
    return file;
}
