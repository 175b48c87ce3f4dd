#pragma once
// DAC stream control (VGM 1.60 commands 0x90..0x95): a stream is a small
// machine that writes bytes of a data bank to a chip register at a fixed
// frequency. Streams aimed at the YM2612 DAC (chip type 0x02, port 0,
// register 0x2A) are played here; their bytes reach the DAC exactly as direct
// writes of register 0x2A would.
//
// Timing is sample-exact on the log's 44100 Hz clock. Each playing stream has
// a signed counter in units of 2^-32 writes and an increment
// inc = floor(frequency * 2^32 / 44100). A start at sample time T sets the
// counter to 2^32 - inc; at every sample time t >= T, after the log's own
// commands at t, the stream adds inc, makes n = floor(counter / 2^32) writes
// (0 when negative) and subtracts n * 2^32. Streams update in ascending id.
//
// The player never steps sample by sample: the writes of a stretch of time
// are computed in closed form and delivered when the caller advances the
// player, which it must do before anything that can see the DAC or the bank
// (DAC register writes, PCM commands, stream commands, new data blocks, the end).

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "tonepick/vgm/vgm_reader.h"

constexpr int kDacStreamCount = 255;                 // ids 0x00..0xFE; 0xFF means "all" for a stop
constexpr uint64_t kMaxDacStreamWrites = 100000000;  // per run, with or without a byte
constexpr size_t kDacStreamChunkBytes = 4096;        // bytes handed to the sink at a time

// Where a stream's data lives: the data blocks of the YM2612 PCM type (0x00),
// laid end to end in file order. Streams on any other bank type find no byte.
struct StreamBankBlock {
    uint64_t offset = 0;  // position of the block's first byte in the bank
    uint64_t size = 0;
    uint32_t block = 0;   // index into the reader's blocks
};

struct StreamBank {
    std::vector<StreamBankBlock> blocks;
    uint64_t size = 0;
};

struct DacStream {
    bool dacTarget = false;  // set up (0x90) for the YM2612 DAC; otherwise its commands are not ours
    bool playing = false;
    bool hasBank = false;    // false before the first 0x91: writes find no byte
    uint8_t bankType = 0;
    uint32_t stepSize = 1;   // bank bytes the position moves per write (never 0)
    uint8_t stepBase = 0;    // added to a 0x93 start position
    uint32_t frequency = 0;  // writes per second
    int64_t increment = 0;   // floor(frequency * 2^32 / 44100)
    int64_t counter = 0;     // 2^-32 writes, as of the player's updatedUntil
    // The current pass: write j reads start + j * step, or in reverse
    // start + (writes - 1 - j) * step.
    uint64_t start = 0;
    uint64_t writes = 0;
    uint64_t done = 0;       // writes made in the current pass
    bool reverse = false;
    bool loop = false;
    // What a 0x93 start position of FFFFFFFF or length mode 0 reuses.
    uint64_t previousStart = 0;
    uint64_t previousWrites = 0;
};

struct DacStreamPlayer {
    std::array<DacStream, kDacStreamCount> streams{};
    StreamBank pcmBank;  // bank type 0x00
    // Every stream has made its updates for all sample times before this one.
    uint32_t updatedUntil = 0;
    uint64_t writesMade = 0;                     // stream writes so far in the run
    uint64_t writeLimit = kMaxDacStreamWrites;   // tests lower it to reach the bound quickly
    bool boundReached = false;                   // writeLimit was reached: no stream plays any more
    int playingCount = 0;                        // streams whose `playing` is set
};

enum class StreamCommandResult {
    kPlayed,     // a command of a stream aimed at the DAC (or a stop of all streams)
    kUnhandled,  // a stream never set up, or set up for another chip: nothing changed
};

// Appends a data block of type 0x00 that the reader stored (index `block` of
// its list) to the PCM bank. Call after advancing to the block's time.
void addStreamBankBlock(DacStreamPlayer& player, uint32_t block, uint64_t size);

// Applies stream command 0x90..0x95 with its operands at the sample time the
// player was last advanced to. The caller advances the player first.
StreamCommandResult applyStreamCommand(DacStreamPlayer& player, uint8_t command, const uint8_t* operands);

// Where write `write` of the current pass of a stream lies in the PCM bank,
// for the kit: `inBank` is false when its position lies outside the bank.
struct DacStreamPlace {
    bool inBank = false;
    uint32_t block = 0;       // index of the reader's data block holding the write's byte
    uint64_t offset = 0;      // offset of that byte in that block
    uint32_t step = 1;
    bool reverse = false;
    uint64_t passWrites = 0;  // writes of the pass from that one on
    uint32_t frequency = 0;
};
DacStreamPlace dacStreamPlaceOfWrite(const DacStreamPlayer& player, int id, uint64_t write);

// A pass over the PCM bank as the kit reads a sample back: `writes` positions
// from `start`, `step` apart, read from the last down when `reverse`.
struct StreamBankPass {
    uint64_t start = 0;
    uint64_t writes = 0;
    uint32_t step = 1;
    bool reverse = false;
};

// The pass of `writes` writes whose first byte sent to the DAC lies at
// `offset` of data block `block` (for a reverse pass its top byte: the pass
// runs down from there, never below the bank's start); false when that block
// is not in the PCM bank.
bool pcmBankPassFrom(const DacStreamPlayer& player, uint32_t block, uint64_t offset, uint64_t writes, uint32_t step,
                     bool reverse, StreamBankPass& pass);

// Writes of `pass` whose positions lie inside the PCM bank.
uint64_t pcmBankPassBytes(const DacStreamPlayer& player, const StreamBankPass& pass);

// The bytes of writes [first, first + count) of `pass` that lie inside the
// PCM bank, as readPassBytes gives them for a stream.
size_t readPcmBankPass(const DacStreamPlayer& player, const std::vector<DataBlock>& blocks, const StreamBankPass& pass,
                       uint64_t first, size_t count, uint8_t* out, uint64_t& firstFound);

// True when some stream plays: the dispatcher's fast paths must then stop
// before every command that can see the DAC.
inline bool streamsPlaying(const DacStreamPlayer& player) { return player.playingCount != 0; }

namespace dac_stream_detail {

__extension__ using Int128 = __int128;
constexpr Int128 kOneWrite = Int128{1} << 32;

inline Int128 floorDiv(Int128 a, Int128 b) {
    Int128 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// Update index (from 0) of the update that makes write number `x` (from 0) of
// a stream whose counter is `counter` before update 0.
inline uint64_t updateOfWrite(int64_t counter, int64_t increment, uint64_t x) {
    const Int128 need = static_cast<Int128>(x + 1) * kOneWrite - counter;
    if (increment <= 0) return 0;  // only a counter already past need ever writes
    const Int128 updates = floorDiv(need + increment - 1, increment);  // ceil
    return updates <= 1 ? 0 : static_cast<uint64_t>(updates - 1);
}

// Total writes made by `updates` updates from `counter`.
inline Int128 writesOfUpdates(int64_t counter, int64_t increment, uint64_t updates) {
    const Int128 total = static_cast<Int128>(counter) + static_cast<Int128>(increment) * updates;
    const Int128 n = floorDiv(total, kOneWrite);
    return n < 0 ? 0 : n;
}

void stopStream(DacStreamPlayer& player, DacStream& stream);
void stopAllStreams(DacStreamPlayer& player);

// The bank a stream reads, or nullptr when its writes find no byte.
const StreamBank* streamBank(const DacStreamPlayer& player, const DacStream& stream);

// Writes of a whole pass of `stream` whose positions lie inside its bank.
uint64_t passBytesInBank(const DacStreamPlayer& player, const DacStream& stream);

// Fills `out` with the bytes of writes [first, first + count) of the current
// pass that lie inside the bank, and says which of them those are:
// writes [*firstFound, *firstFound + returned) (the inside writes of a pass
// are one stretch, as positions move one way).
size_t readPassBytes(const DacStreamPlayer& player, const DacStream& stream, const std::vector<DataBlock>& blocks,
                     uint64_t first, size_t count, uint8_t* out, uint64_t& firstFound);

// Takes the writes of the updates at relative times [from, limit) of one
// stream whose counter is as of `from`, handing found bytes to the sink.
// Returns false when the stream stopped on the way.
template <typename Sink>
bool takeStreamWrites(DacStreamPlayer& player, const std::vector<DataBlock>& blocks, int id, uint32_t base,
                      uint64_t from, uint64_t limit, Sink& sink, size_t chunkBytes) {
    DacStream& s = player.streams[static_cast<size_t>(id)];
    const uint64_t updates = limit - from;
    const Int128 total = writesOfUpdates(s.counter, s.increment, updates);
    Int128 taken = 0;
    uint8_t chunk[kDacStreamChunkBytes];
    if (chunkBytes == 0 || chunkBytes > kDacStreamChunkBytes) chunkBytes = kDacStreamChunkBytes;
    while (taken < total) {
        Int128 want = total - taken;
        const uint64_t passLeft = s.writes - s.done;
        if (want > passLeft) want = passLeft;
        const uint64_t boundLeft = player.writeLimit - player.writesMade;
        if (want > boundLeft) want = boundLeft;
        const auto n = static_cast<uint64_t>(want);
        // The bytes of writes [done, done + n) in chunks, each stamped with
        // the times of its first and last byte.
        for (uint64_t at = 0; at < n;) {
            const size_t piece = static_cast<size_t>(n - at < chunkBytes ? n - at : chunkBytes);
            uint64_t firstFound = 0;
            const size_t found = readPassBytes(player, s, blocks, s.done + at, piece, chunk, firstFound);
            if (found != 0) {
                const uint64_t k0 = static_cast<uint64_t>(taken) + (firstFound - s.done);
                const uint64_t u0 = from + updateOfWrite(s.counter, s.increment, k0);
                const uint64_t u1 = from + updateOfWrite(s.counter, s.increment, k0 + found - 1);
                sink.streamBytes(id, chunk, found, base + static_cast<uint32_t>(u0), base + static_cast<uint32_t>(u1),
                                 firstFound);
            }
            at += piece;
        }
        taken += n;
        player.writesMade += n;
        s.done += n;
        if (player.writesMade >= player.writeLimit) {
            stopAllStreams(player);
            player.boundReached = true;
            return false;
        }
        if (s.done == s.writes) {
            if (!s.loop) {
                stopStream(player, s);
                return false;
            }
            s.done = 0;
        }
    }
    s.counter = static_cast<int64_t>(static_cast<Int128>(s.counter) + static_cast<Int128>(s.increment) * updates -
                                      total * kOneWrite);
    return true;
}

// Relative time of the stream's next write at or after `at`, or `span` when
// it makes none before the end of the stretch.
inline uint64_t nextStreamWrite(const DacStream& s, uint64_t at, uint64_t span) {
    if (writesOfUpdates(s.counter, s.increment, span - at) == 0) return span;
    return at + updateOfWrite(s.counter, s.increment, 0);
}

}  // namespace dac_stream_detail

// Makes every playing stream's updates for the sample times from
// player.updatedUntil up to (not including) `until`, in time order and at
// one time in ascending stream id, handing the bytes that find bank data to
// sink.streamBytes(id, bytes, count, firstTime, lastTime, firstWrite) (firstWrite:
// the number of the first byte's write in the stream's pass) and reading the bank
// from `blocks` (the reader's data blocks). The clock may wrap around 2^32.
// `chunkBytes` limits the bytes per call of the sink (tests use 1 to see the
// time of every byte).
template <typename Sink>
void advanceStreams(DacStreamPlayer& player, const std::vector<DataBlock>& blocks, uint32_t until, Sink& sink,
                    size_t chunkBytes = kDacStreamChunkBytes) {
    using namespace dac_stream_detail;
    const uint32_t base = player.updatedUntil;
    const uint64_t span = static_cast<uint32_t>(until - base);
    player.updatedUntil = until;
    if (span == 0 || player.playingCount == 0) return;

    // The playing streams, as (time of next write, id): a min-heap, so that
    // writes come out in time order and, at one time, in ascending id.
    using Entry = std::pair<uint64_t, int>;
    std::array<Entry, kDacStreamCount> heap;
    std::array<uint64_t, kDacStreamCount> at{};  // relative time each stream is updated to
    size_t count = 0;
    for (int id = 0; id < kDacStreamCount; ++id) {
        const DacStream& s = player.streams[static_cast<size_t>(id)];
        if (s.playing) heap[count++] = Entry{nextStreamWrite(s, 0, span), id};
    }
    const auto later = [](const Entry& a, const Entry& b) { return a > b; };
    std::make_heap(heap.begin(), heap.begin() + static_cast<std::ptrdiff_t>(count), later);
    while (count != 0) {
        std::pop_heap(heap.begin(), heap.begin() + static_cast<std::ptrdiff_t>(count), later);
        const auto [time, id] = heap[--count];
        DacStream& s = player.streams[static_cast<size_t>(id)];
        if (!s.playing) continue;  // all streams stopped at the bound
        uint64_t& from = at[static_cast<size_t>(id)];
        // This stream may write up to the next write of another: at that
        // write's time too when its own id is lower.
        uint64_t limit = span;
        if (time < span && count != 0) {
            const Entry& other = heap[0];
            limit = std::min(span, other.first + (id < other.second ? 1 : 0));
        }
        if (!takeStreamWrites(player, blocks, id, base, from, limit, sink, chunkBytes)) continue;
        from = limit;
        if (limit == span) continue;
        heap[count++] = Entry{nextStreamWrite(s, from, span), id};
        std::push_heap(heap.begin(), heap.begin() + static_cast<std::ptrdiff_t>(count), later);
    }
}
