#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "common/instrument_formats/wav_file.h"

namespace {

// A RIFF reader of its own: the chunks of a WAVE file by tag, each the offset
// of its body and its size; checks that the chunks fill the RIFF size exactly.
struct Chunk {
    size_t body = 0;
    uint32_t size = 0;
};

std::map<std::string, Chunk> riffChunks(const std::vector<uint8_t>& f) {
    std::map<std::string, Chunk> chunks;
    EXPECT_GE(f.size(), 12u);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "RIFF");
    EXPECT_EQ(readLe32(&f[4]), f.size() - 8) << "RIFF size";
    EXPECT_EQ(std::string(f.begin() + 8, f.begin() + 12), "WAVE");
    size_t at = 12;
    while (at + 8 <= f.size()) {
        const std::string tag(f.begin() + static_cast<std::ptrdiff_t>(at), f.begin() + static_cast<std::ptrdiff_t>(at + 4));
        const uint32_t size = readLe32(&f[at + 4]);
        chunks[tag] = Chunk{at + 8, size};
        at += 8 + size + (size & 1);  // chunks are padded to even sizes
    }
    EXPECT_EQ(at, f.size()) << "chunks do not end with the file";
    return chunks;
}

TEST(WavFileTest, LoopGoesIntoASmplChunkAfterPaddedData) {
    struct Case {
        size_t size;
        WavLoop loop;
    };
    for (const Case c : {Case{5, {1, 4}}, Case{8, {0, 7}}, Case{1, {0, 0}}}) {
        SCOPED_TRACE(c.size);
        const std::vector<uint8_t> pcm(c.size, 0x81);
        const std::vector<uint8_t> f = buildWavFile(pcm.data(), pcm.size(), 8000, &c.loop);
        const auto chunks = riffChunks(f);
        ASSERT_EQ(chunks.size(), 3u);
        ASSERT_TRUE(chunks.count("fmt ") && chunks.count("data") && chunks.count("smpl"));
        EXPECT_EQ(chunks.at("data").size, c.size);
        EXPECT_EQ(chunks.at("data").body, kWavHeaderSize);
        const Chunk smpl = chunks.at("smpl");
        ASSERT_EQ(smpl.size, 60u);
        const uint8_t* s = &f[smpl.body];
        EXPECT_EQ(readLe32(s + 8), 125000u);  // 1e9 / 8000 ns per sample
        EXPECT_EQ(readLe32(s + 12), 60u);     // unity note
        EXPECT_EQ(readLe32(s + 28), 1u);      // one loop
        const uint8_t* loop = s + 36;
        EXPECT_EQ(readLe32(loop + 4), 0u);  // forward
        EXPECT_EQ(readLe32(loop + 8), c.loop.firstFrame);
        EXPECT_EQ(readLe32(loop + 12), c.loop.lastFrame);
        EXPECT_EQ(readLe32(loop + 20), 0u);  // without end
    }
}

}  // namespace
