// Whole runs over built VGM files: the instruments played end up as patch
// files in the chosen format, named as the command line asks.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/midi_dump.h"
#include "tests/support/process_runner.h"
#include "builders/vgm_builder.h"
#include "common/instrument_formats/instrument_formats.h"
#include "tests/support/tonepick_test_run.h"

namespace {

// Writes every instrument register of `r` to channel ch (0..5).
void setInstrument(VgmBuilder& v, int ch, const PatchRecord& r) {
    const int port = ch / 3;
    const int sub = ch % 3;
    const int offset[4] = {0x0, 0x8, 0x4, 0xC};  // S1, S2, S3, S4
    for (size_t k = 0; k < 4; ++k) {
        const OperatorRegs& op = r.op[k];
        const int base = offset[k] + sub;
        v.ym(port, 0x30 + base, op.dtMul).ym(port, 0x40 + base, op.tl).ym(port, 0x50 + base, op.rsAr);
        v.ym(port, 0x60 + base, op.amD1r).ym(port, 0x70 + base, op.d2r).ym(port, 0x80 + base, op.d1lRr);
        v.ym(port, 0x90 + base, op.ssgEg);
    }
    v.ym(port, 0xB0 + sub, r.fbAlg).ym(port, 0xB4 + sub, r.lrAmsFms);
}

PatchRecord instrument(uint8_t seed) {
    PatchRecord r;
    for (size_t k = 0; k < 4; ++k) {
        const auto s = static_cast<uint8_t>(seed + 16 * k);
        r.op[k] = OperatorRegs{static_cast<uint8_t>(s & 0x7F), static_cast<uint8_t>(0x10 + k),
                               static_cast<uint8_t>(s ^ 0x5A), static_cast<uint8_t>(s ^ 0x81),
                               static_cast<uint8_t>(s & 0x1F), static_cast<uint8_t>(s ^ 0xC3),
                               static_cast<uint8_t>(k == 1 ? 0x09 : 0)};
    }
    r.fbAlg = static_cast<uint8_t>(seed & 0x3F);
    r.lrAmsFms = static_cast<uint8_t>(0xC0 | (seed & 0x37));
    return r;
}

struct Tune {
    std::vector<uint8_t> vgm;
    std::vector<PatchRecord> expected;  // the patch list the tune must produce
};

// Three instruments: A on channel 1 and again, louder, on channel 5 (folded,
// its levels taken); B on channel 3 in special mode; C on channel 6 with S1
// keyed only. LFO is set once for all.
Tune buildTune() {
    Tune t;
    VgmBuilder v;
    v.ym(0, 0x22, 0x0A);

    PatchRecord a = instrument(0x21);
    setInstrument(v, 0, a);
    v.frequency(0, 4, 0x284).keyOn(0, 0xF0).wait(300).keyOff(0);
    PatchRecord aLoud = a;
    for (auto& op : aLoud.op) op.tl = static_cast<uint8_t>(op.tl - 8);
    setInstrument(v, 4, aLoud);
    v.frequency(4, 3, 0x2A0).keyOn(4, 0xF0).wait(200).keyOff(4);

    PatchRecord b = instrument(0x93);
    setInstrument(v, 2, b);
    v.ym(0, 0x27, 0x45);
    v.ym(0, 0xAD, 0x22).ym(0, 0xA9, 0x10);   // S1's own frequency: entry 0
    v.ym(1, 0xAC, 0x1A).ym(1, 0xA8, 0x20);   // entry 1, written on port 1
    v.ym(0, 0xAE, 0x13).ym(0, 0xAA, 0x30);   // entry 2
    v.frequency(2, 5, 0x123).keyOn(2, 0xF0).wait(100).keyOff(2);

    PatchRecord c = instrument(0x4C);
    setInstrument(v, 5, c);
    v.frequency(5, 2, 0x300).keyOn(5, 0x10).wait(100).keyOff(5);
    v.end();
    t.vgm = v.bytes();

    a.lfo = b.lfo = c.lfo = 0x0A;
    a.keyMask = b.keyMask = 0xF0;
    c.keyMask = 0x10;
    for (size_t k = 0; k < 4; ++k) a.op[k].tl = aLoud.op[k].tl;
    b.ch3Mode = 0x40;
    b.ch3Freq = {0x2210, 0x1A20, 0x1330, static_cast<uint16_t>(5 << 11 | 0x123)};
    t.expected = {a, b, c};
    return t;
}

std::vector<uint8_t> image(const PatchRecord& r, int type) {
    std::array<uint8_t, kMaxInstrumentSize> b{};
    writeInstrument(r, type, b.data());
    return std::vector<uint8_t>(b.begin(), b.begin() + instrumentTypeSize(type));
}

// A run whose messages and files stay in memory, with its patch files listed.
struct MemoryRun : TonepickTestRun {
    std::string output() { return text(); }
    std::vector<std::string> patchFiles() const {
        std::vector<std::string> names;
        for (const auto& p : files.creationOrder) {
            if (p.find("patch_") != std::string::npos) names.push_back(p);
        }
        return names;
    }
};

TEST(PatchFilesEndToEnd, EveryFormatFromABuiltTune) {
    const Tune tune = buildTune();
    for (int type = 0; type < kInstrumentTypeCount; ++type) {
        SCOPED_TRACE(instrumentTypeName(type));
        MemoryRun m;
        m.run.settings.formatIndex = type;
        m.run.settings.patchExtension = instrumentTypeName(type);
        ASSERT_EQ(m.convert(tune.vgm), kExitOk) << m.output();
        EXPECT_EQ(m.output().find("Error"), std::string::npos) << m.output();
        const std::string ext = std::string(".") + instrumentTypeName(type);
        ASSERT_EQ(m.patchFiles(), (std::vector<std::string>{joinOutputPath("out", "patch_00" + ext),
                                                            joinOutputPath("out", "patch_01" + ext),
                                                            joinOutputPath("out", "patch_02" + ext)}));
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(hexBytes(m.files.at(m.patchFiles()[i])), hexBytes(image(tune.expected[i], type))) << i;
        }
    }
}

TEST(PatchFilesEndToEnd, TuneWithoutKeyOnWritesNoPatchFile) {
    VgmBuilder v;
    setInstrument(v, 0, instrument(0x11));
    v.frequency(0, 4, 0x284).wait(10).end();
    const auto bytes = v.bytes();
    MemoryRun m;  // into "out" as gems
    ASSERT_EQ(m.convert(bytes), kExitOk);
    EXPECT_TRUE(m.patchFiles().empty());
    EXPECT_TRUE(m.files.has(joinOutputPath("out", "vgm.mid")));
}

// The options as typed: format names in any case, -pext before or after -p.
TEST(PatchFilesEndToEnd, CommandLineChoosesFormatAndExtension) {
    const Tune tune = buildTune();
    TempDir dir;
    const std::string input = dir.file("tune.vgm");
    ASSERT_TRUE(writeWholeFile(input, std::vector<unsigned char>(tune.vgm.begin(), tune.vgm.end())));

    struct Case {
        std::vector<std::string> options;
        const char* extension;
        int type;
    };
    const Case cases[] = {
        {{}, "gems", 0},
        {{"-p", "DMP0"}, "dmp0", 7},
        {{"-p", "SMPS"}, "smps", 8},
        {{"-p", "smps", "-pext", "bin"}, "bin", 8},
        {{"-pext", "ins", "-p", "dmp0"}, "ins", 7},
        {{"-p", "tyi", "-p", "Y12"}, "y12", 4},
        {{"-p", "Dmp"}, "dmp", 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        std::vector<std::string> args = {input, "out"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        MemoryRun m;
        ASSERT_EQ(m.start(args), kExitOk) << m.output();
        const auto files = m.patchFiles();
        ASSERT_EQ(files.size(), 3u);
        for (size_t i = 0; i < 3; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "patch_%02zu.%s", i, c.extension);
            EXPECT_EQ(files[i], joinOutputPath("out", name));
            EXPECT_EQ(hexBytes(m.files.at(files[i])), hexBytes(image(tune.expected[i], c.type)));
        }
    }
}

}  // namespace
