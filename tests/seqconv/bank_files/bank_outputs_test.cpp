// seqconv with -p/-pext and -d, run in-process: the instrument files of the
// used FM patches, the WAV files, each song's SFZ map against its listing,
// samples.txt, the option errors, and the real Spinball banks.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "builders/gems_bank_builder.h"
#include "common/byte_order.h"
#include "common/instrument_formats/gems_patch.h"
#include "common/instrument_formats/instrument_formats.h"
#include "seqconv/bank_files/patch_files.h"
#include "seqconv/bank_files/sample_bank.h"
#include "seqconv/bank_files/song_sf2.h"
#include "tests/support/midi_dump.h"
#include "tests/support/process_runner.h"
#include "tests/support/seqconv_test_run.h"
#include "tests/support/sf2_reader.h"

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

// A listing's "DAC (m) PP NN" lines, in order.
struct DacListingLine {
    int m = 0;
    unsigned patch = 0;
    unsigned note = 0;
};

std::vector<DacListingLine> dacListingLines(const std::string& listing) {
    std::vector<DacListingLine> lines;
    std::istringstream in(listing);
    for (std::string line; std::getline(in, line);) {
        DacListingLine d;
        if (std::sscanf(line.c_str(), "DAC (%d) %2X %2X", &d.m, &d.patch, &d.note) == 3) lines.push_back(d);
    }
    return lines;
}

// The patch numbers of a listing's "Patch XX (FM)..." lines, as printed.
std::vector<std::string> fmListingPatches(const std::string& listing) {
    std::vector<std::string> patches;
    std::istringstream in(listing);
    for (std::string line; std::getline(in, line);) {
        if (line.size() >= 13 && line.compare(0, 6, "Patch ") == 0 && line.compare(8, 5, " (FM)") == 0)
            patches.push_back(line.substr(6, 2));
    }
    return patches;
}

// An instrument bank of whole patches: the offset table, then each patch.
Bytes instrumentBank(const std::vector<Bytes>& patches) {
    Bytes bank(2 * patches.size());
    for (size_t p = 0; p < patches.size(); ++p) {
        writeLe16(&bank[2 * p], static_cast<uint16_t>(bank.size()));
        bank.insert(bank.end(), patches[p].begin(), patches[p].end());
    }
    return bank;
}

Bytes randomFmPatch(uint32_t seed) {
    Bytes patch(kGemsFmPatchSize);
    for (uint8_t& b : patch) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    patch[0] = 0;  // FM
    return patch;
}

struct RawSample {
    uint8_t flags;
    Bytes data;
    uint16_t loop = 0;
    uint16_t first = 0xFFFF;  // 0xFFFF: the data size
};

Bytes sampleBank(const std::vector<RawSample>& samples) {
    Bytes bank(kSampleHeaderSize * samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        const RawSample& s = samples[i];
        uint8_t* h = &bank[kSampleHeaderSize * i];
        const auto offset = static_cast<uint32_t>(s.data.empty() ? 0 : bank.size());
        h[0] = s.flags;
        h[1] = offset & 0xFF, h[2] = (offset >> 8) & 0xFF, h[3] = (offset >> 16) & 0xFF;
        writeLe16(h + 6, s.first == 0xFFFF ? static_cast<uint16_t>(s.data.size()) : s.first);
        writeLe16(h + 8, s.loop);
        bank.insert(bank.end(), s.data.begin(), s.data.end());
    }
    return bank;
}

std::string textOf(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

class BankOutputsTest : public ::testing::Test {
protected:
    std::string write(const std::string& name, const Bytes& bytes) {
        const std::string path = dir.file(name);
        writeWholeFile(path, bytes);
        return path;
    }
    std::string out(const std::string& name) const { return joinOutputPath("out", name); }
    bool has(const std::string& name) const { return test.files.has(out(name)); }
    const Bytes& file(const std::string& name) const { return test.files.at(out(name)); }
    std::set<std::string> namesStartingWith(const std::string& prefix) const {
        std::set<std::string> names;
        for (const auto& [path, bytes] : test.files.files) {
            const std::string name = fs::path(path).filename().string();
            if (name.rfind(prefix, 0) == 0) names.insert(name);
        }
        return names;
    }

    TempDir dir;
    SeqconvTestRun test;
};

// Three FM patches (0 and 2 used by song 0, 1 by song 1; 4 used by nobody),
// a DAC patch 3 whose notes are no instrument file, and patch 5, the last,
// cut short by the end of the bank.
struct PatchBanks {
    std::vector<Bytes> patches;
    Bytes sequences;
};

PatchBanks patchBanks() {
    PatchBanks b;
    b.patches = {randomFmPatch(1), randomFmPatch(2), randomFmPatch(3), Bytes{1, 4}, randomFmPatch(5),
                 randomFmPatch(6)};
    b.patches[0][38] = 0x01;  // a byte no register holds: the gems file keeps it
    b.patches[1][37] = 0xF3;
    b.patches[5].resize(20);
    GemsBankBuilder seq;
    seq.song().channel().patch(0).delay(4).duration(2).note(60).patch(2).note(62).eos();
    seq.song(0).channel().patch(3).delay(4).duration(2).note(48).eos();
    seq.song().channel().patch(1).delay(4).duration(2).note(60).patch(5).note(61).eos();
    b.sequences = seq.bytes();
    return b;
}

TEST_F(BankOutputsTest, UsedFmPatchesInEveryFormat) {
    const PatchBanks banks = patchBanks();
    const std::string seq = write("seq.bin", banks.sequences);
    const std::string ins = write("ins.bin", instrumentBank(banks.patches));
    for (int type = 0; type < kInstrumentTypeCount; ++type) {
        SCOPED_TRACE(instrumentTypeName(type));
        test.files.files.clear();
        OutputCapture printed;
        test.freshRun(printed);
        // Any letter case; the flags word may stand before the options.
        std::string name = instrumentTypeName(type);
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        ASSERT_EQ(test.start({seq, ins, "out", "c", "-p", name}), kSeqconvExitOk) << printed.text();
        EXPECT_EQ(printed.text(), "Warning: 1 patches run past the end of the instrument bank\n");
        const std::string ext = std::string(".") + instrumentTypeName(type);
        EXPECT_EQ(namesStartingWith("patch_"), (std::set<std::string>{"patch_00" + ext, "patch_01" + ext,
                                                                      "patch_02" + ext, "patch_05" + ext}));
        for (const int p : {0, 1, 2, 5}) {
            Bytes gems = banks.patches[static_cast<size_t>(p)];
            gems.resize(kGemsFmPatchSize, 0);  // past the end of the bank: zeros
            const Bytes& written = file("patch_0" + std::to_string(p) + ext);
            ASSERT_EQ(written.size(), static_cast<size_t>(instrumentTypeSize(type)));
            if (type == kInstrumentGems) {
                EXPECT_EQ(hexBytes(written), hexBytes(gems)) << p;  // the bank's bytes exactly
                continue;
            }
            uint8_t image[kGemsFmPatchSize];
            std::copy(gems.begin(), gems.end(), image);
            Bytes expected(kMaxInstrumentSize);
            writeInstrument(patchFromGems(image), type, expected.data());
            expected.resize(written.size());
            EXPECT_EQ(hexBytes(written), hexBytes(expected)) << p;
        }
    }
}

TEST_F(BankOutputsTest, TfiDecodedByHandAndExtensionRules) {
    const PatchBanks banks = patchBanks();
    const std::string seq = write("seq.bin", banks.sequences);
    const std::string ins = write("ins.bin", instrumentBank(banks.patches));
    ASSERT_EQ(test.start({seq, ins, "out", "-pext", "x", "-p", "dmp", "-p", "tfi", "-pext", ".bin"}), kSeqconvExitOk);
    EXPECT_EQ(namesStartingWith("patch_"),
              (std::set<std::string>{"patch_00.bin", "patch_01.bin", "patch_02.bin", "patch_05.bin"}));
    const Bytes& p = banks.patches[2];
    const Bytes& tfi = file("patch_02.bin");
    ASSERT_EQ(tfi.size(), 42u);
    EXPECT_EQ(tfi[0], p[3] & 7);                 // ALG
    EXPECT_EQ(tfi[1], (p[3] >> 3) & 7);          // FB
    EXPECT_EQ(tfi[2], p[5] & 0x0F);              // S1 MUL
    EXPECT_EQ(tfi[12], p[11] & 0x0F);            // S3 MUL: the second group
    const uint8_t s1Tl = (p[37] & 1) ? (p[6] & 0x7F) : 0x7F;  // S1 heard only when enabled
    EXPECT_EQ(tfi[4], s1Tl);

    // -pext alone: gems files with that extension.
    test.files.files.clear();
    OutputCapture printed;
    test.freshRun(printed);
    ASSERT_EQ(test.start({seq, ins, "out", "-pext", "ins"}), kSeqconvExitOk);
    EXPECT_EQ(file("patch_00.ins").size(), kGemsFmPatchSize);
}

// Headers: 0 plain code 5 cut at note-off, 1 looping, 2 packed one-shot,
// 3 empty, 4 code 0. DAC patch 0 keeps the codes; DAC patch 1 plays at code 7.
struct SampleBanks {
    Bytes instruments;
    Bytes sequences;
    Bytes samples;
};

SampleBanks sampleBanks() {
    SampleBanks b;
    b.instruments = instrumentBank({Bytes{1, 4}, Bytes{1, 7}});
    b.samples = sampleBank({
        {0x25, {0x80, 0x90, 0xA0}},
        {0x13, {1, 2, 3, 4, 5, 6}, 2},
        {0x85, {0x21, 0x43}},
        {0x05, {}},
        {0x00, {0x80}},
    });
    GemsBankBuilder seq;
    // Notes 48..52 play headers 0..4, note 40 header 88 (none), patch 1 note 48 header 0 at code 7.
    GemsChannelBuilder& c = seq.song().channel().patch(0).delay(2).duration(1);
    for (const int note : {48, 49, 50, 51, 52, 40}) c.note(note).delay(2);
    c.patch(1).note(48).eos();
    seq.song().channel().patch(0).delay(2).duration(1).note(48).eos();
    seq.song().channel().patch(0).delay(2).duration(1).note(0).eos();  // note 0: header 48, none
    seq.song().channel().delay(2).eos();  // no DAC key: no map
    b.sequences = seq.bytes();
    return b;
}

struct SfzRegionLines {
    std::string sample;
    int key = -1;
    int keycenter = -1;
    std::string loopMode;
    long loopStart = -1, loopEnd = -1;
};

std::vector<SfzRegionLines> parseSfz(const std::string& sfz) {
    std::vector<SfzRegionLines> regions;
    std::istringstream in(sfz);
    std::string line;
    while (std::getline(in, line)) {
        if (line == "<region>") {
            regions.emplace_back();
            continue;
        }
        if (line.rfind("//", 0) == 0 || regions.empty()) continue;
        const size_t eq = line.find('=');
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        SfzRegionLines& r = regions.back();
        if (key == "sample") r.sample = value;
        if (key == "key") r.key = std::stoi(value);
        if (key == "pitch_keycenter") r.keycenter = std::stoi(value);
        if (key == "loop_mode") r.loopMode = value;
        if (key == "loop_start") r.loopStart = std::stol(value);
        if (key == "loop_end") r.loopEnd = std::stol(value);
    }
    return regions;
}

struct WavChunks {
    std::map<std::string, Bytes> chunks;
    bool whole = false;  // the chunks fill the RIFF size exactly
};

WavChunks riffChunks(const Bytes& f) {
    WavChunks w;
    if (f.size() < 12 || textOf(Bytes(f.begin(), f.begin() + 4)) != "RIFF") return w;
    size_t at = 12;
    while (at + 8 <= f.size()) {
        const uint32_t size = readLe32(&f[at + 4]);
        if (at + 8 + size > f.size()) return w;
        w.chunks[textOf(Bytes(f.begin() + static_cast<long>(at), f.begin() + static_cast<long>(at + 4)))] =
            Bytes(f.begin() + static_cast<long>(at + 8), f.begin() + static_cast<long>(at + 8 + size));
        at += 8 + size;
        if (size % 2 != 0 && at < f.size()) ++at;  // pad byte, none after the last chunk
    }
    w.whole = at == f.size() && readLe32(&f[4]) == f.size() - 8;
    return w;
}

TEST_F(BankOutputsTest, SfzRegionsFollowTheListingsDacLines) {
    const SampleBanks banks = sampleBanks();
    const std::string seq = write("seq.bin", banks.sequences);
    const std::string ins = write("ins.bin", banks.instruments);
    const std::string smp = write("samples.bin", banks.samples);
    ASSERT_EQ(test.start({seq, ins, "out", "-d", smp}), kSeqconvExitOk) << test.text();
    // Keys: (0,30) (0,31) (0,32) (0,33) (0,34) (0,28) (1,30) of song 0 and (0,00) of song 2.
    EXPECT_EQ(test.text(), "Warning: 4 DAC keys play no sample\n");

    const std::map<int, std::string> expectedFile = {{0, "sample_00.wav"}, {1, "sample_01.wav"}, {2, "sample_02.wav"}};
    for (const std::string song : {"000", "001", "002"}) {
        SCOPED_TRACE(song);
        const std::string listing = textOf(file(song + ".txt"));
        const std::vector<SfzRegionLines> regions = parseSfz(textOf(file(song + ".sfz")));
        size_t r = 0;
        int lines = 0;
        for (const DacListingLine& line : dacListingLines(listing)) {
            ++lines;
            const int m = line.m;
            const int patch = static_cast<int>(line.patch);
            const int note = static_cast<int>(line.note);
            const int header = ((note - 48) % 96 + 96) % 96;
            const bool playable = header <= 2;  // 3 empty, 4 code 0, 48 and 88 past the table
            if (!playable) continue;
            ASSERT_LT(r, regions.size());
            const SfzRegionLines& region = regions[r++];
            EXPECT_EQ(region.key, 48 + m);
            EXPECT_EQ(region.keycenter, 48 + m);
            EXPECT_EQ(region.sample, patch == 1 ? "sample_00_07.wav" : expectedFile.at(header));
            const char* modes[] = {"", "loop_continuous", "one_shot"};  // cut, looping, plays to its end
            EXPECT_EQ(region.loopMode, modes[header]);
            if (header == 1) {
                EXPECT_EQ(region.loopStart, 4);
                EXPECT_EQ(region.loopEnd, 5);
            }
        }
        EXPECT_EQ(r, regions.size()) << "a region for a key the listing does not have";
        EXPECT_GT(lines, 0);
    }
    EXPECT_FALSE(has("003.sfz"));  // no DAC key, no map

    // One WAV per sample and rate code, written once for the run.
    EXPECT_EQ(namesStartingWith("sample_"),
              (std::set<std::string>{"sample_00.wav", "sample_00_07.wav", "sample_01.wav", "sample_02.wav"}));
    const WavChunks plain = riffChunks(file("sample_00.wav"));
    EXPECT_TRUE(plain.whole);
    EXPECT_EQ(plain.chunks.size(), 2u);
    EXPECT_EQ(readLe32(&plain.chunks.at("fmt ")[4]), 10653u);
    EXPECT_EQ(plain.chunks.at("data"), (Bytes{0x80, 0x90, 0xA0}));
    EXPECT_EQ(readLe32(&riffChunks(file("sample_00_07.wav")).chunks.at("fmt ")[4]), 7609u);  // 7,670,454 / 1008
    const WavChunks looped = riffChunks(file("sample_01.wav"));
    EXPECT_TRUE(looped.whole);
    ASSERT_TRUE(looped.chunks.count("smpl"));
    const Bytes& smpl = looped.chunks.at("smpl");
    ASSERT_EQ(smpl.size(), 60u);
    EXPECT_EQ(readLe32(&smpl[28]), 1u);
    EXPECT_EQ(readLe32(&smpl[44]), 4u);  // the last 2 of 6 bytes
    EXPECT_EQ(readLe32(&smpl[48]), 5u);
    EXPECT_EQ(readLe32(&riffChunks(file("sample_01.wav")).chunks.at("fmt ")[4]), 17755u);  // code 3
    EXPECT_EQ(riffChunks(file("sample_02.wav")).chunks.at("data"), (Bytes{0x10, 0x20, 0x30, 0x40}));

    const std::string listing = textOf(file("samples.txt"));
    EXPECT_EQ(listing,
              "number\toffset\tskip\tbytes\tloop\trate code\trate\t4-bit\tcut\tfiles\tsongs\n"
              "0\t0x00003C\t0\t3\tno\t5\t10653\tno\tyes\tsample_00.wav, sample_00_07.wav\t000, 001\n"
              "1\t0x00003F\t0\t6\t2\t3\t17755\tno\tno\tsample_01.wav\t000\n"
              "2\t0x000045\t0\t2\tno\t5\t10653\tyes\tno\tsample_02.wav\t000\n"
              "3\t0x000000\t0\t0\tno\t5\t10653\tno\tno\tnone (empty header)\t000\n"
              "4\t0x000047\t0\t1\tno\t0\t0\tno\tno\tnone (rate code 0)\t000\n"
              "48\t-\t-\t-\t-\t-\t-\t-\t-\tnone (no such header)\t002\n"
              "88\t-\t-\t-\t-\t-\t-\t-\t-\tnone (no such header)\t000\n");
}

constexpr uint16_t kKeyRange = 43, kSampleId = 53, kSampleModes = 54, kReleaseVolEnv = 38, kInstrument = 41;

// NNN.sf2 read back field by field against NNN.sfz and its WAV files: one
// zone per region, in order, on its key; the sample holds the WAV's bytes as
// (u - 128) * 256 at the WAV's rate, original pitch the key; a looping sample
// loops on the same points, a one-shot one gets a release at least as long
// as the sample, one cut at note-off none.
void expectSf2MatchesSfz(const std::map<std::string, Bytes>& files, const std::string& dir, const std::string& song) {
    SCOPED_TRACE(song + ".sf2");
    const auto at = [&](const std::string& name) -> const Bytes& { return files.at(joinOutputPath(dir, name)); };
    const std::vector<SfzRegionLines> regions = parseSfz(textOf(at(song + ".sfz")));
    const Sf2File f = readSf2(at(song + ".sf2"));
    ASSERT_EQ(f.error, "");
    ASSERT_EQ(f.presets.size(), 1u);
    EXPECT_EQ(f.presets[0].bank, 0);
    EXPECT_EQ(f.presets[0].preset, 0);
    ASSERT_EQ(f.presets[0].zones.size(), 1u);
    EXPECT_EQ(f.presets[0].zones[0].generators, (std::vector<std::pair<uint16_t, uint16_t>>{{kInstrument, 0}}));
    ASSERT_EQ(f.instruments.size(), 1u);
    const std::vector<Sf2ReadZone>& zones = f.instruments[0].zones;
    ASSERT_EQ(zones.size(), regions.size());
    ASSERT_EQ(f.samples.size(), regions.size());
    for (size_t i = 0; i < regions.size(); ++i) {
        const SfzRegionLines& r = regions[i];
        SCOPED_TRACE(r.sample);
        const auto key = static_cast<uint16_t>(r.key);
        std::vector<std::pair<uint16_t, uint16_t>> expected{{kKeyRange, key | key << 8}};
        if (r.loopMode == "loop_continuous") expected.emplace_back(kSampleModes, 1);
        const WavChunks wav = riffChunks(at(r.sample));
        const Bytes& data = wav.chunks.at("data");
        const uint32_t rate = readLe32(&wav.chunks.at("fmt ")[4]);
        const std::vector<std::pair<uint16_t, uint16_t>>& got = zones[i].generators;
        if (r.loopMode == "one_shot") {
            ASSERT_EQ(got.size(), 3u);
            EXPECT_EQ(got[1].first, kReleaseVolEnv);
            const double seconds = std::exp2(static_cast<int16_t>(got[1].second) / 1200.0);
            EXPECT_GE(seconds, static_cast<double>(data.size()) / rate);
            expected.push_back(got[1]);
        }
        expected.emplace_back(kSampleId, static_cast<uint16_t>(i));
        EXPECT_EQ(got, expected);

        const Sf2ReadSample& s = f.samples[i];
        EXPECT_EQ(s.rate, rate);
        EXPECT_EQ(s.originalPitch, r.key);
        EXPECT_EQ(s.type, 1);  // mono
        ASSERT_EQ(s.end - s.start, data.size());
        ASSERT_LE(s.end + 46, f.points.size());
        for (size_t k = 0; k < data.size(); ++k)
            ASSERT_EQ(f.points[s.start + k], (data[k] - 128) * 256) << "point " << k;
        for (uint32_t k = s.end; k < s.end + 46; ++k) ASSERT_EQ(f.points[k], 0) << "pad point " << k;
        if (r.loopMode == "loop_continuous") {
            EXPECT_EQ(s.loopStart, s.start + static_cast<uint32_t>(r.loopStart));
            EXPECT_EQ(s.loopEnd, s.start + static_cast<uint32_t>(r.loopEnd) + 1);  // the point after the loop
        }
    }
}

TEST_F(BankOutputsTest, Sf2ZonesFollowTheSfzRegions) {
    const SampleBanks banks = sampleBanks();
    const std::string seq = write("seq.bin", banks.sequences);
    const std::string ins = write("ins.bin", banks.instruments);
    const std::string smp = write("samples.bin", banks.samples);
    ASSERT_EQ(test.start({seq, ins, "out", "-d", smp}), kSeqconvExitOk) << test.text();
    // Song 0 has all three kinds (cut, looping, one-shot), song 2 no playable key.
    ASSERT_EQ(parseSfz(textOf(file("000.sfz"))).size(), 4u);
    for (const std::string song : {"000", "001", "002"}) expectSf2MatchesSfz(test.files.files, "out", song);
    EXPECT_FALSE(has("003.sf2"));  // no DAC key, no SoundFont
}

TEST(SongSf2, KeysPastMidiKey127GetNoZone) {
    DacKeySample k;
    k.file = "sample_00.wav";
    k.frames = 4;
    k.rate = 10653;
    std::vector<DacKeySample> keys;
    for (const int32_t key : {48, 127, 128, 200}) {
        k.midiKey = key;
        keys.push_back(k);
    }
    keys[0].problem = SampleProblem::kEmpty;
    const SongSf2 sf2 = buildSongSf2(7, keys);
    ASSERT_EQ(sf2.bank.zones.size(), 1u);
    EXPECT_EQ(sf2.bank.zones[0].keyLow, 127);
    EXPECT_EQ(sf2.bank.samples[0].name, "sample_00_k127");
}

TEST_F(BankOutputsTest, OptionErrors) {
    const SampleBanks banks = sampleBanks();
    const std::string seq = write("seq.bin", banks.sequences);
    const std::string ins = write("ins.bin", banks.instruments);
    const std::string big = dir.file("big.bin");
    writeWholeFile(big, {});
    fs::resize_file(big, kMaxSampleBankSize + 1);  // sparse on most file systems
    struct Case {
        std::vector<std::string> options;
        std::string message;
        bool usage;
    };
    const std::vector<Case> cases = {
        {{"-x"}, "Error: unknown command line option \"-x\"\n\n", true},
        {{"l", "tfi"}, "Error: unknown command line option \"tfi\"\n\n", true},
        {{"-p", "tfi", "extra"}, "Error: unknown command line option \"extra\"\n\n", true},
        {{"-p"}, "Error: instrument type expected in command line\n\n", true},
        {{"c", "-pext"}, "Error: extension expected in command line\n\n", true},
        {{"-d"}, "Error: sample bank expected in command line\n\n", true},
        {{"-p", "opn"}, "Error: unknown instrument type \"opn\"\n\n", true},
        {{"-d", dir.file("missing.bin")}, "Error: Can't open file \"" + dir.file("missing.bin") + "\"\n", false},
        {{"-d", dir.path()}, "Error: Can't open file \"" + dir.path() + "\"\n", false},
        {{"-d", big}, "Error: sample bank \"" + big + "\" is larger than 16908288 bytes\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        OutputCapture printed;
        test.freshRun(printed);
        std::vector<std::string> args{seq, ins, "out"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        EXPECT_EQ(test.start(args), kSeqconvExitCannotStart);
        const std::string text = printed.text();
        EXPECT_EQ(text.substr(0, c.message.size()), c.message);
        EXPECT_EQ(text.find("Usage: seqconv") == c.message.size(), c.usage) << text;
        if (!c.usage) {
            EXPECT_EQ(text, c.message);
        }
        EXPECT_TRUE(test.files.files.empty());
    }
}

// The real Spinball banks beside the repository.
const std::string kCorpus = std::string(MDTOOLS_SHARED_DIR) + "/corpus/gems/";

TEST_F(BankOutputsTest, SpinballReferenceNumbers) {
    if (!fs::is_regular_file(kCorpus + "spinball_sample_bank.bin"))
        GTEST_SKIP() << "skipped: no GEMS corpus at " << kCorpus;
    const std::string seq = kCorpus + "spinball_sequence_bank.bin";
    const std::string ins = kCorpus + "spinball_patch_bank.bin";
    const std::string smp = kCorpus + "spinball_sample_bank.bin";

    // Every FM patch of the bank round-trips through the gems writer.
    InstrumentBank instruments;
    ASSERT_TRUE(loadInstrumentBank(ins.c_str(), instruments));
    const Bytes bankBytes = readWholeFile(ins);
    int fmPatches = 0;
    for (int32_t p = 0; p < patchOffset(instruments, 0) / 2; ++p) {
        if (patchType(instruments, p) != kFmPatchType) continue;
        ++fmPatches;
        const auto offset = static_cast<size_t>(patchOffset(instruments, p));
        const PatchFile f = buildPatchFile(instruments, p, kInstrumentGems);
        EXPECT_FALSE(f.pastBankEnd);
        EXPECT_EQ(hexBytes(f.bytes), hexBytes(Bytes(bankBytes.begin() + static_cast<long>(offset),
                                                     bankBytes.begin() + static_cast<long>(offset + 39))))
            << p;
    }
    EXPECT_EQ(fmPatches, 124);

    MemoryFileSystem plainFiles;
    {
        SeqconvTestRun plain;
        ASSERT_EQ(plain.start({seq, ins, "out"}), kSeqconvExitOk);
        plainFiles.files = plain.files.files;
    }
    ASSERT_EQ(test.start({seq, ins, "out", "-p", "tfi", "-d", smp}), kSeqconvExitOk) << test.text();
    EXPECT_EQ(test.text(), "");
    // The song files are those of a run without the options, byte for byte.
    for (const auto& [path, bytes] : plainFiles.files) EXPECT_EQ(test.files.at(path), bytes) << path;

    // The one DAC patch is 122 (01 04); the songs play 14 samples, all code 5.
    std::set<std::string> dacPatches;
    std::set<std::string> fmPatchFiles;  // one per FM patch any listing names
    for (const auto& [path, bytes] : test.files.files) {
        if (path.size() < 4 || path.substr(path.size() - 4) != ".txt" || path == out("samples.txt")) continue;
        const std::string text = textOf(bytes);
        for (const DacListingLine& line : dacListingLines(text)) {
            char patch[8];
            std::snprintf(patch, sizeof patch, "%02X", line.patch);
            dacPatches.insert(patch);
        }
        for (const std::string& patch : fmListingPatches(text)) fmPatchFiles.insert("patch_" + patch + ".tfi");
    }
    EXPECT_EQ(namesStartingWith("patch_"), fmPatchFiles);
    EXPECT_EQ(dacPatches, std::set<std::string>{"7A"});
    EXPECT_EQ(instruments.bytes[static_cast<size_t>(patchOffset(instruments, 0x7A)) + 1], 4);

    std::set<std::string> expected;
    for (const int h : {0, 1, 2, 3, 4, 5, 6, 12, 13, 15, 16, 18, 20, 21}) {
        char name[32];
        std::snprintf(name, sizeof name, "sample_%02d.wav", h);
        expected.insert(name);
    }
    EXPECT_EQ(namesStartingWith("sample_"), expected);
    SampleBank samples;
    ASSERT_EQ(loadSampleBank(smp.c_str(), samples), SampleBankLoad::kLoaded);
    ASSERT_EQ(samples.headers.size(), 22u);
    for (const std::string& name : expected) {
        const SampleHeader& h = samples.headers[static_cast<size_t>(std::stoi(name.substr(7, 2)))];
        EXPECT_EQ(h.rateCode(), 5);
        EXPECT_FALSE(h.loops() || h.packed());
        const WavChunks wav = riffChunks(file(name));
        EXPECT_TRUE(wav.whole);
        EXPECT_EQ(wav.chunks.size(), 2u) << name;  // no smpl: nothing loops
        EXPECT_EQ(wav.chunks.at("data").size(), h.first);
    }
    const SampleHeader& last = samples.headers[21];
    EXPECT_EQ(last.offset + last.skip + last.first, samples.bytes.size());

    // A SoundFont beside each sampler map, holding the same samples.
    int maps = 0;
    for (const std::string& name : namesStartingWith("")) {
        if (name.size() != 7 || name.substr(3) != ".sfz") continue;
        ++maps;
        EXPECT_TRUE(has(name.substr(0, 3) + ".sf2"));
        expectSf2MatchesSfz(test.files.files, "out", name.substr(0, 3));
    }
    EXPECT_GT(maps, 0);
    EXPECT_EQ(namesStartingWith("").size(), plainFiles.files.size() + 2u * static_cast<size_t>(maps) +
                                                fmPatchFiles.size() + expected.size() + 1u);
}

}  // namespace
