#pragma once
// 8-bit unsigned mono PCM WAV files (RIFF, little-endian), the form both
// programs give their DAC samples.

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t kWavHeaderSize = 44;

// The 44-byte header of a file of dataSize sample bytes at `rate` samples per
// second and no other chunk. Sizes a RIFF file cannot express are saturated
// at 0xFFFFFFFF.
void fillWavHeader(uint8_t (&header)[kWavHeaderSize], uint64_t dataSize, uint32_t rate);

// A sustain loop over sample frames firstFrame..lastFrame (both included).
struct WavLoop {
    uint32_t firstFrame = 0;
    uint32_t lastFrame = 0;
};

// A whole WAV file of `size` sample bytes at `rate`: the header, the data and,
// when `loop` is given, a pad byte after odd data and a "smpl" chunk holding
// that one forward loop, played without end, which samplers read as the
// sample's loop points (unity note 60). At most 4 GiB of data.
std::vector<uint8_t> buildWavFile(const uint8_t* samples, size_t size, uint32_t rate, const WavLoop* loop);
