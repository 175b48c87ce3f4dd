// The walk of a conversion takes runs of commands whole: PCM commands
// (0x80..0x8F) and direct DAC writes (0x52 0x2A value) with short waits, whose
// bytes reach the DAC capture in slices, and runs of other chip writes and
// waits. These tests walk the same streams both ways, command by command
// through the installed handler and through walkAndDispatch, from memory and
// from a file read in chunks, and require the same clock, PCM position,
// samples, files and messages.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "common/output_files.h"
#include "tests/support/tonepick_test_run.h"
#include "builders/vgm_builder.h"
#include "tonepick/run_chips.h"
#include "tonepick/tonepick_run.h"
#include "tonepick/vgm/buffered_input.h"
#include "tonepick/vgm/command_dispatch.h"

namespace {

// The dispatcher with its runs turned off: every command through command().
struct OneByOne {
    CommandDispatcher<RunChips>& dispatcher;
    bool command(uint8_t c, const uint8_t* operands) { return dispatcher.command(c, operands); }
    size_t run(const uint8_t*, const uint8_t*) { return 0; }
    void dataBlockStored() { dispatcher.dataBlockStored(); }
};

enum class Way { kOneByOne, kRunsFromMemory, kRunsFromFile };

// A run into "out" whose walk alone is done.
struct Walked : TonepickTestRun {
    int walk = -1;
};

void walk(Walked& w, const std::vector<uint8_t>& file, Way way) {
    BufferedInput in;
    std::FILE* f = nullptr;
    if (way == Way::kRunsFromFile) {
        f = std::tmpfile();
        ASSERT_NE(f, nullptr);
        std::fwrite(file.data(), 1, file.size(), f);
        std::rewind(f);
        openFileInput(in, f);
    } else {
        openMemoryInput(in, file.data(), file.size());
    }
    readHeader(w.run.reader, in);
    RunChips chips{w.run};
    if (way == Way::kOneByOne) {
        CommandDispatcher<RunChips> dispatcher{w.run.stream, w.run.reader, chips};
        OneByOne handler{dispatcher};
        w.walk = walkCommandsWith(w.run.reader, in, handler);
        if (w.walk == kWalkInvalidCommand) dispatcher.catchUpStreams();
    } else {
        w.walk = walkAndDispatch(w.run.reader, w.run.stream, chips, in);
    }
    if (f != nullptr) std::fclose(f);
}

void expectSameWalks(const std::vector<uint8_t>& file) {
    Walked one;
    walk(one, file, Way::kOneByOne);
    for (const Way way : {Way::kRunsFromMemory, Way::kRunsFromFile}) {
        Walked runs;
        walk(runs, file, way);
        const char* name = way == Way::kRunsFromMemory ? "memory" : "file";
        EXPECT_EQ(runs.walk, one.walk) << name;
        EXPECT_EQ(runs.run.stream.sampleTime, one.run.stream.sampleTime) << name;
        EXPECT_EQ(runs.run.stream.pcmOffset, one.run.stream.pcmOffset) << name;
        EXPECT_EQ(runs.run.dac.buffer, one.run.dac.buffer) << name;
        EXPECT_EQ(runs.run.dac.firstByteTime, one.run.dac.firstByteTime) << name;
        EXPECT_EQ(runs.run.dac.lastByteTime, one.run.dac.lastByteTime) << name;
        EXPECT_EQ(runs.out.text(), one.out.text()) << name;
        ASSERT_EQ(runs.files.creationOrder, one.files.creationOrder) << name;
        for (const auto& [path, bytes] : one.files.files) EXPECT_TRUE(runs.files.at(path) == bytes) << name << " " << path;
    }
    EXPECT_GT(one.files.files.size(), 0u);
}

std::vector<uint8_t> ramp(size_t n, int step) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * static_cast<size_t>(step) + i / 251);
    return bytes;
}

TEST(PcmRuns, SamplesClockAndPositionMatchOneByOne) {
    VgmBuilder b(0x150);
    // Before any block: no byte is sent, the position still moves.
    b.ym(0, 0x2B, 0x80);
    for (int i = 0; i < 40; ++i) b.pcmWrite(i % 16);
    b.ym(0, 0x2B, 0x00);
    b.dataBlock(0x00, ramp(5000, 3)).dataBlock(0x01, ramp(100, 5));
    for (int round = 0; round < 300; ++round) {
        b.ym(0, 0x2B, 0x80);
        // Some runs start inside the block and run past its end.
        b.pcmSeek(static_cast<uint32_t>(round * 97 % 5200));
        const int length = 1 + round * 37 % 700;
        for (int i = 0; i < length; ++i) b.pcmWrite((i * 7 + round) % 16);
        if (round % 3 == 0) b.ym(0, 0x2A, round & 0xFF).wait(5);  // a direct byte splits the run
        for (int i = 0; i < round % 50; ++i) b.pcmWrite(round % 4);
        if (round % 5 != 4) b.ym(0, 0x2B, 0x00);  // and some stretches go on into the next
        b.raw({0x62});
        if (round == 150) b.dataBlock(0x00, ramp(3000, 11));  // a new source block
    }
    // Runs while the DAC is off send nothing.
    for (int i = 0; i < 500; ++i) b.pcmWrite(1);
    b.end();
    expectSameWalks(b.bytes());
}

TEST(PcmRuns, PositionWrapsAroundInsideARun) {
    VgmBuilder b(0x150);
    b.dataBlock(0x00, ramp(64, 1)).ym(0, 0x2B, 0x80);
    b.pcmSeek(0xFFFFFFF0u);
    for (int i = 0; i < 100; ++i) b.pcmWrite(2);  // offsets ...FFFF, then 0, 1, ...
    b.ym(0, 0x2B, 0x00).end();
    expectSameWalks(b.bytes());

    Walked w;
    walk(w, b.bytes(), Way::kRunsFromMemory);
    EXPECT_EQ(w.run.stream.pcmOffset, 84u);
    ASSERT_TRUE(w.files.has(joinOutputPath("out", "sample_000.wav")));
    EXPECT_EQ(w.files.at(joinOutputPath("out", "sample_000.wav")).size(), 44u + 64u);
}

TEST(PcmRuns, ACaptureLongerThanMemoryHoldsContinuesInTheSpill) {
    VgmBuilder b(0x150);
    const std::vector<uint8_t> pcm = ramp(65536, 13);
    b.dataBlock(0x00, pcm).ym(0, 0x2B, 0x80);
    const size_t rounds = kDacBytesInMemory / pcm.size() + 3;
    for (size_t r = 0; r < rounds; ++r) {
        b.pcmSeek(static_cast<uint32_t>(r % 7));
        for (size_t i = 0; i < pcm.size(); ++i) b.pcmWrite(static_cast<int>(i % 3));
    }
    b.ym(0, 0x2B, 0x00).end();
    expectSameWalks(b.bytes());
}

}  // namespace

TEST(DirectDacRuns, SamplesClockAndMessagesMatchOneByOne) {
    VgmBuilder b(0x150);
    for (int round = 0; round < 200; ++round) {
        // Some stretches start with bytes written while the DAC is off.
        if (round % 4 == 1) b.ym(0, 0x2A, 0x11).raw({0x70});
        b.ym(0, 0x2B, 0x80);
        const int length = 1 + round * 53 % 5000;  // some longer than one gathered slice
        for (int i = 0; i < length; ++i) {
            b.ym(0, 0x2A, (i * 5 + round) & 0xFF);
            if (i % 3 != 2) b.raw({static_cast<uint8_t>(0x70 + (i + round) % 16)});
        }
        // Other commands end a run: a port-1 write of the same register (also a
        // DAC byte), a longer wait, another register, a PCM command.
        switch (round % 4) {
            case 0: b.ym(1, 0x2A, 0x42); break;
            case 1: b.wait(300); break;
            case 2: b.ym(0, 0x2B, 0x80).ym(0, 0x30, 0x03); break;
            default: b.pcmWrite(3); break;
        }
        b.ym(0, 0x2A, 0x99);
        if (round % 5 != 4) b.ym(0, 0x2B, 0x00);
    }
    b.end();
    expectSameWalks(b.bytes());
}

TEST(DirectDacRuns, ACaptureLongerThanMemoryHoldsContinuesInTheSpill) {
    VgmBuilder b(0x150);
    b.ym(0, 0x2B, 0x80);
    for (size_t i = 0; i < kDacBytesInMemory + 7000; ++i) b.ym(0, 0x2A, static_cast<int>(i * 7 % 251)).raw({0x71});
    b.ym(0, 0x2B, 0x00).end();
    expectSameWalks(b.bytes());
}

TEST(ChipWriteRuns, EveryKindOfCommandMixedMatchesOneByOne) {
    VgmBuilder b(0x150);
    b.dataBlock(0x00, ramp(4000, 7));
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    // ~300 KB: the file way crosses several input windows, so runs meet the
    // window's end at every kind of command.
    for (int step = 0; step < 100000; ++step) {
        const int ch = static_cast<int>(next(6));
        const int port = ch / 3;
        const int slot = ch % 3;
        switch (next(20)) {
            case 0: b.ym(port, 0x30 + 4 * static_cast<int>(next(4)) + 0x10 * static_cast<int>(next(7)) + slot, static_cast<int>(next(256))); break;
            case 1: b.ym(port, 0x40 + 4 * static_cast<int>(next(4)) + slot, static_cast<int>(next(128))); break;
            case 2: b.keyOn(ch, static_cast<uint8_t>(0x10 * (1 + next(15)))); break;
            case 3: b.keyOff(ch); break;
            case 4: b.frequency(ch, static_cast<int>(next(8)), static_cast<int>(next(2048))); break;
            case 5: b.ym(port, 0xA8 + static_cast<int>(next(8)), static_cast<int>(next(256))); break;  // channel 3 special
            case 6: b.ym(port, 0xB0 + 4 * static_cast<int>(next(2)) + slot, static_cast<int>(next(256))); break;
            case 7: b.ym(static_cast<int>(next(2)), 0x22 + 5 * static_cast<int>(next(2)), static_cast<int>(next(256))); break;  // 0x22 / 0x27
            case 8: b.ym(port, static_cast<int>(next(256)), static_cast<int>(next(256))); break;  // any register, odd ones too
            case 9: b.psg(static_cast<uint8_t>(next(256))); break;
            case 10: b.raw({static_cast<uint8_t>(0x70 + next(16))}); break;
            case 11: b.raw({static_cast<uint8_t>(0x62 + next(2))}); break;
            case 12: b.wait(1 + next(70000)); break;
            case 13: b.raw({0x64, static_cast<uint8_t>(0x62 + next(2)), static_cast<uint8_t>(next(256)), 0x01}); break;
            case 14: b.ym(0, 0x2B, next(2) != 0 ? 0x80 : 0x00); break;
            case 15: b.ym(static_cast<int>(next(2)), 0x2A, static_cast<int>(next(256))); break;  // DAC byte, either port
            case 16: b.pcmWrite(static_cast<int>(next(16))); break;
            case 17: b.pcmSeek(next(4000)); break;
            case 18: b.raw({0x4F, 0x00}); break;  // not ours: "Unhandled"
            default: b.raw({static_cast<uint8_t>(0xA0 + next(32)), 0x01, 0x02}); break;  // another chip
        }
    }
    b.end();
    ASSERT_GT(b.bytes().size(), 3 * kInputChunkSize);
    expectSameWalks(b.bytes());
}

// With DAC streams playing, every command that can see the DAC must let the
// streams catch up first, whichever path takes it: PCM runs, direct DAC write
// runs and chip write runs (0x2B and port-1 DAC writes inside them).
TEST(StreamRuns, RunsWithStreamsPlayingMatchOneByOne) {
    uint32_t seed = 99;
    const auto next = [&seed](uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    VgmBuilder b(0x160);
    b.dataBlock(0x00, ramp(3000, 7));
    for (uint8_t id = 0; id < 3; ++id) b.raw({0x90, id, 0x02, 0x00, 0x2A}).raw({0x91, id, 0x00, 1, 0});
    for (int i = 0; i < 30000; ++i) {
        const auto id = static_cast<uint8_t>(next(3));
        switch (next(14)) {
            case 0: {
                const uint32_t hz = 1000 + next(60000);
                b.raw({0x92, id, static_cast<uint8_t>(hz), static_cast<uint8_t>(hz >> 8), 0, 0});
                break;
            }
            case 1: {
                const uint32_t at = next(3500);
                b.raw({0x93, id, static_cast<uint8_t>(at), static_cast<uint8_t>(at >> 8), 0, 0,
                       static_cast<uint8_t>(0x01 | (next(2) << 4) | (next(2) << 7)), static_cast<uint8_t>(next(250)), 0,
                       0, 0});
                break;
            }
            case 2: b.raw({0x94, next(8) == 0 ? uint8_t{0xFF} : id}); break;
            case 3: b.ym(0, 0x2B, next(2) != 0 ? 0x80 : 0x00); break;
            case 4: b.ym(static_cast<int>(next(2)), 0x2A, static_cast<int>(next(256))); break;
            case 5:
                for (int k = 0; k < 20; ++k) b.ym(0, 0x2A, k).raw({static_cast<uint8_t>(0x70 + next(4))});
                break;
            case 6:
                for (int k = 0; k < 20; ++k) b.pcmWrite(static_cast<int>(next(4)));
                break;
            case 7: b.pcmSeek(next(3000)); break;
            case 8: b.ym(static_cast<int>(next(2)), 0x30 + static_cast<int>(next(0x70)), static_cast<int>(next(256))); break;
            case 9: b.psg(static_cast<uint8_t>(next(256))); break;
            case 10: b.raw({static_cast<uint8_t>(0x70 + next(16))}); break;
            case 11: b.wait(1 + next(400)); break;
            case 12:
                if (next(40) == 0) b.dataBlock(0x00, ramp(1 + next(500), 3));
                break;
            default: b.raw({0x95, id, static_cast<uint8_t>(next(3)), 0, static_cast<uint8_t>(next(2) | (next(2) << 4))}); break;
        }
    }
    b.ym(0, 0x2B, 0x00).end();
    ASSERT_GT(b.bytes().size(), 2 * kInputChunkSize);
    expectSameWalks(b.bytes());
}
