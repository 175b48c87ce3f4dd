// tonepick on inputs nobody would write on purpose: the demo tune cut at
// every byte, forged data block sizes, PCM reads far beyond the block, and
// floods that would make memory grow with the input (key-ons with thousands
// of distinct patches, event lists long enough to leave memory).

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "tests/hostile/tonepick_memory_run.h"
#include "tests/support/midi_dump.h"
#include "tests/support/process_runner.h"
#include "builders/vgm_builder.h"
#include "tests/support/tonepick_test_run.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes demoVgm() {
    const auto bytes = readWholeFile(std::string(MDTOOLS_SOURCE_DIR) + "/examples/demo.vgm");
    return Bytes(bytes.begin(), bytes.end());
}

Bytes blockHeader(uint8_t type, uint32_t size) {
    return {0x67, 0x66, type, static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
            static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
}

// The chunk bodies after the header of a Standard MIDI File; empty when a
// chunk runs past the end or the chunks do not end exactly with the file.
std::vector<Bytes> chunkBodies(const Bytes& midi) {
    std::vector<Bytes> bodies;
    size_t pos = 14;
    while (pos < midi.size()) {
        if (midi.size() - pos < 8) return {};
        const uint32_t length = (uint32_t{midi[pos + 4]} << 24) | (uint32_t{midi[pos + 5]} << 16) |
                                (uint32_t{midi[pos + 6]} << 8) | midi[pos + 7];
        if (length > midi.size() - pos - 8) return {};
        const auto begin = midi.begin() + static_cast<std::ptrdiff_t>(pos + 8);
        bodies.emplace_back(begin, begin + static_cast<std::ptrdiff_t>(length));
        pos += 8 + static_cast<size_t>(length);
    }
    return bodies;
}

// Where two byte strings first differ, with a few bytes of context.
std::string firstDifference(const Bytes& got, const Bytes& want) {
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
    const auto window = [i](const Bytes& b) {
        const size_t from = i < 8 ? 0 : i - 8;
        const size_t to = std::min(b.size(), i + 8);
        return hexBytes(Bytes(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(to)));
    };
    return "sizes " + std::to_string(got.size()) + "/" + std::to_string(want.size()) + ", first difference at " +
           std::to_string(i) + ": got " + window(got) + " want " + window(want);
}

TEST(TonepickHostile, DemoCutAtEveryByteEndsWithUnexpectedEndAndKeepsWhatItHolds) {
    const Bytes demo = demoVgm();
    ASSERT_GT(demo.size(), 1000u);
    ASSERT_EQ(demo.back(), 0x66) << "the demo ends with its end command";
    for (size_t cut = 0; cut < demo.size(); ++cut) {
        const Bytes prefix(demo.begin(), demo.begin() + static_cast<std::ptrdiff_t>(cut));
        MemoryConversion c(prefix, static_cast<int>(cut % kInstrumentTypeCount));
        if (cut < 4) {  // too short to begin like a log: refused
            ASSERT_EQ(c.exitCode, kExitCannotStart) << "cut at " << cut;
            ASSERT_TRUE(c.files.files.empty()) << "cut at " << cut;
            continue;
        }
        ASSERT_EQ(c.exitCode, kExitFailed) << "cut at " << cut;
        ASSERT_TRUE(c.files.has("out/vgm.mid")) << "cut at " << cut;
        ASSERT_NE(c.out.text().find("Error: unexpected end of vgm\n"), std::string::npos) << "cut at " << cut;
    }
    MemoryConversion whole(demo);
    EXPECT_EQ(whole.exitCode, kExitOk);
    EXPECT_TRUE(whole.files.has("out/vgm.mid"));
    EXPECT_GT(whole.count("patch_"), 0u);
}

TEST(TonepickHostile, ForgedDataBlockSizesCostOnlyWhatTheFileHolds) {
    {
        // 4 GiB declared, 100 bytes present: the walk ends early and little memory is taken.
        VgmBuilder v;
        v.raw(blockHeader(0x00, 0xFFFFFFFF)).raw(Bytes(100, 0x55));
        MemoryConversion c(v.bytes());
        EXPECT_EQ(c.exitCode, kExitFailed);
        ASSERT_EQ(c.run.reader.blocks.size(), 1u);
        EXPECT_EQ(c.run.reader.blocks[0].bytes.size(), 100u);
        EXPECT_LE(c.run.reader.blocks[0].bytes.capacity(), 64u * 1024u);
    }
    {
        // A block of size 0, then one that swallows the end command: the
        // log is cut short, both are written (the second as far as it got).
        VgmBuilder v;
        v.raw(blockHeader(0x00, 0)).raw(blockHeader(0x01, 3)).raw({0x66});
        MemoryConversion c(v.bytes());
        EXPECT_EQ(c.exitCode, kExitFailed);
        EXPECT_EQ(c.count("datablock_"), 2u);
        EXPECT_EQ(c.files.at("out/datablock_01(01).bin"), Bytes{0x66});
    }
    {
        // Blocks of size 0 and 1 then a normal end: both written with their true size.
        VgmBuilder v;
        v.raw(blockHeader(0x00, 0)).raw(blockHeader(0xC0, 1)).raw({0xAB}).end();
        MemoryConversion c(v.bytes());
        EXPECT_EQ(c.exitCode, kExitOk);
        EXPECT_TRUE(c.file("datablock_00(00).bin").empty());
        EXPECT_EQ(c.file("datablock_01(C0).bin"), Bytes{0xAB});
    }
}

TEST(TonepickHostile, AFloodOfNewInstrumentsStopsAtTheInstrumentLimit) {
    // Every key-on a new instrument (a counter spread over three operator
    // registers), past the limit; then instruments from before the limit again.
    const int flood = static_cast<int>(kMaxPatches) + 40;
    VgmBuilder v;
    const auto instrument = [&v](int i) {
        v.ym(0, 0x30, i & 0xFF).ym(0, 0x38, (i >> 8) & 0xFF).ym(0, 0x34, i >> 16).keyOn(0).wait(1).keyOff(0);
    };
    for (int i = 0; i < flood; ++i) instrument(i);
    // The last one not kept, again, and after a volume change: still none.
    instrument(flood - 1);
    v.ym(0, 0x40, 0x10);
    instrument(flood - 1);
    instrument(5);
    instrument(static_cast<int>(kMaxPatches) - 1);
    v.end();
    MemoryConversion c(v.bytes());
    ASSERT_EQ(c.exitCode, kExitOk);
    EXPECT_EQ(c.run.patches.patches.size(), kMaxPatches);
    EXPECT_EQ(c.count("patch_"), kMaxPatches);
    const std::string warning = "Warning: only the first 65536 instruments are kept\n";
    const std::string text = c.out.text();
    ASSERT_NE(text.find(warning), std::string::npos);
    EXPECT_EQ(text.find(warning), text.rfind(warning)) << "printed once";
    // Key events carry -1 for the instruments not kept, the old index for the repeats.
    std::vector<int32_t> keyOnIndices;
    forEachChannelEvent(c.run.channelEvents, &c.run.eventSpill, 0, [&](const ChannelEvent& e) {
        if (e.on != 0) keyOnIndices.push_back(e.extra);
    });
    ASSERT_EQ(keyOnIndices.size(), static_cast<size_t>(flood) + 4);
    EXPECT_EQ(keyOnIndices[kMaxPatches - 1], static_cast<int32_t>(kMaxPatches) - 1);
    EXPECT_EQ(keyOnIndices[kMaxPatches], -1);
    EXPECT_EQ(keyOnIndices[static_cast<size_t>(flood)], -1);
    EXPECT_EQ(keyOnIndices[static_cast<size_t>(flood) + 1], -1);
    EXPECT_EQ(keyOnIndices[static_cast<size_t>(flood) + 2], 5);
    EXPECT_EQ(keyOnIndices[static_cast<size_t>(flood) + 3], static_cast<int32_t>(kMaxPatches) - 1);
}

TEST(TonepickHostile, AFloodOfDataBlocksStopsAtTheBlockLimitAndReadsPastTheRest) {
    VgmBuilder v;
    v.dataBlock(0x00, {0x11, 0x22});
    for (size_t i = 1; i < kMaxDataBlocks; ++i) v.raw(blockHeader(0xC0, 0));
    // Not kept: their bytes are read past, and the PCM data stays that of block 0.
    for (int i = 0; i < 5; ++i) v.raw(blockHeader(0x00, 3)).raw({0x66, 0x66, 0x66});
    v.ym(0, 0x2B, 0x80).pcmSeek(0).pcmWrite(1).pcmWrite(1).ym(0, 0x2B, 0x00).end();
    MemoryConversion c(v.bytes());
    ASSERT_EQ(c.exitCode, kExitOk);
    EXPECT_EQ(c.count("datablock_"), kMaxDataBlocks);
    EXPECT_EQ(c.file("datablock_00(00).bin"), (Bytes{0x11, 0x22}));
    EXPECT_TRUE(c.files.has("out/datablock_65535(C0).bin"));
    const Bytes& wav = c.file("sample_000.wav");
    ASSERT_EQ(wav.size(), 46u);
    EXPECT_EQ(wav[44], 0x11);
    EXPECT_EQ(wav[45], 0x22);
    const std::string text = c.out.text();
    const std::string warning = "Warning: only the first 65536 data blocks are kept\n";
    ASSERT_NE(text.find(warning), std::string::npos);
    EXPECT_EQ(text.find(warning), text.rfind(warning));
}

TEST(TonepickHostile, ABlockReadFromAFileTakesExactlyTheMemoryOfItsBytes) {
    // Neither the declared size nor growth by doubling decides the memory of a
    // block: with the file's size known, the bytes present are allocated once.
    TempDir dir;
    for (const uint32_t declared : {0xFFFFFFFFu, 150000u}) {
        VgmBuilder v;
        v.raw(blockHeader(0x00, declared)).raw(Bytes(200000, 0x5A));
        if (declared == 150000u) v.raw(Bytes(49999, 0x70)).end();  // the rest: short waits
        const Bytes bytes = v.bytes();
        const std::string input = dir.file("block.vgm");
        ASSERT_TRUE(writeWholeFile(input, std::vector<unsigned char>(bytes.begin(), bytes.end())));
        TonepickTestRun t;
        const TonepickRun& run = t.run;
        t.start({input, "out"});
        ASSERT_EQ(run.reader.blocks.size(), 1u);
        const size_t present = declared == 150000u ? 150000u : 200000u;
        EXPECT_EQ(run.reader.blocks[0].bytes.size(), present);
        EXPECT_EQ(run.reader.blocks[0].bytes.capacity(), present);
    }
}

TEST(TonepickHostile, PcmReadsFarBeyondTheBlockWriteNothingUntilTheOffsetWrapsIntoIt) {
    VgmBuilder v;
    v.dataBlock(0x00, {0x11, 0x22, 0x33});
    v.ym(0, 0x2B, 0x80);
    v.pcmSeek(0xFFFFFFF0);
    // 16 reads beyond the block, then the 32-bit offset wraps to 0 and 1.
    for (int i = 0; i < 18; ++i) v.pcmWrite(15);
    v.ym(0, 0x2B, 0x00).end();
    MemoryConversion c(v.bytes());
    ASSERT_EQ(c.exitCode, kExitOk);
    const Bytes& wav = c.file("sample_000.wav");
    ASSERT_EQ(wav.size(), 46u);
    EXPECT_EQ(wav[44], 0x11);
    EXPECT_EQ(wav[45], 0x22);
    EXPECT_EQ(c.run.stream.pcmOffset, 2u);
}

TEST(TonepickHostile, DacCaptureLongerThanMemoryHoldsIsWrittenWhole) {
    // Twice the in-memory share and a little more, streamed from a 256-byte
    // PCM block that is read again and again.
    const size_t length = 2 * kDacBytesInMemory + 300;
    Bytes pcm(256);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(i * 7 + 3);
    VgmBuilder v;
    v.dataBlock(0x00, pcm);
    for (int i = 0; i < 1000; ++i) v.ym(0, 0x2A, 0x99);  // while off: never kept
    v.ym(0, 0x2B, 0x80);
    Bytes stream;
    for (size_t at = 0; at < length; at += pcm.size()) {
        stream.insert(stream.end(), {0xE0, 0, 0, 0, 0});
        stream.insert(stream.end(), std::min(pcm.size(), length - at), 0x81);
    }
    v.raw(stream).ym(0, 0x2B, 0x00).end();

    MemoryConversion c(v.bytes());
    ASSERT_EQ(c.exitCode, kExitOk);
    EXPECT_EQ(c.run.dac.spill.size(), 2 * kDacBytesInMemory) << "the capture went to the temporary file";
    const Bytes& wav = c.file("sample_000.wav");
    ASSERT_EQ(wav.size(), 44 + length);
    EXPECT_EQ(readLe32(wav.data() + 40), length);
    EXPECT_EQ(readLe32(wav.data() + 24), 44100u * length / (length - 1));
    size_t wrong = 0;
    for (size_t i = 0; i < length; ++i) wrong += wav[44 + i] != pcm[i % pcm.size()];
    EXPECT_EQ(wrong, 0u);
}

TEST(TonepickHostile, ThousandsOfDistinctPatchesAreAllKeptAndFoldedAgainOnRepeat) {
    constexpr int kPatches = 6000;
    VgmBuilder v;
    // A counter in two operator registers makes every key-on a new instrument;
    // the second round repeats them all and must add nothing.
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < kPatches; ++i) {
            v.ym(0, 0x30, i & 0xFF).ym(0, 0x38, i >> 8).keyOn(0).wait(1).keyOff(0);
        }
    }
    v.end();
    MemoryConversion c(v.bytes(), 4);  // y12: every register byte as written
    ASSERT_EQ(c.exitCode, kExitOk);
    EXPECT_EQ(c.run.patches.patches.size(), static_cast<size_t>(kPatches));
    EXPECT_EQ(c.count("patch_"), static_cast<size_t>(kPatches));
    EXPECT_TRUE(c.files.has("out/patch_5999.y12"));
    std::set<Bytes> distinct;
    for (int i = 0; i < kPatches; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "patch_%02d.y12", i);
        distinct.insert(c.file(name));
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kPatches));
    // Both rounds record every key-on and key-off on channel 0.
    EXPECT_EQ(c.run.eventSpill.blocks[0].size() * kEventsInMemory + c.run.channelEvents[0].size(),
              static_cast<size_t>(4 * kPatches));
}

TEST(TonepickHostile, EventListsLongerThanMemoryHoldsGiveTheSameTrackByteForByte) {
    // A PSG tone that moves between two notes at every data byte, long enough
    // that its event list leaves memory three times.
    const size_t moves = 3 * kEventsInMemory + 4;
    VgmBuilder v;
    v.psg(0x80).psg(0x0F).psg(0x90);  // period 240 (note 58), audible: note on at time 0
    // Each move: wait, latch the tone register (low bits 0, no event), data byte.
    for (size_t k = 1; k <= moves; ++k) v.wait(1).psg(0x80).psg(k % 2 ? 0x10 : 0x0F);  // 256 (57) / 240 (58)
    v.end();
    MemoryConversion c(v.bytes());
    ASSERT_EQ(c.exitCode, kExitOk);
    EXPECT_EQ(c.run.eventSpill.blocks[6].size(), 3u) << "the list was moved to the temporary file";
    EXPECT_LT(c.run.channelEvents[6].size(), kEventsInMemory);

    Bytes want = {0x00, 0xFF, 0x03, 0x06, 'P', 'S', 'G', ' ', '0', '0', 0x00, 0xFF, 0x04, 0x06,
                  'P',  'S',  'G',  ' ',  '0', '0', 0x00, 0xB6, 0x64, 0x00, 0x00, 0xB6, 0x65, 0x00,
                  0x00, 0xB6, 0x06, 0x0C, 0x00, 0xB6, 0x64, 0x7F, 0x00, 0x9A, 58,   0x7F};
    int note = 58;
    for (size_t k = 1; k <= moves; ++k) {
        const int next = k % 2 ? 57 : 58;
        want.insert(want.end(), {0x01, 0x8A, static_cast<uint8_t>(note), 0x7F, 0x00, 0x9A,
                                 static_cast<uint8_t>(next), 0x7F});
        note = next;
    }
    want.insert(want.end(), {0x00, 0xFF, 0x2F, 0x00});
    // The chunk lengths, filled in after each streamed body, cover the file exactly.
    const std::vector<Bytes> tracks = chunkBodies(c.file("vgm.mid"));
    ASSERT_EQ(tracks.size(), 11u);
    const Bytes& got = tracks[7];  // tempo, six FM tracks, then PSG 00
    ASSERT_TRUE(got == want) << firstDifference(got, want);
    const std::vector<Bytes> empty = chunkBodies(MemoryConversion(VgmBuilder().end().bytes()).file("vgm.mid"));
    ASSERT_EQ(empty.size(), 11u);
    for (size_t t = 8; t < 11; ++t) EXPECT_EQ(dumpTrackData(tracks[t]), dumpTrackData(empty[t]));
}

}  // namespace
