#pragma once
// SoundFont 2.01, the sample bank that General MIDI players load directly
// (fluidsynth, timidity, most synthesizers): a RIFF "sfbk" file with an INFO
// list, the sample data as 16-bit points ("sdta"/"smpl") and the nine preset,
// instrument and sample lists ("pdta"), each closed by its terminal record.
// This writer makes one preset of one instrument whose zones each play one
// sample on a key range.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class OutputFile;

struct Sf2Sample {
    std::string name;           // ASCII; cut to 19 characters
    uint32_t frames = 0;        // 8-bit unsigned bytes the sample holds
    uint32_t rate = 44100;      // samples per second
    uint8_t originalPitch = 60; // the MIDI key at which it plays at its own rate
    bool hasLoop = false;
    uint32_t loopStart = 0;     // first frame of the loop
    uint32_t loopEnd = 0;       // first frame after the loop
};

struct Sf2Zone {
    uint8_t keyLow = 0;
    uint8_t keyHigh = 127;
    uint16_t sample = 0;         // index into the sample list
    bool loop = false;           // loops the sample's loop while the key is held
    double releaseSeconds = 0;   // volume-envelope release; 0 leaves the player's default
};

struct Sf2Bank {
    std::string name;            // INAM, the bank's name
    std::string presetName;      // also the instrument's name
    uint16_t bank = 0;           // MIDI bank: 128 is the percussion bank of General MIDI players
    uint16_t preset = 0;         // program number
    std::vector<Sf2Sample> samples;
    std::vector<Sf2Zone> zones;
};

// Hands the bytes of sample `index` to `put`, in pieces; false when they
// could not all be read.
using Sf2SampleBytes =
    std::function<bool(uint32_t index, const std::function<void(const uint8_t*, size_t)>& put)>;

// Points of silence after every sample, as the format asks.
constexpr uint32_t kSf2PadPoints = 46;

// One 8-bit unsigned byte as a 16-bit point: (u - 128) * 256.
inline int16_t sf2Point(uint8_t u) { return static_cast<int16_t>((u - 128) * 256); }

// Release time of the volume envelope in the format's timecents,
// 1200 * log2(seconds), rounded up and kept within -12000..8000.
int16_t sf2Timecents(double seconds);

// Writes the whole bank to `file`, the sample data streamed from `bytes`
// (each sample's `frames` bytes; missing ones are written as silence). False
// when a sample came short or its data would not fit the format's 32-bit
// sizes; the file is then not usable, or shorter than announced.
bool writeSf2(OutputFile& file, const Sf2Bank& bank, const Sf2SampleBytes& bytes);
