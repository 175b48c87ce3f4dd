// The DAC stream player against a slow reference that steps sample by sample,
// and each stream command's settings.

#include "tonepick/vgm/dac_stream_player.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "common/byte_order.h"

namespace {

struct Write {
    uint32_t time;
    int stream;
    uint8_t byte;
    bool operator==(const Write&) const = default;
};

// Records every byte with its time; with chunks of one byte the times are exact.
struct RecordingSink {
    std::vector<Write> writes;
    std::vector<std::pair<uint32_t, uint32_t>> chunkTimes;  // first and last time of each call
    std::vector<size_t> chunkStarts;
    void streamBytes(int id, const uint8_t* bytes, size_t count, uint32_t firstTime, uint32_t lastTime,
                     uint64_t /*firstWrite*/) {
        chunkStarts.push_back(writes.size());
        chunkTimes.emplace_back(firstTime, lastTime);
        for (size_t i = 0; i < count; ++i) writes.push_back(Write{i == 0 ? firstTime : lastTime, id, bytes[i]});
    }
};

// The timing rule taken literally: every sample time, every stream in id order.
void referenceAdvance(DacStreamPlayer& p, const std::vector<DataBlock>& blocks, uint32_t until,
                      std::vector<Write>& out) {
    constexpr int64_t kOne = int64_t{1} << 32;
    for (uint32_t t = p.updatedUntil; t != until && p.playingCount != 0; ++t) {
        for (int id = 0; id < kDacStreamCount; ++id) {
            DacStream& s = p.streams[static_cast<size_t>(id)];
            if (!s.playing) continue;
            s.counter += s.increment;
            const int64_t n = s.counter < 0 ? 0 : s.counter / kOne;
            bool stopped = false;
            for (int64_t w = 0; w < n && !stopped; ++w) {
                const uint64_t j = s.reverse ? s.writes - 1 - s.done : s.done;
                const uint64_t position = s.start + j * s.stepSize;
                if (s.hasBank && s.bankType == 0 && position < p.pcmBank.size) {
                    for (const StreamBankBlock& b : p.pcmBank.blocks) {
                        if (position >= b.offset && position < b.offset + b.size) {
                            out.push_back(Write{t, id, blocks[b.block].bytes[position - b.offset]});
                            break;
                        }
                    }
                }
                ++s.done;
                ++p.writesMade;
                if (p.writesMade >= p.writeLimit) {
                    for (DacStream& other : p.streams) other.playing = false;
                    p.playingCount = 0;
                    p.boundReached = true;
                    stopped = true;
                } else if (s.done == s.writes) {
                    if (s.loop) {
                        s.done = 0;
                    } else {
                        s.playing = false;
                        --p.playingCount;
                        stopped = true;
                    }
                }
            }
            if (!stopped) s.counter -= n * kOne;
        }
    }
    p.updatedUntil = until;
}

// A stream program: commands at times, applied to the fast player and the
// reference alike.
struct Program {
    DacStreamPlayer fast;
    DacStreamPlayer slow;
    std::vector<DataBlock> blocks;
    RecordingSink sink;
    std::vector<Write> expected;
    size_t chunkBytes = 1;

    void advanceTo(uint32_t time) {
        advanceStreams(fast, blocks, time, sink, chunkBytes);
        referenceAdvance(slow, blocks, time, expected);
    }
    StreamCommandResult command(uint32_t time, std::vector<uint8_t> bytes) {
        advanceTo(time);
        const StreamCommandResult a = applyStreamCommand(fast, bytes[0], bytes.data() + 1);
        const StreamCommandResult b = applyStreamCommand(slow, bytes[0], bytes.data() + 1);
        EXPECT_EQ(a, b);
        return a;
    }
    void addBlock(uint32_t time, std::vector<uint8_t> bytes) {
        advanceTo(time);
        DataBlock block;
        block.size = static_cast<uint32_t>(bytes.size());
        block.bytes = std::move(bytes);
        blocks.push_back(std::move(block));
        addStreamBankBlock(fast, static_cast<uint32_t>(blocks.size() - 1), blocks.back().bytes.size());
        addStreamBankBlock(slow, static_cast<uint32_t>(blocks.size() - 1), blocks.back().bytes.size());
    }
};

std::vector<uint8_t> le32(uint8_t command, uint8_t id, uint32_t value) {
    std::vector<uint8_t> v{command, id, 0, 0, 0, 0};
    writeLe32(v.data() + 2, value);
    return v;
}

std::vector<uint8_t> setup(uint8_t id) { return {0x90, id, 0x02, 0x00, 0x2A}; }
std::vector<uint8_t> data(uint8_t id, uint8_t bank, uint8_t step, uint8_t base) { return {0x91, id, bank, step, base}; }
std::vector<uint8_t> frequency(uint8_t id, uint32_t hz) { return le32(0x92, id, hz); }
std::vector<uint8_t> start(uint8_t id, uint32_t position, uint8_t mode, uint32_t length) {
    std::vector<uint8_t> v{0x93, id, 0, 0, 0, 0, mode, 0, 0, 0, 0};
    writeLe32(v.data() + 2, position);
    writeLe32(v.data() + 7, length);
    return v;
}
std::vector<uint8_t> startBlock(uint8_t id, uint16_t block, uint8_t flags) {
    return {0x95, id, static_cast<uint8_t>(block), static_cast<uint8_t>(block >> 8), flags};
}
std::vector<uint8_t> stop(uint8_t id) { return {0x94, id}; }

std::vector<uint8_t> ramp(size_t n, uint8_t first = 0) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
    return v;
}

std::vector<uint8_t> bytesOf(const std::vector<Write>& writes) {
    std::vector<uint8_t> v;
    for (const Write& w : writes) v.push_back(w.byte);
    return v;
}

TEST(DacStreamPlayer, WriteKOfAStartFallsAtTheCeilingOfItsShareOfTheIncrement) {
    Program p;
    p.addBlock(0, ramp(200));
    p.command(0, setup(0));
    p.command(0, data(0, 0, 1, 0));
    p.command(0, frequency(0, 8000));
    p.command(100, start(0, 0, 1, 50));
    p.advanceTo(2000);
    ASSERT_EQ(p.sink.writes.size(), 50u);
    const int64_t inc = (int64_t{8000} << 32) / 44100;
    for (size_t k = 0; k < 50; ++k) {
        const int64_t offset = ((static_cast<int64_t>(k) << 32) + inc - 1) / inc;
        EXPECT_EQ(p.sink.writes[k].time, 100 + offset) << "write " << k;
        EXPECT_EQ(p.sink.writes[k].byte, k);
    }
    EXPECT_EQ(p.sink.writes, p.expected);
    EXPECT_FALSE(streamsPlaying(p.fast));
}

TEST(DacStreamPlayer, LengthModesAndStartPositions) {
    Program p;
    p.addBlock(0, ramp(100));
    p.addBlock(0, ramp(60, 100));
    p.command(0, setup(3));
    p.command(0, data(3, 0, 2, 10));  // step 2, step base 10
    p.command(0, frequency(3, 44100));
    const auto since = [&](size_t mark) {
        const std::vector<uint8_t> all = bytesOf(p.sink.writes);
        return std::vector<uint8_t>(all.begin() + static_cast<std::ptrdiff_t>(mark), all.end());
    };
    // Mode 1: 5 writes from 20 + 10.
    p.command(0, start(3, 20, 0x01, 5));
    p.advanceTo(100);
    EXPECT_EQ(since(0), (std::vector<uint8_t>{30, 32, 34, 36, 38}));
    // Position FFFFFFFF and mode 0 repeat the last start, in reverse.
    size_t mark = p.sink.writes.size();
    p.command(100, start(3, 0xFFFFFFFF, 0x10, 0));
    p.advanceTo(200);
    EXPECT_EQ(since(mark), (std::vector<uint8_t>{38, 36, 34, 32, 30}));
    // Mode 2: 1 ms at 44100 Hz is 44 writes; mode 3: to the end of the 160-byte bank.
    mark = p.sink.writes.size();
    p.command(200, start(3, 0, 0x02, 1));
    p.advanceTo(400);
    EXPECT_EQ(p.sink.writes.size() - mark, 44u);
    mark = p.sink.writes.size();
    p.command(400, start(3, 140, 0x03, 0));  // (160 - 150) / 2 = 5 writes
    p.advanceTo(600);
    EXPECT_EQ(since(mark), (std::vector<uint8_t>{150, 152, 154, 156, 158}));
    // A length mode above 3 plays nothing and stops the stream.
    p.command(600, start(3, 0, 0x01, 1000));
    p.command(601, start(3, 0, 0x04, 1000));
    EXPECT_FALSE(streamsPlaying(p.fast));
    EXPECT_EQ(p.sink.writes, p.expected);
}

TEST(DacStreamPlayer, StartBlockUsesBankOffsetsAndStopsPastTheLastBlock) {
    Program p;
    p.addBlock(0, ramp(10));
    p.addBlock(0, ramp(4, 200));
    p.command(0, setup(1));
    p.command(0, data(1, 0, 1, 77));  // the step base does not apply to 0x95
    p.command(0, frequency(1, 44100));
    p.command(0, startBlock(1, 1, 0x10));  // block 1 in reverse
    p.advanceTo(50);
    EXPECT_EQ(bytesOf(p.sink.writes), (std::vector<uint8_t>{203, 202, 201, 200}));
    p.command(50, startBlock(1, 0, 0x01));  // block 0 looping
    p.advanceTo(75);
    EXPECT_EQ(p.sink.writes.size(), 4u + 25u);
    EXPECT_TRUE(streamsPlaying(p.fast));
    p.command(75, startBlock(1, 2, 0x00));
    EXPECT_FALSE(streamsPlaying(p.fast));
    EXPECT_EQ(p.sink.writes, p.expected);
}

TEST(DacStreamPlayer, CommandsOfStreamsNotAimedAtTheDacAreNotOurs) {
    DacStreamPlayer p;
    const std::vector<uint8_t> freq = frequency(5, 8000);
    EXPECT_EQ(applyStreamCommand(p, 0x92, freq.data() + 1), StreamCommandResult::kUnhandled);  // never set up
    EXPECT_EQ(p.streams[5].frequency, 0u);
    const std::vector<uint8_t> psg{0x90, 5, 0x02, 0x00, 0x28};  // another register
    EXPECT_EQ(applyStreamCommand(p, 0x90, psg.data() + 1), StreamCommandResult::kUnhandled);
    const std::vector<uint8_t> other{0x90, 6, 0x00, 0x00, 0x2A};  // another chip
    EXPECT_EQ(applyStreamCommand(p, 0x90, other.data() + 1), StreamCommandResult::kUnhandled);
    const std::vector<uint8_t> stopAll{0x94, 0xFF};
    EXPECT_EQ(applyStreamCommand(p, 0x94, stopAll.data() + 1), StreamCommandResult::kPlayed);
    const std::vector<uint8_t> setupFf{0x90, 0xFF, 0x02, 0x00, 0x2A};
    EXPECT_EQ(applyStreamCommand(p, 0x90, setupFf.data() + 1), StreamCommandResult::kUnhandled);
    const std::vector<uint8_t> dac = setup(5);
    EXPECT_EQ(applyStreamCommand(p, 0x90, dac.data() + 1), StreamCommandResult::kPlayed);
    EXPECT_EQ(applyStreamCommand(p, 0x92, freq.data() + 1), StreamCommandResult::kPlayed);
    EXPECT_EQ(p.streams[5].frequency, 8000u);
}

TEST(DacStreamPlayer, AStreamWithoutBankOrOnAnotherBankWritesNothingButCountsWrites) {
    Program p;
    p.addBlock(0, ramp(10));
    p.command(0, setup(0));
    p.command(0, frequency(0, 44100));
    p.command(0, start(0, 0, 0x01, 6));  // no 0x91 yet
    p.advanceTo(20);
    p.command(20, data(0, 0x01, 1, 0));
    p.command(20, start(0, 0, 0x01, 6));
    p.advanceTo(40);
    EXPECT_TRUE(p.sink.writes.empty());
    EXPECT_EQ(p.fast.writesMade, 12u);
}

TEST(DacStreamPlayer, TheBoundStopsEveryStreamForTheRestOfTheRun) {
    Program p;
    p.fast.writeLimit = p.slow.writeLimit = 1000;
    p.addBlock(0, {9});
    for (uint8_t id : {0, 1}) {
        p.command(0, setup(id));
        p.command(0, data(id, 0, 1, 0));
        p.command(0, frequency(id, 1000000));
        p.command(0, startBlock(id, 0, 0x01));  // a looping one-byte block
    }
    p.advanceTo(10000);
    EXPECT_TRUE(p.fast.boundReached);
    EXPECT_EQ(p.fast.writesMade, 1000u);
    EXPECT_EQ(p.sink.writes.size(), 1000u);
    EXPECT_EQ(p.sink.writes, p.expected);
    p.command(10000, startBlock(0, 0, 0x01));
    EXPECT_FALSE(streamsPlaying(p.fast));
}

TEST(DacStreamPlayer, AFrequencyChangeKeepsTheFractionAndAStartUsesTheIncrementOfItsTime) {
    Program p;
    p.addBlock(0, ramp(250));
    p.command(0, setup(2));
    p.command(0, data(2, 0, 1, 0));
    p.command(0, frequency(2, 7000));
    p.command(10, start(2, 0, 0x01, 200));
    p.command(37, frequency(2, 30000));
    p.command(37, frequency(2, 11025));  // two at one time: the last counts
    p.command(80, start(2, 5, 0x01, 100));
    p.command(80, frequency(2, 50000));  // above 44100: several writes per sample
    p.command(90, stop(2));
    p.advanceTo(500);
    EXPECT_EQ(p.sink.writes, p.expected);
    EXPECT_FALSE(p.sink.writes.empty());
}

// Random stream programs against the reference: frequencies from 1 Hz to far
// above 44100 Hz, changes while playing, stops, restarts, loops, reverse,
// several streams at once, blocks arriving while streams play.
TEST(DacStreamPlayer, RandomProgramsMatchTheSampleBySampleReference) {
    std::mt19937 rng(12345);
    const auto pick = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    for (int round = 0; round < 300; ++round) {
        Program p;
        p.chunkBytes = round % 3 == 0 ? 1 : 1 + pick(40);
        if (round % 10 == 0) p.fast.writeLimit = p.slow.writeLimit = 50 + pick(500);
        p.addBlock(0, ramp(1 + pick(300)));
        uint32_t time = pick(3) == 0 ? 0xFFFFF000u : pick(100);  // some runs wrap the clock
        for (int step = 0; step < 40; ++step) {
            time += pick(4) == 0 ? 0 : pick(pick(5) == 0 ? 5000 : 300);
            const auto id = static_cast<uint8_t>(pick(4));
            switch (pick(10)) {
                case 0:
                    p.command(time, pick(6) == 0 ? std::vector<uint8_t>{0x90, id, 0x02, 0x01, 0x2A} : setup(id));
                    break;
                case 1:
                    p.command(time, data(id, pick(8) == 0 ? 1 : 0, static_cast<uint8_t>(pick(4)),
                                         static_cast<uint8_t>(pick(20))));
                    break;
                case 2: {
                    static constexpr uint32_t kRates[] = {1, 100, 4000, 8000, 22050, 44100, 44101, 96000, 300000};
                    p.command(time, frequency(id, pick(3) == 0 ? pick(120000) : kRates[pick(9)]));
                    break;
                }
                case 3:
                case 4: {
                    const uint8_t mode = static_cast<uint8_t>(pick(5) | (pick(2) << 4) | (pick(3) == 0 ? 0x80 : 0));
                    p.command(time, start(id, pick(8) == 0 ? 0xFFFFFFFF : pick(400), mode, pick(300)));
                    break;
                }
                case 5:
                    p.command(time, startBlock(id, static_cast<uint16_t>(pick(3)),
                                               static_cast<uint8_t>(pick(2) | (pick(2) << 4))));
                    break;
                case 6:
                    p.command(time, stop(pick(5) == 0 ? 0xFF : id));
                    break;
                case 7:
                    p.addBlock(time, ramp(pick(100), static_cast<uint8_t>(pick(256))));
                    break;
                default:
                    p.advanceTo(time);
                    break;
            }
        }
        p.advanceTo(time + pick(20000));
        ASSERT_EQ(p.fast.writesMade, p.slow.writesMade) << "round " << round;
        ASSERT_EQ(p.fast.boundReached, p.slow.boundReached) << "round " << round;
        if (p.chunkBytes == 1) {
            ASSERT_EQ(p.sink.writes, p.expected) << "round " << round;
        } else {
            // Chunks: the same bytes in the same order, each chunk stamped with
            // the times of its first and last byte.
            ASSERT_EQ(bytesOf(p.sink.writes), bytesOf(p.expected)) << "round " << round;
            for (size_t c = 0; c < p.sink.chunkStarts.size(); ++c) {
                const size_t first = p.sink.chunkStarts[c];
                const size_t last = (c + 1 < p.sink.chunkStarts.size() ? p.sink.chunkStarts[c + 1] : p.expected.size()) - 1;
                ASSERT_EQ(p.sink.chunkTimes[c].first, p.expected[first].time) << "round " << round;
                ASSERT_EQ(p.sink.chunkTimes[c].second, p.expected[last].time) << "round " << round;
            }
        }
    }
}

}  // namespace
