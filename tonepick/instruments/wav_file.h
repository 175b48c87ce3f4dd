#pragma once
// A finished DAC sample as an 8-bit mono PCM WAV file (RIFF, little-endian).

#include <cstdint>
#include <string>

#include "tonepick/chips/dac_capture.h"

class OutputFile;

constexpr size_t kWavHeaderSize = 44;

// "sample_%03d.wav" of a sample number.
std::string wavFileName(int32_t number);

// The 44-byte header of a file of dataSize sample bytes at `rate` samples per
// second. Sizes a RIFF file cannot express are saturated at 0xFFFFFFFF.
void fillWavHeader(uint8_t (&header)[kWavHeaderSize], uint64_t dataSize, uint32_t rate);

// Writes header and bytes of `sample` to `file`; false when the sample's
// bytes could not all be read back from their temporary file.
bool writeWavFile(OutputFile& file, DacSample& sample);
