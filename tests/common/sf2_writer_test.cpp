#include "common/sf2_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/memory_file_system.h"
#include "tests/support/sf2_reader.h"

namespace {

constexpr uint16_t kKeyRange = 43, kSampleId = 53, kSampleModes = 54, kReleaseVolEnv = 38, kInstrument = 41;

std::vector<uint8_t> written(const Sf2Bank& bank, const std::vector<std::vector<uint8_t>>& data, bool& ok) {
    MemoryFileSystem files;
    {
        auto file = files.create("x.sf2");
        ok = writeSf2(*file, bank, [&](uint32_t i, const std::function<void(const uint8_t*, size_t)>& put) {
            // In two pieces, to cross a piece boundary.
            const size_t half = data[i].size() / 2;
            put(data[i].data(), half);
            put(data[i].data() + half, data[i].size() - half);
            return true;
        });
        file->close();
    }
    return files.at("x.sf2");
}

TEST(Sf2Writer, OnePresetOfZonesReadsBackFieldByField) {
    Sf2Bank bank;
    bank.name = "odd name";  // 9 bytes with its zero: padded to 10
    bank.presetName = "a preset name longer than twenty";
    bank.bank = 128;
    bank.preset = 5;
    bank.samples = {{"kick", 3, 22050, 36, false, 0, 0}, {"loop", 4, 8000, 48, true, 1, 3}};
    bank.zones = {{36, 36, 0, false, 0}, {40, 52, 1, true, 2.0}};
    const std::vector<std::vector<uint8_t>> data{{0x80, 0x00, 0xFF}, {1, 2, 3, 4}};
    bool ok = false;
    const Sf2File f = readSf2(written(bank, data, ok));
    EXPECT_TRUE(ok);
    ASSERT_EQ(f.error, "");
    EXPECT_EQ(f.topChunks, (std::vector<std::string>{"LIST INFO", "LIST sdta", "LIST pdta"}));
    EXPECT_EQ(f.versionMajor, 2);
    EXPECT_EQ(f.versionMinor, 1);
    EXPECT_EQ(f.engine, "EMU8000");
    EXPECT_EQ(f.name, "odd name");
    // (u - 128) * 256, each sample followed by 46 zero points.
    std::vector<int16_t> points{0, -32768, 32512};
    points.insert(points.end(), 46, 0);
    for (int u : {1, 2, 3, 4}) points.push_back(static_cast<int16_t>((u - 128) * 256));
    points.insert(points.end(), 46, 0);
    EXPECT_EQ(f.points, points);

    ASSERT_EQ(f.presets.size(), 1u);
    EXPECT_EQ(f.presets[0].name, "a preset name longe");  // 19 characters and the zero
    EXPECT_EQ(f.presets[0].bank, 128);
    EXPECT_EQ(f.presets[0].preset, 5);
    ASSERT_EQ(f.presets[0].zones.size(), 1u);
    EXPECT_EQ(f.presets[0].zones[0].generators, (std::vector<std::pair<uint16_t, uint16_t>>{{kInstrument, 0}}));
    ASSERT_EQ(f.instruments.size(), 1u);
    ASSERT_EQ(f.instruments[0].zones.size(), 2u);
    EXPECT_EQ(f.instruments[0].zones[0].generators,
              (std::vector<std::pair<uint16_t, uint16_t>>{{kKeyRange, 36 | 36 << 8}, {kSampleId, 0}}));
    // 2 s of release: 1200 timecents.
    EXPECT_EQ(f.instruments[0].zones[1].generators,
              (std::vector<std::pair<uint16_t, uint16_t>>{
                  {kKeyRange, 40 | 52 << 8}, {kSampleModes, 1}, {kReleaseVolEnv, 1200}, {kSampleId, 1}}));

    ASSERT_EQ(f.samples.size(), 2u);
    const Sf2ReadSample& a = f.samples[0];
    EXPECT_EQ(a.name, "kick");
    EXPECT_EQ(a.start, 0u);
    EXPECT_EQ(a.end, 3u);
    EXPECT_EQ(a.loopStart, 0u);
    EXPECT_EQ(a.loopEnd, 3u);
    EXPECT_EQ(a.rate, 22050u);
    EXPECT_EQ(a.originalPitch, 36);
    EXPECT_EQ(a.type, 1);  // mono
    const Sf2ReadSample& b = f.samples[1];
    EXPECT_EQ(b.start, 3u + 46);
    EXPECT_EQ(b.end, 3u + 46 + 4);
    EXPECT_EQ(b.loopStart, 3u + 46 + 1);
    EXPECT_EQ(b.loopEnd, 3u + 46 + 3);
    EXPECT_EQ(b.rate, 8000u);
    EXPECT_EQ(b.originalPitch, 48);
    // The terminal records: EOP, EOI, EOS and the modulator lists of one zero record.
    EXPECT_EQ(std::string(f.pdta.at("phdr").end() - 38, f.pdta.at("phdr").end() - 35), "EOP");
    EXPECT_EQ(std::string(f.pdta.at("inst").end() - 22, f.pdta.at("inst").end() - 19), "EOI");
    EXPECT_EQ(std::string(f.pdta.at("shdr").end() - 46, f.pdta.at("shdr").end() - 43), "EOS");
    EXPECT_EQ(f.pdta.at("pmod"), std::vector<uint8_t>(10, 0));
    EXPECT_EQ(f.pdta.at("imod"), std::vector<uint8_t>(10, 0));
}

TEST(Sf2Writer, ASampleThatComesShortIsSilenceAndNotOk) {
    Sf2Bank bank;
    bank.samples = {{"s", 5, 44100, 60, false, 0, 0}};
    bank.zones = {{0, 127, 0, false, 0}};
    bool ok = true;
    const Sf2File f = readSf2(written(bank, {{0x90, 0x90}}, ok));
    EXPECT_FALSE(ok);
    ASSERT_EQ(f.error, "");
    ASSERT_EQ(f.points.size(), 5u + 46);
    EXPECT_EQ(f.points[1], 16 * 256);
    EXPECT_EQ(f.points[2], 0);
}

TEST(Sf2Writer, ReleaseTimecents) {
    EXPECT_EQ(sf2Timecents(1.0), 0);
    EXPECT_EQ(sf2Timecents(0.5), -1200);
    EXPECT_EQ(sf2Timecents(1.5), 702);  // rounded up: never shorter than asked
    EXPECT_EQ(sf2Timecents(1000.0), 8000);
    EXPECT_EQ(sf2Timecents(0.0), -12000);
}

}  // namespace
