#pragma once
// A finished DAC sample as an 8-bit mono PCM WAV file (RIFF, little-endian).

#include <cstdint>
#include <string>

#include "common/instrument_formats/wav_file.h"
#include "tonepick/chips/dac_capture.h"

class OutputFile;

// "sample_%03d.wav" of a sample number.
std::string wavFileName(int32_t number);

// Writes header and bytes of `sample` to `file`; false when the sample's
// bytes could not all be read back from their temporary file.
bool writeWavFile(OutputFile& file, DacSample& sample);
