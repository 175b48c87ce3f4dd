#pragma once
// The GEMS sample bank: a table of 12-byte headers, then the sample data.
//
//   +0      flags: bits 0..3 rate code, bit 4 loop, bit 5 cut at note-off,
//           bit 7 4-bit packed data
//   +1..3   offset of the data from the start of the bank (24-bit LE)
//   +4..5   skip: bytes added to the start
//   +6..7   first: bytes to play; 0 marks an empty header
//   +8..9   loop: length of the looping part, at the end of the first part
//   +10..11 end (not used for playback)
//
// The table ends where the lowest non-zero data offset begins. Data bytes are
// 8-bit unsigned PCM that the driver sends to the DAC unchanged; packed data
// holds two samples a byte, low nibble first, each played as nibble * 16.

#include <cstdint>
#include <vector>

// The furthest a header can reach: a 24-bit offset plus skip plus first.
// Larger files are refused (16 MiB + 128 KiB).
constexpr uint32_t kMaxSampleBankSize = 0x1020000;
constexpr uint32_t kSampleHeaderSize = 12;

// The driver's sample clock: rate = clock / (144 * rate code).
constexpr uint32_t kNtscSampleClock = 7670454;
constexpr uint32_t kPalSampleClock = 7600489;

struct SampleHeader {
    uint8_t flags = 0;
    uint32_t offset = 0;
    uint16_t skip = 0;
    uint16_t first = 0;
    uint16_t loop = 0;
    uint16_t end = 0;

    int rateCode() const { return flags & 0x0F; }
    bool loops() const { return (flags & 0x10) != 0; }
    bool cutAtNoteOff() const { return (flags & 0x20) != 0; }
    bool packed() const { return (flags & 0x80) != 0; }
};

struct SampleBank {
    std::vector<uint8_t> bytes;  // the whole file
    std::vector<SampleHeader> headers;
};

enum class SampleBankLoad : uint8_t { kLoaded, kCannotOpen, kTooLarge };

// Reads the whole file (at most kMaxSampleBankSize bytes) and its header table.
SampleBankLoad loadSampleBank(const char* path, SampleBank& bank);

// The header table of bank.bytes: headers are read while the next one ends at
// or before both the lowest non-zero data offset seen so far and the end of
// the file. An empty bank, or one shorter than a header, has none.
void readSampleHeaders(SampleBank& bank);

// Why a header played at a rate code gives no sample.
enum class SampleProblem : uint8_t {
    kNone,
    kNoHeader,     // the number is past the end of the table
    kEmpty,        // first is 0
    kOutsideBank,  // offset + skip + first runs past the end of the bank
    kNoRate,       // rate code 0
};

const char* sampleProblemText(SampleProblem problem);

SampleProblem sampleProblem(const SampleBank& bank, int32_t header, int rateCode);

// clock / (144 * code) in whole Hz; 0 for code 0.
uint32_t sampleRate(int rateCode, bool pal);

// The sample frames the driver plays: `first` bytes from offset + skip, two
// frames a byte for packed data. Only for a header without a problem.
uint32_t sampleFrames(const SampleHeader& header);
std::vector<uint8_t> samplePcm(const SampleBank& bank, const SampleHeader& header);

// The loop of a looping header: the last `loop` bytes of the `first` (all of
// them when loop is larger), in frames, last frame included. None when the
// loop flag is clear or loop is 0.
struct SampleLoopFrames {
    bool looping = false;
    uint32_t firstFrame = 0;
    uint32_t lastFrame = 0;
};
SampleLoopFrames sampleLoop(const SampleHeader& header);

// The header a DAC note plays: (note - 48) mod 96, never negative.
int32_t dacSampleNumber(int32_t note);
