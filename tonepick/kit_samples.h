#pragma once
// The bytes of the kit's samples after the walk: how many each holds, read
// back piece by piece from the stream bank (PCM and stream samples) or from
// the direct stretches, and which samples hold the same sound.

#include <cstdint>
#include <string>
#include <vector>

#include "tonepick/chips/dac_kit.h"
#include "tonepick/vgm/dac_stream_player.h"

struct TonepickRun;

// Extra bytes the kit's stream samples may hold beyond what their plays
// reached: a drum cut short by the next one is still written whole, but a
// forged log of many start positions cannot turn a few command bytes into a
// copy of the whole bank per start.
constexpr uint64_t kKitWholePassBudget = 64ull << 20;

// How many bytes sample `s` holds: as far as a PCM play read, or a stream
// play reached, or a whole pass while `budget` allows (and then takes from it).
uint64_t kitSampleBytes(TonepickRun& run, const KitSample& s, uint64_t& budget);

// Reads the first `count` bytes of one kit sample in pieces of up to 64 KiB.
struct KitSampleReader {
    TonepickRun* run = nullptr;
    const KitSample* sample = nullptr;
    StreamBankPass pass;     // PCM and stream samples: a pass over the stream bank from the sample's place
    bool hasPass = false;    // false when the sample's block is not in the bank: no bytes
    uint64_t left = 0;       // bytes still to hand out
    uint64_t next = 0;       // next pass write, or next direct byte
    bool failed = false;     // direct bytes could not be read back
    std::vector<uint8_t> chunk;
};

KitSampleReader openKitSample(TonepickRun& run, const KitSample& s, uint64_t count);

// The next piece of the sample (valid until the next call); 0 at its end or
// after a failure.
size_t nextKitPiece(KitSampleReader& reader, const uint8_t*& bytes);

// Where a sample lies, for kit.txt: "block B offset O" with " step S" and
// " reverse" when they apply, or "direct".
std::string kitSamplePlace(const KitSample& s);

// A kit sample with its size worked out, in the order of its number.
struct SizedKitSample {
    const KitSample* sample = nullptr;
    uint64_t bytes = 0;
};

// For each sample, the position of the first sample of the list with the same
// rate and the same bytes (its own position when none comes before it). Equal
// samples are found by a hash of rate and bytes, then compared byte by byte;
// a sample whose bytes cannot all be read back is equal to no other.
std::vector<uint32_t> findEqualKitSamples(TonepickRun& run, const std::vector<SizedKitSample>& samples);
