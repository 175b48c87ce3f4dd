#include "tonepick/chips/dac_capture.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <memory>
#include <string>

#include "common/byte_order.h"
#include "common/output_directory.h"
#include "common/output_files.h"
#include "tonepick/tonepick_run.h"

namespace {

constexpr uint8_t kDacEnableBit = 0x80;
constexpr uint32_t kNoByteYet = 0xFFFFFFFF;
constexpr double kTicksPerSecond = 44100.0;
constexpr uint32_t kMaxField = 0xFFFFFFFF;

// RIFF/WAVE header of an 8-bit mono PCM file.
constexpr size_t kWavHeaderSize = 44;
constexpr uint32_t kRiffSizeBase = 36;  // header bytes after the RIFF size field
constexpr uint32_t kFmtChunkSize = 16;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kMonoChannels = 1;
constexpr uint16_t kBlockAlign = 1;
constexpr uint16_t kBitsPerSample = 8;

constexpr size_t kSpillCopyChunk = 64 * 1024;  // bytes moved at a time from the temporary file

void putTag(uint8_t* p, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(tag[i]);
}

void fillWavHeader(uint8_t (&h)[kWavHeaderSize], uint64_t dataSize, uint32_t rate) {
    // Sizes that a RIFF file cannot express are saturated; captures that large
    // need an input of gigabytes.
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

// Writes the open capture as the next numbered WAV file and closes it. The
// number is used up even when the file cannot be created.
void writeSample(TonepickRun& run) {
    DacCapture& dac = run.dac;
    const std::string& dir = run.settings.outputDir;
    // Samples are written during the walk, before the driver creates the
    // output directory; make it here so a first run into a new directory
    // keeps its samples.
    prepareOutputDirectory(run.outputDirState, dir, *run.files, run.out);

    // "sample_%03d.wav", built with to_chars: a log can stream tens of
    // thousands of samples, and the format parser would cost more than the
    // rest of a short sample's bookkeeping.
    char digits[16];
    const size_t digitCount = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, dac.sampleNumber).ptr - digits);
    std::string name = "sample_";
    if (digitCount < 3) name.append(3 - digitCount, '0');
    name.append(digits, digitCount);
    name += ".wav";
    if (dac.sampleNumber < INT32_MAX) ++dac.sampleNumber;
    dac.enabled = false;
    const std::string path = joinOutputPath(dir, name);

    std::unique_ptr<OutputFile> file = run.files->create(path);
    if (!file) {
        std::fprintf(run.out, "Error: Can't create file \"%s\"\n", path.c_str());
        return;
    }
    uint8_t header[kWavHeaderSize];
    const uint64_t spilled = dac.spill.size();
    const uint64_t n = spilled + dac.buffer.size();
    fillWavHeader(header, n, dacSampleRate(n, dac.firstByteTime, dac.lastByteTime));
    bool ok = file->write(header, sizeof header) == sizeof header;
    if (spilled > 0) {
        std::vector<uint8_t> chunk(kSpillCopyChunk);
        for (uint64_t at = 0; at < spilled; at += chunk.size()) {
            const size_t take = static_cast<size_t>(std::min<uint64_t>(chunk.size(), spilled - at));
            if (!dac.spill.read(at, chunk.data(), take)) {
                ok = false;
                break;
            }
            ok = file->write(chunk.data(), take) == take && ok;
        }
    }
    if (!dac.buffer.empty()) ok = file->write(dac.buffer.data(), dac.buffer.size()) == dac.buffer.size() && ok;
    ok = ok && file->flush();
    if (!ok) std::fprintf(run.out, "Error: Can't write file \"%s\"\n", path.c_str());
}

}  // namespace

uint32_t dacSampleRate(uint64_t byteCount, uint32_t firstByteTime, uint32_t lastByteTime) {
    if (byteCount == 0) return 0;
    // The span is the difference of two 32-bit clock values read as signed.
    const int32_t span = static_cast<int32_t>(lastByteTime - firstByteTime);
    if (span <= 0) return static_cast<uint32_t>(kTicksPerSecond);
    const double rate = static_cast<double>(byteCount) * kTicksPerSecond / span;
    if (rate >= static_cast<double>(kMaxField)) return kMaxField;
    return static_cast<uint32_t>(rate);
}

void dacData(TonepickRun& run, uint8_t value) {
    DacCapture& dac = run.dac;
    if (!dac.enabled) return;
    dac.buffer.push_back(value);
    if (dac.buffer.size() >= kDacBytesInMemory && !dac.spillFailed) {
        if (dac.spill.append(dac.buffer.data(), dac.buffer.size()))
            dac.buffer.clear();
        else
            dac.spillFailed = true;
    }
    if (dac.firstByteTime == kNoByteYet) dac.firstByteTime = run.stream.sampleTime;
    dac.lastByteTime = run.stream.sampleTime;
}

void dacDataRun(TonepickRun& run, const uint8_t* bytes, size_t count, uint32_t firstTime, uint32_t lastTime) {
    DacCapture& dac = run.dac;
    if (!dac.enabled || count == 0) return;
    // Below the threshold while spilling works: fill up to it, spill, go on.
    size_t done = 0;
    while (done < count) {
        size_t take = count - done;
        if (!dac.spillFailed) take = std::min(take, kDacBytesInMemory - dac.buffer.size());
        dac.buffer.insert(dac.buffer.end(), bytes + done, bytes + done + take);
        done += take;
        if (dac.buffer.size() >= kDacBytesInMemory && !dac.spillFailed) {
            if (dac.spill.append(dac.buffer.data(), dac.buffer.size()))
                dac.buffer.clear();
            else
                dac.spillFailed = true;
        }
    }
    if (dac.firstByteTime == kNoByteYet) dac.firstByteTime = firstTime;
    dac.lastByteTime = lastTime;
}

void dacEnable(TonepickRun& run, uint8_t value) {
    DacCapture& dac = run.dac;
    const bool on = (value & kDacEnableBit) != 0;
    if (on == dac.enabled) return;
    if (on) {
        dac.buffer.clear();
        dac.spill.clear();
        dac.firstByteTime = kNoByteYet;
        dac.enabled = true;
    } else {
        writeSample(run);
    }
}

void flushOpenDacCapture(TonepickRun& run) {
    if (!run.dac.enabled || (run.dac.buffer.empty() && run.dac.spill.size() == 0)) return;
    writeSample(run);
}
