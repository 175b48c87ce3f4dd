// kit.sfz, kit.sf2 and the samples that are one sound: the map read back as a
// sampler reads it (regions naming written WAV files, on kit.txt's notes),
// the SoundFont field by field against the WAV files,
// the regions of a kit that reaches note 127, and equal bytes at two places
// of the PCM data becoming one file with the plays of both.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "builders/vgm_builder.h"
#include "common/output_files.h"
#include "common/byte_order.h"
#include "tests/support/sf2_reader.h"
#include "tests/support/tonepick_test_run.h"
#include "tonepick/kit_sfz.h"

namespace {

using Region = std::map<std::string, std::string>;

// The regions of an SFZ text: "//" comment lines, "<region>" headers, and
// opcode=value lines; anything else fails the test.
std::vector<Region> parseSfz(const std::string& text, std::vector<std::string>* comments = nullptr) {
    std::vector<Region> regions;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("// ", 0) == 0) {
            if (comments != nullptr) comments->push_back(line.substr(3));
        } else if (line == "<region>") {
            regions.emplace_back();
        } else {
            const size_t eq = line.find('=');
            EXPECT_TRUE(eq != std::string::npos && !regions.empty()) << "stray line: " << line;
            if (eq == std::string::npos || regions.empty()) continue;
            EXPECT_TRUE(regions.back().emplace(line.substr(0, eq), line.substr(eq + 1)).second) << line;
        }
    }
    return regions;
}

struct KitLine {
    std::string file, note, rate, bytes, plays, source;
};

std::vector<KitLine> parseKitTxt(const std::string& text) {
    std::vector<KitLine> lines;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream cols(line);
        KitLine k;
        for (std::string* field : {&k.file, &k.note, &k.rate, &k.bytes, &k.plays}) std::getline(cols, *field, '\t');
        std::getline(cols, k.source);
        lines.push_back(k);
    }
    return lines;
}

std::string textOf(const MemoryFileSystem& files, const std::string& name) {
    const std::vector<uint8_t>& f = files.at(joinOutputPath("out", name));
    return std::string(f.begin(), f.end());
}

// kit.sfz of a finished run: one one-shot region per line of kit.txt (but
// those sharing note 127), naming a written WAV file on kit.txt's note.
void expectSfzMatchesKit(const MemoryFileSystem& files) {
    const std::vector<KitLine> kit = parseKitTxt(textOf(files, "kit.txt"));
    const std::vector<Region> regions = parseSfz(textOf(files, "kit.sfz"));
    const size_t mapped = kit.size() > 92 ? 91 : kit.size();
    ASSERT_EQ(regions.size(), mapped);
    for (size_t i = 0; i < mapped; ++i) {
        SCOPED_TRACE(kit[i].file);
        Region r = regions[i];
        EXPECT_TRUE(files.has(joinOutputPath("out", r["sample"])));
        EXPECT_EQ(r["sample"], kit[i].file);
        EXPECT_EQ(r["key"], kit[i].note);
        EXPECT_EQ(r["pitch_keycenter"], kit[i].note);
        EXPECT_EQ(r["loop_mode"], "one_shot");
        EXPECT_EQ(r.size(), 4u);
    }
}

// kit.sf2 of a finished run: bank 128 preset 0, one zone per region of
// kit.sfz on its note, each sample holding its WAV file's bytes as 16-bit
// points at the file's rate, with the note as original pitch.
void expectSf2MatchesKit(const MemoryFileSystem& files) {
    const std::vector<Region> regions = parseSfz(textOf(files, "kit.sfz"));
    const Sf2File f = readSf2(files.at(joinOutputPath("out", "kit.sf2")));
    ASSERT_EQ(f.error, "");
    ASSERT_EQ(f.presets.size(), 1u);
    EXPECT_EQ(f.presets[0].bank, 128);
    EXPECT_EQ(f.presets[0].preset, 0);
    ASSERT_EQ(f.instruments.size(), 1u);
    ASSERT_EQ(f.instruments[0].zones.size(), regions.size());
    ASSERT_EQ(f.samples.size(), regions.size());
    for (size_t i = 0; i < regions.size(); ++i) {
        Region r = regions[i];
        SCOPED_TRACE(r["sample"]);
        const int note = std::stoi(r["key"]);
        const std::vector<std::pair<uint16_t, uint16_t>> generators{{43, note | note << 8},
                                                                     {53, static_cast<uint16_t>(i)}};
        EXPECT_EQ(f.instruments[0].zones[i].generators, generators);
        const Sf2ReadSample& s = f.samples[i];
        const std::vector<uint8_t>& wav = files.at(joinOutputPath("out", r["sample"]));
        EXPECT_EQ(s.rate, readLe32(wav.data() + 24));
        EXPECT_EQ(s.originalPitch, note);
        ASSERT_EQ(s.end - s.start, wav.size() - 44);
        ASSERT_LE(s.end + 46, f.points.size());
        for (size_t k = 0; k < wav.size() - 44; ++k)
            ASSERT_EQ(f.points[s.start + k], (wav[44 + k] - 128) * 256) << "point " << k;
        for (size_t k = s.end; k < s.end + 46; ++k) ASSERT_EQ(f.points[k], 0);
    }
}

TEST(KitSfz, OneRegionPerSampleUntilSeveralShareNote127) {
    struct Case {
        uint32_t samples;
        size_t regions;
        std::string lastComment;
    };
    for (const Case& c : {Case{0, 0, "played one-shot at its own rate."}, Case{3, 3, "played one-shot at its own rate."},
                         Case{92, 92, "played one-shot at its own rate."},
                         Case{93, 91, "sample_091.wav to sample_092.wav share note 127 and have no region."},
                         Case{1200, 91, "sample_091.wav to sample_1199.wav share note 127 and have no region."}}) {
        SCOPED_TRACE(c.samples);
        std::vector<std::string> comments;
        const std::vector<Region> regions = parseSfz(kitSfzText(c.samples), &comments);
        ASSERT_EQ(regions.size(), c.regions);
        for (size_t n = 0; n < regions.size(); ++n) {
            Region r = regions[n];
            char name[32];
            std::snprintf(name, sizeof name, "sample_%03zu.wav", n);
            EXPECT_EQ(r["sample"], name);
            EXPECT_EQ(r["key"], std::to_string(36 + n));
            EXPECT_EQ(r["pitch_keycenter"], r["key"]);
        }
        ASSERT_FALSE(comments.empty());
        EXPECT_EQ(comments.back(), c.lastComment);
    }
}

TEST(KitSfz, EqualBytesAtTwoPlacesAreOneSampleWithThePlaysOfBoth) {
    // The same four bytes at 10 and at 40 and once more at 70, played at one
    // rate from each place; at 100 the same bytes play at another rate; at
    // 130 one byte differs.
    std::vector<uint8_t> pcm(200, 0x80);
    for (const size_t at : {10, 40, 70, 100, 130})
        for (size_t i = 0; i < 4; ++i) pcm[at + i] = static_cast<uint8_t>(0x10 + i);
    pcm[133] = 0x55;
    VgmBuilder b;
    b.dataBlock(0x00, pcm).ym(0, 0x2B, 0x80);
    const auto play = [&](uint32_t at, int wait) {
        b.pcmSeek(at);
        for (int i = 0; i < 4; ++i) b.pcmWrite(wait);
        b.wait(50);
    };
    play(10, 2);
    play(130, 2);
    play(40, 2);
    play(100, 3);
    play(40, 2);
    play(70, 2);
    play(10, 2);
    b.ym(0, 0x2B, 0x00).end();
    TonepickTestRun t;
    t.run.settings.sampleKit = true;
    ASSERT_EQ(t.convert(b.bytes()), kExitOk);
    const std::string rate2 = std::to_string(44100 * 4 / 6), rate3 = std::to_string(44100 * 4 / 9);
    EXPECT_EQ(textOf(t.files, "kit.txt"),
              "file\tnote\trate\tbytes\tplays\tsource\n"
              "sample_000.wav\t36\t" + rate2 + "\t4\t5\tblock 0 offset 10 (+2 places)\n"
              "sample_001.wav\t37\t" + rate2 + "\t4\t1\tblock 0 offset 130\n"
              "sample_002.wav\t38\t" + rate3 + "\t4\t1\tblock 0 offset 100\n");
    EXPECT_FALSE(t.files.has(joinOutputPath("out", "sample_003.wav")));
    expectSfzMatchesKit(t.files);
    expectSf2MatchesKit(t.files);
    // The drum track plays note 36 for all five plays of the merged sample.
    const std::vector<uint8_t>& midi = t.files.at(joinOutputPath("out", "vgm.mid"));
    std::map<int, int> ons;
    for (size_t i = 0; i + 2 < midi.size(); ++i)
        if (midi[i] == 0x99 && midi[i + 2] == 0x7F) ++ons[midi[i + 1]];
    EXPECT_EQ(ons, (std::map<int, int>{{36, 5}, {37, 1}, {38, 1}}));
}

TEST(KitSfz, CorpusKitsMapEveryFileAndStaffRollHasOneSampleForItsTwoEqualPlaces) {
    const std::filesystem::path corpus = std::filesystem::path(MDTOOLS_SHARED_DIR) / "corpus/vgm";
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() != ".vgm") continue;
        SCOPED_TRACE(entry.path().filename().string());
        TonepickTestRun t;
        ASSERT_EQ(t.start({entry.path().string(), "out", "-s", "kit"}), kExitOk);
        expectSfzMatchesKit(t.files);
        expectSf2MatchesKit(t.files);
        if (entry.path().stem() != "sk_staff_roll") continue;
        // Before, sample_017 (4 plays) and sample_032 (20 plays) held the same
        // 18 bytes at the same rate; now the later samples move up by one.
        const std::vector<KitLine> kit = parseKitTxt(textOf(t.files, "kit.txt"));
        ASSERT_EQ(kit.size(), 50u);
        EXPECT_EQ(kit[17].bytes, "18");
        EXPECT_EQ(kit[17].plays, "24");
        EXPECT_EQ(kit[17].source, "block 0 offset 15702 (+1 place)");
        EXPECT_EQ(kit[32].source, "block 0 offset 24926");
        for (const KitLine& k : kit)
            if (&k != &kit[17]) {
                EXPECT_EQ(k.source.find("place"), std::string::npos) << k.file;
            }
    }
}

}  // namespace
