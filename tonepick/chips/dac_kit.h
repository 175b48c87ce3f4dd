#pragma once
// The drum kit of a log: each distinct sample the DAC plays, once, and every
// play of it as a timed record for a drum track.
//
// A play is the log playing the PCM data from one place:
// - PCM commands 0x80..0x8F: from the first byte read after a seek (0xE0), a
//   switch-on of the DAC or a new PCM block, or the log's first such read,
//   over the following consecutive reads, up to the next seek, switch-off,
//   new PCM block or the end of the log;
// - a DAC stream: one start (0x93 or 0x95), up to its stop, restart or the end;
// - direct writes of register 0x2A: one stretch from switch-on to switch-off
//   in which the DAC heard nothing from the PCM data.
// Only bytes that reach the DAC while it is switched on count; a play without
// such a byte is no play. A sample is where its plays start in the PCM data
// (data block and offset in it, plus step and direction for streams): PCM
// reads and a stream of step 1 going forward from one place play one sample.
// Direct stretches with identical bytes are one sample.
//
// Samples are numbered in the order of their first play; the records keep a
// provisional index, which numberKitSamples maps to the final numbers.

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "tonepick/chips/dac_capture.h"
#include "tonepick/chips/spill_file.h"

constexpr size_t kMaxKitSamples = 65536;
// Plays kept for the drum track (12 bytes each): a forged log can make one
// per six input bytes; beyond this many they are counted but not kept, so
// that they stay well within the memory the input size allows.
constexpr size_t kMaxKitPlays = size_t{1} << 21;
constexpr uint32_t kNoKitSample = 0xFFFFFFFF;

enum class KitSource : uint8_t { kPcm, kStream, kDirect };

// Where a PCM or stream sample starts in the PCM data: its identity in the kit.
// PCM reads are a forward pass of step 1.
struct KitPlace {
    uint32_t block = 0;    // index of the data block holding its first byte
    uint64_t offset = 0;   // offset of that byte in the block
    uint32_t step = 1;     // bank bytes per write
    bool reverse = false;  // played backwards
    bool operator==(const KitPlace&) const = default;
};

// A direct sample's bytes, kept aside as they exist nowhere in the log's data.
struct KitDirectBytes {
    uint64_t hash = 0;      // of its bytes
    uint64_t spillAt = 0;   // where they lie in DacKit::directBytes (or directMemory)
    bool inMemory = false;  // in directMemory, as no temporary file could take them
};

struct KitSample {
    KitSource source = KitSource::kPcm;  // of its first play (which rate rule applies)
    KitPlace place;           // PCM and stream samples
    uint64_t length = 0;      // stream plays: writes of its longest pass; direct: bytes
    uint64_t pcmReach = 0;    // PCM plays: bytes from the start to the furthest byte read
    uint64_t streamReach = 0; // stream plays: most bytes one play heard (its file holds at most one pass of them)
    uint32_t rate = 0;        // samples per second
    uint64_t longestPlay = 0; // PCM: counted bytes of its longest play (whose rate it keeps)
    uint64_t plays = 0;
    uint64_t firstPlay = 0;   // serial of its first play: the samples' order
    KitDirectBytes direct;    // direct samples
};

struct KitPlay {
    uint32_t firstTime = 0;  // sampleTime of its first byte heard
    uint32_t lastTime = 0;   // and of its last
    uint32_t sample = 0;     // provisional index into DacKit::samples
    uint32_t wraps = 0;      // times the 32-bit clock wrapped before firstTime
};

// Where a stream play lies for the kit, worked out by the driver, which knows
// the bank, from the first byte the play sent to the DAC: `valid` is false
// when that byte lies outside the PCM bank. place.offset: of that byte (the
// top of a reverse pass); passWrites: the pass's writes from that byte on.
struct KitStreamStart {
    bool valid = false;
    KitPlace place;
    uint64_t passWrites = 0;
    uint32_t frequency = 0;
};

struct KitOpenPlay {
    bool open = false;       // a play was started and may still hear bytes
    bool heard = false;      // it has heard a byte: it is a play of `sample`
    uint32_t sample = kNoKitSample;
    uint32_t firstTime = 0;
    uint32_t lastTime = 0;
    uint32_t wraps = 0;      // of the clock before firstTime
    uint64_t bytes = 0;
};

struct KitStreamPlay {
    KitOpenPlay play;
    KitStreamStart start;
};

struct DacKit {
    std::vector<KitSample> samples;
    std::vector<KitPlay> plays;
    bool samplesFull = false;    // a new sample was met beyond kMaxKitSamples
    bool playsFull = false;      // a play was met beyond kMaxKitPlays
    uint64_t nextSerial = 0;     // serial of the next play to hear its first byte
    // Sample lookup: PCM and stream samples by where they start, direct ones by
    // the hash of their bytes (several may share one).
    std::unordered_map<uint64_t, std::vector<uint32_t>> byPlace;
    std::unordered_map<uint64_t, std::vector<uint32_t>> byHash;
    KitOpenPlay pcm;             // the open PCM play
    uint32_t pcmBlock = 0;
    uint64_t pcmStart = 0;       // offset of its first counted byte
    std::vector<KitStreamPlay> streams;  // by stream id, grown on demand
    bool directOpen = false;     // the current stretch has a direct byte
    bool stretchHeardData = false;  // ... and PCM or stream bytes: its direct bytes are no play
    uint64_t directSerial = 0;   // the serial it reserved at that byte
    uint32_t directWraps = 0;    // the clock's wraps at that byte
    uint32_t clockWraps = 0;     // times the 32-bit clock wrapped so far, as heard
    uint32_t lastClock = 0;      // the last time heard
    SpillFile directBytes;       // bytes of the direct samples, one after another
    bool directSpillFailed = false;
    std::vector<uint8_t> directMemory;  // the same without a temporary file
};

// PCM command bytes that reached the DAC while it was on: `count` bytes from
// `position` of data block `block`, the first at firstTime, the last at lastTime.
void kitPcmBytes(DacKit& kit, uint32_t block, uint64_t position, size_t count, uint32_t firstTime, uint32_t lastTime);

// A seek, a switch-off or a new PCM block: the open PCM play ends.
void kitEndPcmPlay(DacKit& kit);

// Stream `id` started a pass (its previous play ends).
void kitStreamStarted(DacKit& kit, int id);

// Stream bytes that reached the DAC while it was on; `start` is where the
// first of them lies (used for the play's first bytes).
void kitStreamBytes(DacKit& kit, int id, size_t count, uint32_t firstTime, uint32_t lastTime,
                    const KitStreamStart& start);

// A direct DAC byte while the DAC is on, at `time`: the stretch's first one
// reserves the stretch's place in the order of plays.
void kitDirectByte(DacKit& kit, uint32_t time);

// A switch-off (or the end of the walk): the stretch of direct bytes that the
// DAC capture holds in kit mode is one play of the sample with these bytes,
// unless the stretch also played PCM data.
void kitDirectStretch(DacKit& kit, DacSample& stretch);

// `n` bytes at `at` of a direct sample; false when they cannot be read back.
bool readKitDirectBytes(DacKit& kit, const KitSample& sample, uint64_t at, uint8_t* out, size_t n);

// After the walk: every open play ends.
void kitEndAllPlays(DacKit& kit);

// The final number of each sample (by provisional index): samples in the
// order of their first play.
std::vector<uint32_t> numberKitSamples(const DacKit& kit);
