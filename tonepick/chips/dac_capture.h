#pragma once
// Cuts the stream of bytes written to the YM2612 DAC (register 0x2A) into
// samples: every stretch between switching the DAC on and off (bit 7 of
// register 0x2B) becomes one 8-bit mono WAV file "sample_NNN.wav" in the
// output directory, with a rate measured from how fast the bytes arrived.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tonepick/spill_file.h"

struct TonepickRun;

// A capture can be as long as the input (one PCM command byte per sample
// byte); beyond this many bytes in memory it continues in a temporary file.
constexpr size_t kDacBytesInMemory = 4 << 20;

struct DacCapture {
    bool enabled = false;
    SpillFile spill;                 // the oldest bytes of a long capture, in order
    bool spillFailed = false;        // no temporary file: the buffer grows instead
    std::vector<uint8_t> buffer;     // the bytes since the last switch-on that follow `spill`
    uint32_t firstByteTime = 0;      // 0xFFFFFFFF while no byte since the last switch-on
    uint32_t lastByteTime = 0;
    int32_t sampleNumber = 0;        // number of the next WAV file
};

// Register 0x2A: appends one data byte stamped with the current sampleTime.
// Bytes written while the DAC is off are dropped at the next switch-on and
// never reach a file, so they are not kept at all.
void dacData(TonepickRun& run, uint8_t value);

// `count` consecutive data bytes, exactly as `count` calls of dacData would
// append them, the first written at `firstTime` and the last at `lastTime`.
void dacDataRun(TonepickRun& run, const uint8_t* bytes, size_t count, uint32_t firstTime, uint32_t lastTime);

// Register 0x2B: a change of bit 7 switches the capture on (emptying it) or
// off (writing it as the next WAV file); other bits and repeats do nothing.
void dacEnable(TonepickRun& run, uint8_t value);

// Called once after the walk, once the output directory exists: a capture
// still open and holding at least one byte is written as the last sample, as
// if the DAC had been switched off then.
void flushOpenDacCapture(TonepickRun& run);

// Sample rate of n bytes whose first and last carry the given sample times:
// n * 44100 / span truncated, 0 for no bytes, 44100 for a span of 0 or less,
// at most 4294967295.
uint32_t dacSampleRate(uint64_t byteCount, uint32_t firstByteTime, uint32_t lastByteTime);
