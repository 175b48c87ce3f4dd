// The kit of every real log of the shared corpus (skipped when it is absent):
// each sample taken from the PCM data holds exactly the bytes at the place
// kit.txt names (with its step and direction), every listed file exists with
// the listed size and a valid rate, and the drum track has one note per play.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "common/output_files.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/tonepick_test_run.h"
#include "tonepick/tonepick_driver.h"
#include "tonepick/tonepick_run.h"

namespace {

namespace fs = std::filesystem;

const std::string kCorpus = std::string(MDTOOLS_SHARED_DIR) + "/corpus/vgm";

struct KitLine {
    std::string file;
    int note = 0;
    uint64_t rate = 0, bytes = 0, plays = 0;
    std::string source;
};

std::vector<KitLine> parseKit(const std::vector<uint8_t>& text) {
    std::istringstream in(std::string(text.begin(), text.end()));
    std::string line;
    std::getline(in, line);  // column names
    std::vector<KitLine> lines;
    while (std::getline(in, line)) {
        std::istringstream cols(line);
        KitLine k;
        std::string note, rate, bytes, plays;
        std::getline(cols, k.file, '\t');
        std::getline(cols, note, '\t');
        std::getline(cols, rate, '\t');
        std::getline(cols, bytes, '\t');
        std::getline(cols, plays, '\t');
        std::getline(cols, k.source);
        k.note = std::stoi(note);
        k.rate = std::stoull(rate);
        k.bytes = std::stoull(bytes);
        k.plays = std::stoull(plays);
        lines.push_back(k);
    }
    return lines;
}

// Note-ons on the drum channel in the twelfth track of vgm.mid.
uint64_t drumNotes(const std::vector<uint8_t>& midi) {
    size_t at = 14;
    for (int i = 0; i < 11; ++i) at += 8 + readBe32(midi.data() + at + 4);
    const size_t end = at + 8 + readBe32(midi.data() + at + 4);
    uint64_t notes = 0;
    // Delta, then a meta event (FF type length data) or a channel event of
    // three bytes: no running status is written.
    for (size_t i = at + 8; i < end;) {
        while (midi[i] & 0x80) ++i;
        ++i;
        if (midi[i] == 0xFF) {
            i += 3 + midi[i + 2];
            continue;
        }
        if (midi[i] == 0x99) ++notes;
        i += 3;
    }
    return notes;
}

TEST(KitCorpus, EverySampleHoldsThePcmDataItCameFrom) {
    if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
    int logsWithKits = 0;
    for (const auto& entry : fs::directory_iterator(kCorpus)) {
        if (entry.path().extension() != ".vgm") continue;
        SCOPED_TRACE(entry.path().filename().string());
        TonepickTestRun t;
        ASSERT_EQ(t.start({entry.path().string(), "out", "-s", "kit"}), 0);
        const MemoryFileSystem& files = t.files;
        const TonepickRun& run = t.run;
        const std::vector<KitLine> kit = parseKit(files.at(joinOutputPath("out", "kit.txt")));
        // The stream bank: the type 0x00 blocks end to end, and where each starts.
        std::vector<uint8_t> bank;
        std::vector<uint64_t> blockAt(run.reader.blocks.size(), 0);
        for (size_t i = 0; i < run.reader.blocks.size(); ++i) {
            blockAt[i] = bank.size();
            if (run.reader.blocks[i].type == 0x00)
                bank.insert(bank.end(), run.reader.blocks[i].bytes.begin(), run.reader.blocks[i].bytes.end());
        }
        uint64_t plays = 0;
        for (size_t n = 0; n < kit.size(); ++n) {
            const KitLine& k = kit[n];
            SCOPED_TRACE(k.file);
            plays += k.plays;
            EXPECT_EQ(k.note, std::min<int>(36 + static_cast<int>(n), 127));
            EXPECT_GT(k.rate, 0u);
            EXPECT_GE(k.plays, 1u);
            const std::vector<uint8_t>& wav = files.at(joinOutputPath("out", k.file));
            ASSERT_EQ(wav.size(), 44 + k.bytes);
            EXPECT_EQ(readLe32(wav.data() + 24), k.rate);
            if (k.source == "direct") continue;
            std::istringstream words(k.source);
            std::string word;
            size_t block = 0;
            uint64_t offset = 0, step = 1;
            bool reverse = false;
            while (words >> word) {
                if (word == "block") words >> block;
                if (word == "offset") words >> offset;
                if (word == "step") words >> step;
                if (word == "reverse") reverse = true;
            }
            ASSERT_LT(block, run.reader.blocks.size());
            EXPECT_EQ(run.reader.blocks[block].type, 0x00);
            const uint64_t start = blockAt[block] + offset;
            ASSERT_LT(start, bank.size());
            for (uint64_t j = 0; j < k.bytes; ++j) {
                const uint64_t position = start + (reverse ? k.bytes - 1 - j : j) * step;
                ASSERT_LT(position, bank.size());
                ASSERT_EQ(wav[44 + j], bank[position]) << "byte " << j;
            }
        }
        if (!kit.empty()) ++logsWithKits;
        EXPECT_EQ(drumNotes(files.at(joinOutputPath("out", "vgm.mid"))), plays);
    }
    EXPECT_GT(logsWithKits, 5);
}

}  // namespace
