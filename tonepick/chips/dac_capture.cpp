#include "tonepick/chips/dac_capture.h"

#include <algorithm>

namespace {

constexpr uint8_t kDacEnableBit = 0x80;
constexpr uint32_t kNoByteYet = 0xFFFFFFFF;
constexpr double kTicksPerSecond = 44100.0;
constexpr uint32_t kMaxField = 0xFFFFFFFF;

}  // namespace

uint32_t dacSampleRate(uint64_t byteCount, uint32_t firstByteTime, uint32_t lastByteTime) {
    // An empty stretch still gets a rate a WAV reader accepts (0 is invalid).
    if (byteCount == 0) return static_cast<uint32_t>(kTicksPerSecond);
    // The span is the difference of two 32-bit clock values read as signed.
    const int32_t span = static_cast<int32_t>(lastByteTime - firstByteTime);
    if (span <= 0) return static_cast<uint32_t>(kTicksPerSecond);
    const double rate = static_cast<double>(byteCount) * kTicksPerSecond / span;
    if (rate >= static_cast<double>(kMaxField)) return kMaxField;
    return static_cast<uint32_t>(rate);
}

void dacData(DacCapture& dac, uint8_t value, uint32_t sampleTime) {
    if (!dac.enabled) return;
    dac.buffer.push_back(value);
    if (dac.buffer.size() >= kDacBytesInMemory && !dac.spillFailed) {
        if (dac.spill.append(dac.buffer.data(), dac.buffer.size()))
            dac.buffer.clear();
        else
            dac.spillFailed = true;
    }
    if (dac.firstByteTime == kNoByteYet) dac.firstByteTime = sampleTime;
    dac.lastByteTime = sampleTime;
}

void dacDataRun(DacCapture& dac, const uint8_t* bytes, size_t count, uint32_t firstTime, uint32_t lastTime) {
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

bool dacEnable(DacCapture& dac, uint8_t value) {
    const bool on = (value & kDacEnableBit) != 0;
    if (on == dac.enabled) return false;
    if (!on) return true;
    dac.buffer.clear();
    dac.spill.clear();
    dac.firstByteTime = kNoByteYet;
    dac.enabled = true;
    return false;
}

bool dacCaptureHasOpenSample(const DacCapture& dac) {
    return dac.enabled && (!dac.buffer.empty() || dac.spill.size() != 0);
}

DacSample finishDacSample(DacCapture& dac) {
    DacSample sample{dac};
    sample.number = dac.sampleNumber;
    if (dac.sampleNumber < INT32_MAX) ++dac.sampleNumber;
    dac.enabled = false;
    sample.size = dac.spill.size() + dac.buffer.size();
    sample.rate = dacSampleRate(sample.size, dac.firstByteTime, dac.lastByteTime);
    return sample;
}
