#pragma once
// Cuts the stream of bytes written to the YM2612 DAC (register 0x2A) into
// samples: every stretch between switching the DAC on and off (bit 7 of
// register 0x2B) becomes one 8-bit mono WAV file with a measured rate.

#include <cstdint>
#include <vector>

struct TonepickRun;

struct DacCapture {
    bool enabled = false;
    std::vector<uint8_t> buffer;
    uint32_t firstByteTime = 0;  // 0xFFFFFFFF while no byte since the last switch-on
    uint32_t lastByteTime = 0;
    int32_t sampleNumber = 0;
};

// Register 0x2A: one data byte at the current sampleTime.
void dacData(TonepickRun& run, uint8_t value);

// Register 0x2B: switches the capture on or off by bit 7; switching off writes a WAV file.
void dacEnable(TonepickRun& run, uint8_t value);

// Called once after the walk: a capture still open and holding at least one
// byte is written as the last sample, as if the DAC had been switched off.
void flushOpenDacCapture(TonepickRun& run);
