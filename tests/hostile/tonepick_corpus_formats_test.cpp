// Every real VGM file of the shared corpus (skipped when it is absent) in
// every one of the nine instrument formats, in process: each run finishes
// cleanly, and what comes out is well-formed and agrees across formats —
// vgm.mid with eleven tracks whose chunks cover the file, the same patch list
// whatever the format, instrument files of the format's size, WAV headers
// that agree with their data, data block files of the blocks' sizes.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "tests/hostile/tonepick_memory_run.h"
#include "tests/support/process_runner.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

const std::string kCorpus = std::string(MDTOOLS_SHARED_DIR) + "/corpus/vgm";

// Checks the chunk structure of vgm.mid; returns the number of note-ons.
size_t checkMidi(const Bytes& midi, const std::string& what) {
    EXPECT_GE(midi.size(), 14u) << what;
    if (midi.size() < 14) return 0;
    EXPECT_EQ((readBe32(midi.data() + 8) & 0xFFFF), 11) << what;
    size_t pos = 14, tracks = 0, noteOns = 0;
    while (pos + 8 <= midi.size()) {
        const uint32_t length = readBe32(midi.data() + pos + 4);
        EXPECT_LE(length, midi.size() - pos - 8) << what;
        if (length > midi.size() - pos - 8) return noteOns;
        const uint8_t* body = midi.data() + pos + 8;
        EXPECT_TRUE(length >= 4 && body[length - 3] == 0xFF && body[length - 2] == 0x2F && body[length - 1] == 0)
            << what << " track " << tracks << " ends with end of track";
        // Count note-ons: every status byte 0x9n follows a delta in this writer.
        for (uint32_t i = 1; i + 2 < length; ++i)
            if ((body[i] & 0xF0) == 0x90 && (body[i - 1] & 0x80) == 0 && body[i + 2] == 0x7F && body[i + 1] < 0x80) ++noteOns;
        pos += 8 + length;
        ++tracks;
    }
    EXPECT_EQ(pos, midi.size()) << what << ": the chunks cover the file exactly";
    EXPECT_EQ(tracks, 11u) << what;
    return noteOns;
}

void checkWav(const Bytes& wav, const std::string& what) {
    ASSERT_GE(wav.size(), 44u) << what;
    const uint32_t n = readLe32(wav.data() + 40);
    EXPECT_EQ(wav.size(), 44u + n) << what;
    EXPECT_EQ(readLe32(wav.data() + 4), n + 36) << what;
    const uint32_t rate = readLe32(wav.data() + 24);
    EXPECT_EQ(readLe32(wav.data() + 28), rate) << what;
    if (n > 0) {
        EXPECT_GT(rate, 0u) << what;
    } else {
        EXPECT_EQ(rate, 0u) << what;
    }
}

TEST(TonepickCorpusFormats, EveryRealFileInEveryFormatFinishesCleanlyWithConsistentOutput) {
    if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "no corpus of real VGM files at " << kCorpus << " (a clone outside this environment has none)";
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(kCorpus))
        if (entry.path().extension() == ".vgm") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());

    for (const fs::path& path : files) {
        const auto raw = readWholeFile(path.string());
        const Bytes vgm(raw.begin(), raw.end());
        const std::string name = path.filename().string();
        size_t patches = 0;
        Bytes midi;
        std::vector<Bytes> wavs;
        for (int format = 0; format < kInstrumentTypeCount; ++format) {
            const std::string what = name + " as " + instrumentTypeName(format);
            MemoryConversion c(vgm, format);
            ASSERT_EQ(c.exitCode, kExitOk) << what << "\n" << c.out.text().substr(0, 500);
            EXPECT_EQ(c.out.text().find("Error:"), std::string::npos) << what;
            // Nothing but the designed names, all inside the output directory.
            size_t patchFiles = 0, wavFiles = 0, blockFiles = 0;
            for (const auto& [file, bytes] : c.files.files) {
                ASSERT_EQ(file.compare(0, 4, "out/"), 0) << what << ": " << file;
                const std::string base = file.substr(4);
                if (base.rfind("patch_", 0) == 0) {
                    ++patchFiles;
                    EXPECT_EQ(bytes.size(), static_cast<size_t>(instrumentTypeSize(format))) << what << ": " << base;
                } else if (base.rfind("sample_", 0) == 0) {
                    ++wavFiles;
                    checkWav(bytes, what + ": " + base);
                } else if (base.rfind("datablock_", 0) == 0) {
                    ++blockFiles;
                } else {
                    EXPECT_EQ(base, "vgm.mid") << what;
                }
            }
            EXPECT_EQ(patchFiles, c.run.patches.patches.size()) << what;
            EXPECT_EQ(blockFiles, c.run.reader.blocks.size()) << what;
            for (size_t i = 0; i < c.run.reader.blocks.size(); ++i) {
                char block[48];
                std::snprintf(block, sizeof block, "datablock_%02zu(%02X).bin", i, static_cast<unsigned>(c.run.reader.blocks[i].type));
                EXPECT_EQ(c.file(block).size(), c.run.reader.blocks[i].size) << what << ": " << block;
            }
            if (format == 0) {
                patches = patchFiles;
                midi = c.file("vgm.mid");
                const size_t noteOns = checkMidi(midi, what);
                size_t keyOns = 0;
                for (const auto& list : c.run.channelEvents)
                    for (const ChannelEvent& e : list) keyOns += e.on != 0;
                for (const auto& blocks : c.run.eventSpill.blocks)
                    for (const SpilledEventBlock& b : blocks) keyOns += b.count;  // an upper bound
                EXPECT_LE(noteOns, keyOns) << what << ": every note-on comes from an event";
                for (size_t i = 0; i < wavFiles; ++i) {
                    char wav[32];
                    std::snprintf(wav, sizeof wav, "sample_%03zu.wav", i);
                    wavs.push_back(c.file(wav));
                }
            } else {
                // Only the instrument files depend on the format.
                EXPECT_EQ(patchFiles, patches) << what;
                EXPECT_TRUE(c.file("vgm.mid") == midi) << what;
                EXPECT_EQ(wavFiles, wavs.size()) << what;
            }
        }
    }
}

}  // namespace
