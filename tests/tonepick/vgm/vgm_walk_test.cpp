// The command walk: operand lengths, data block and PCM RAM framing, the ends
// of a walk, and file input across chunk boundaries.

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "common/byte_order.h"
#include "builders/vgm_builder.h"
#include "tonepick/vgm/buffered_input.h"
#include "tonepick/vgm/vgm_commands.h"
#include "tonepick/vgm/vgm_reader.h"
#include "tonepick/vgm/vgm_walk.h"

namespace {

struct Seen {
    uint8_t command;
    std::vector<uint8_t> operands;
    bool operator==(const Seen&) const = default;
};

// The walk's handler: records every command it is handed, one at a time.
struct Recorder {
    std::vector<Seen> seen;
    int32_t version = 0;
    int stopAt = -1;        // command that asks the walk to stop

    bool command(uint8_t command, const uint8_t* operands) {
        const int n = command == kVgmPcmRamWrite ? 10 : vgmOperandLength(command, version);
        seen.push_back({command, std::vector<uint8_t>(operands, operands + n)});
        return command == stopAt;
    }
    size_t run(const uint8_t*, const uint8_t*) { return 0; }
};

struct Walk {
    int header = -1;
    int result = -1;
    VgmReader reader;
    Recorder rec;
};

// Walks a whole file held in memory with a recording handler.
void walkMemory(Walk& w, const std::vector<uint8_t>& file) {
    BufferedInput in;
    openMemoryInput(in, file.data(), file.size());
    w.header = readHeader(w.reader, in);
    w.rec.version = w.reader.version;
    w.result = walkCommandsWith(w.reader, in, w.rec);
}

// Expected operand lengths, written from the VGM format's command ranges.
int expectedLength(int c, bool streamControl) {
    if (c < 0x30 || c == 0x60 || c == 0x65 || (c >= 0x69 && c <= 0x6F) || (c >= 0x96 && c <= 0x9F)) return -1;
    if (c <= 0x3F || c == 0x4F || c == 0x50) return 1;
    if (c <= 0x5F || c == 0x61 || (c >= 0xA0 && c <= 0xBF)) return 2;
    if (c == 0x64 || (c >= 0xC0 && c <= 0xDF)) return 3;
    if (c >= 0xE0) return 4;
    if (c >= 0x90 && c <= 0x95 && streamControl) return std::vector<int>{4, 4, 5, 10, 1, 4}[c - 0x90];
    return 0;  // 0x62, 0x63, 0x66, 0x70..0x95
}

TEST(VgmWalk, EveryCommandTakesItsOperandLength) {
    // Operands are bytes 0x31, 0x32, ... (themselves 1-operand commands): a
    // length read too short leaves them to be walked as extra commands, one
    // read too long swallows the end command and runs out of input.
    for (uint32_t version : {0x100u, 0x150u, 0x151u, 0x160u, 0x171u}) {
        const bool streamControl = version >= 0x160;
        for (int c = 0; c < 256; ++c) {
            if (c == 0x67 || c == 0x68 || c == 0x66) continue;
            const int len = expectedLength(c, streamControl);
            std::vector<uint8_t> ops;
            for (int i = 0; i < (len < 0 ? 0 : len); ++i) ops.push_back(static_cast<uint8_t>(0x31 + i));
            VgmBuilder b(version);
            b.raw({static_cast<uint8_t>(c)}).raw(ops).end();
            Walk w;
            walkMemory(w, b.bytes());
            ASSERT_EQ(w.header, kHeaderOk);
            SCOPED_TRACE(testing::Message() << "version " << std::hex << version << " command " << c);
            if (len < 0) {
                EXPECT_EQ(w.result, kWalkInvalidCommand);
                EXPECT_TRUE(w.rec.seen.empty());
                continue;
            }
            EXPECT_EQ(w.result, kWalkEnded);
            const std::vector<Seen> expected{{static_cast<uint8_t>(c), ops}, {0x66, {}}};
            EXPECT_EQ(w.rec.seen, expected);
        }
    }
}

TEST(VgmWalk, StreamControlBefore160ReadsFollowingBytesAsCommands) {
    // In a 1.50 file the operand bytes of 0x90 are walked as commands of their own.
    Walk w;
    walkMemory(w, VgmBuilder(0x150).raw({0x90, 0x70, 0x70, 0x66}).bytes());
    EXPECT_EQ(w.result, kWalkEnded);
    EXPECT_EQ(w.rec.seen.size(), 4u);
    // In a 1.60 file a 0x93 with its 10 operands is a single command, even when they hold 0x66.
    Walk n;
    walkMemory(n, VgmBuilder(0x160).raw({0x93, 0x66, 0x66, 0, 0, 0, 0, 0, 0, 0, 0x66, 0x94, 0x00, 0x66}).bytes());
    EXPECT_EQ(n.result, kWalkEnded);
    ASSERT_EQ(n.rec.seen.size(), 3u);
    EXPECT_EQ(n.rec.seen[0].command, 0x93);
    EXPECT_EQ(n.rec.seen[1].command, 0x94);
}

TEST(VgmWalk, EndCommandEndsTheWalkEvenWithBytesAfterIt) {
    Walk w;
    walkMemory(w, VgmBuilder(0x150).raw({0x62, 0x66, 0x00, 0x62, 0x96}).bytes());
    EXPECT_EQ(w.result, kWalkEnded);
    EXPECT_EQ(w.rec.seen.size(), 2u);
}

TEST(VgmWalk, HandlerCanStopTheWalk) {
    Walk w;
    w.rec.stopAt = 0x63;
    walkMemory(w, VgmBuilder(0x150).raw({0x62, 0x63, 0x62}).bytes());
    EXPECT_EQ(w.result, kWalkEnded);
    EXPECT_EQ(w.rec.seen.size(), 2u);
}

TEST(VgmWalk, EndOfInputBeforeInsideOrAfterOperands) {
    const std::vector<std::vector<uint8_t>> streams{
        {},                          // nothing after the header
        {0x62},                      // complete command, no end command
        {0x52, 0x2A},                // inside operands
        {0xE0, 0x01, 0x02, 0x03},    // one operand byte missing
        {0x67, 0x66, 0x00, 0x01},    // inside the block framing
        {0x68, 0x66, 1, 2, 3},       // inside the PCM RAM write
    };
    for (const auto& s : streams) {
        Walk w;
        walkMemory(w, VgmBuilder(0x150).raw(s).bytes());
        EXPECT_EQ(w.result, kWalkUnexpectedEnd) << testing::PrintToString(s);
    }
    Walk w;
    walkMemory(w, VgmBuilder(0x150).raw({0x52, 0x2A}).bytes());
    EXPECT_TRUE(w.rec.seen.empty());
}

TEST(VgmWalk, DataBlocksAreStoredNotDispatched) {
    VgmBuilder b(0x150);
    b.dataBlock(0x00, {1, 2, 3}).dataBlock(0x03, {9}).dataBlock(0x00, {4, 5}).dataBlock(0xC0, {}).end();
    Walk w;
    walkMemory(w, b.bytes());
    EXPECT_EQ(w.result, kWalkEnded);
    ASSERT_EQ(blockCount(w.reader), 4);
    EXPECT_EQ(w.rec.seen, (std::vector<Seen>{{0x66, {}}}));
    const std::vector<DataBlock>& blocks = w.reader.blocks;
    EXPECT_EQ(blocks[0].type, 0x00);
    EXPECT_EQ(blocks[0].bytes, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(blocks[1].type, 0x03);
    EXPECT_EQ(blocks[2].size, 2u);
    EXPECT_EQ(blocks[2].bytes, (std::vector<uint8_t>{4, 5}));
    EXPECT_EQ(blocks[3].type, 0xC0);
    EXPECT_EQ(blocks[3].size, 0u);
    EXPECT_TRUE(blocks[3].bytes.empty());
    // Same-type blocks stay separate; the last type 0x00 one is the PCM source.
    EXPECT_EQ(w.reader.pcmBlock, 2);
}

TEST(VgmWalk, PcmSourceIsOnlyTypeZero) {
    Walk w;
    walkMemory(w, VgmBuilder(0x150).dataBlock(0x01, {1}).dataBlock(0x40, {2}).end().bytes());
    EXPECT_EQ(w.reader.pcmBlock, -1);
    Walk v;
    walkMemory(v, VgmBuilder(0x150).dataBlock(0x00, {1}).dataBlock(0x40, {2}).end().bytes());
    EXPECT_EQ(v.reader.pcmBlock, 0);
}

TEST(VgmWalk, BlockAndPcmRamWriteNeedTheMarker) {
    Walk a;
    walkMemory(a, VgmBuilder(0x150).raw({0x67, 0x65, 0x00, 1, 0, 0, 0, 0xAA, 0x66}).bytes());
    EXPECT_EQ(a.result, kWalkInvalidCommand);
    EXPECT_EQ(blockCount(a.reader), 0);
    Walk b;
    walkMemory(b, VgmBuilder(0x150).raw({0x68, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x66}).bytes());
    EXPECT_EQ(b.result, kWalkInvalidCommand);
    EXPECT_TRUE(b.rec.seen.empty());
}

TEST(VgmWalk, PcmRamWriteHandsTheTenBytesAfterTheMarker) {
    Walk w;
    walkMemory(w, VgmBuilder(0x150).raw({0x68, 0x66, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x66}).bytes());
    EXPECT_EQ(w.result, kWalkEnded);
    EXPECT_EQ(w.rec.seen, (std::vector<Seen>{{0x68, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}}, {0x66, {}}}));
}

TEST(VgmWalk, ForgedBlockSizeCostsOnlyTheBytesPresent) {
    VgmBuilder b(0x150);
    b.raw({0x67, 0x66, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}).raw(std::vector<uint8_t>(100, 0x42));
    const auto file = b.bytes();
    Walk w;
    walkMemory(w, file);
    EXPECT_EQ(w.result, kWalkUnexpectedEnd);
    ASSERT_EQ(blockCount(w.reader), 1);
    EXPECT_EQ(w.reader.blocks[0].size, 0xFFFFFFFFu);
    EXPECT_EQ(w.reader.blocks[0].bytes, std::vector<uint8_t>(100, 0x42));
    EXPECT_LT(w.reader.blocks[0].bytes.capacity(), 1024u);

    // The same through a file: memory stays bounded by what the file holds.
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::fwrite(file.data(), 1, file.size(), f);
    std::rewind(f);
    BufferedInput in;
    openFileInput(in, f);
    VgmReader r;
    Recorder rec;
    EXPECT_EQ(readHeader(r, in), kHeaderOk);
    rec.version = r.version;
    EXPECT_EQ(walkCommandsWith(r, in, rec), kWalkUnexpectedEnd);
    std::fclose(f);
    ASSERT_EQ(r.blocks.size(), 1u);
    EXPECT_EQ(r.blocks[0].bytes.size(), 100u);
    EXPECT_LE(r.blocks[0].bytes.capacity(), 2 * kInputChunkSize);
}

TEST(VgmWalk, FileAndMemoryInputAgreeAcrossChunkBoundaries) {
    // Commands of every operand length and a block larger than a chunk, so
    // that operands and block data straddle the file's chunk boundaries.
    VgmBuilder b(0x160);
    std::vector<uint8_t> big(kInputChunkSize + 1234);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
    for (int round = 0; round < 9000; ++round) {
        b.ym(round & 1, 0x30 + (round & 0x3F), round & 0xFF).raw({0x70}).pcmSeek(static_cast<uint32_t>(round));
        b.raw({0x93, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}).raw({0xC1, 1, 2, 3});
        if (round == 4000) b.dataBlock(0x00, big);
    }
    b.end();
    const auto file = b.bytes();
    ASSERT_GT(file.size(), 3 * kInputChunkSize);

    Walk mem;
    walkMemory(mem, file);
    ASSERT_EQ(mem.result, kWalkEnded);

    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::fwrite(file.data(), 1, file.size(), f);
    std::rewind(f);
    BufferedInput in;
    openFileInput(in, f);
    Walk disk;
    ASSERT_EQ(readHeader(disk.reader, in), kHeaderOk);
    disk.rec.version = disk.reader.version;
    EXPECT_EQ(walkCommandsWith(disk.reader, in, disk.rec), kWalkEnded);
    std::fclose(f);

    EXPECT_EQ(disk.rec.seen.size(), mem.rec.seen.size());
    EXPECT_TRUE(disk.rec.seen == mem.rec.seen);
    ASSERT_EQ(blockCount(disk.reader), 1);
    EXPECT_TRUE(disk.reader.blocks[0].bytes == big);
}

}  // namespace
