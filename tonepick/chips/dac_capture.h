#pragma once
// Cuts the stream of bytes written to the YM2612 DAC (register 0x2A) into
// samples: every stretch between switching the DAC on and off (bit 7 of
// register 0x2B) becomes one finished sample, numbered in order, with a rate
// measured from how fast the bytes arrived. The capture hands finished
// samples to its caller; writing them as files is not its business.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tonepick/chips/spill_file.h"

// A capture can be as long as the input (one PCM command byte per sample
// byte); beyond this many bytes in memory it continues in a temporary file.
constexpr size_t kDacBytesInMemory = 4 << 20;

struct DacCapture {
    bool enabled = false;            // the DAC is switched on (register 0x2B, bit 7)
    SpillFile spill;                 // the oldest bytes of a long capture, in order
    bool spillFailed = false;        // no temporary file: the buffer grows instead
    std::vector<uint8_t> buffer;     // the bytes since the last switch-on that follow `spill`
    uint32_t firstByteTime = 0;      // 0xFFFFFFFF while no byte since the last switch-on
    uint32_t lastByteTime = 0;       // sample time of the latest byte
    int32_t sampleNumber = 0;        // number of the next finished sample
};

// A finished sample: its bytes are the capture's spilled bytes followed by its
// buffer, valid until the capture is next switched on.
struct DacSample {
    DacCapture& capture;
    int32_t number = 0;    // 0, 1, 2, ... in the order the samples finish
    uint32_t rate = 0;     // bytes per second, see dacSampleRate
    uint64_t size = 0;     // number of bytes
};

// Register 0x2A at `sampleTime`: appends one data byte. Bytes written while
// the DAC is off are dropped at the next switch-on and never reach a sample,
// so they are not kept at all.
void dacData(DacCapture& dac, uint8_t value, uint32_t sampleTime);

// `count` consecutive data bytes, exactly as `count` calls of dacData would
// append them, the first written at `firstTime` and the last at `lastTime`.
void dacDataRun(DacCapture& dac, const uint8_t* bytes, size_t count, uint32_t firstTime, uint32_t lastTime);

// Register 0x2B: a change of bit 7 switches the capture on (emptying it) or
// off; other bits and repeats do nothing. Returns true when the write
// switched the capture off: a sample is finished, to be taken with
// finishDacSample before the next write.
bool dacEnable(DacCapture& dac, uint8_t value);

// After the walk: true when the capture is still open and holds at least one
// byte, so that it should be finished as if the DAC had been switched off.
bool dacCaptureHasOpenSample(const DacCapture& dac);

// Closes the capture and returns it as the next numbered sample (the number
// is used up whatever becomes of the sample).
DacSample finishDacSample(DacCapture& dac);

// Calls put(bytes, n) for the sample's bytes in order, in pieces; false when
// the temporary file could not be read back (the bytes before it were given).
template <typename Put>
bool forEachDacSamplePiece(DacSample& sample, Put&& put);

// Sample rate of n bytes whose first and last carry the given sample times:
// n * 44100 / span truncated, 44100 for no bytes or a span of 0 or less,
// at most 4294967295.
uint32_t dacSampleRate(uint64_t byteCount, uint32_t firstByteTime, uint32_t lastByteTime);

template <typename Put>
bool forEachDacSamplePiece(DacSample& sample, Put&& put) {
    constexpr size_t kSpillCopyChunk = 64 * 1024;  // bytes moved at a time from the temporary file
    DacCapture& dac = sample.capture;
    const uint64_t spilled = dac.spill.size();
    if (spilled > 0) {
        std::vector<uint8_t> chunk(kSpillCopyChunk);
        for (uint64_t at = 0; at < spilled; at += chunk.size()) {
            const size_t take = static_cast<size_t>(spilled - at < chunk.size() ? spilled - at : chunk.size());
            if (!dac.spill.read(at, chunk.data(), take)) return false;
            put(chunk.data(), take);
        }
    }
    if (!dac.buffer.empty()) put(dac.buffer.data(), dac.buffer.size());
    return true;
}
