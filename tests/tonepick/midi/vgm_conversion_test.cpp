// Whole conversions of small VGM files built in memory: the vgm.mid and WAV
// files that come out of them, byte by byte.

#include <gtest/gtest.h>

#include <string>

#include "common/byte_order.h"
#include "common/output_files.h"
#include "tests/support/midi_dump.h"
#include "tests/support/tonepick_test_run.h"
#include "builders/vgm_builder.h"
#include "tests/tonepick/midi/expected_midi.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Conversion : ::testing::Test {
    TonepickTestRun test;  // into "out", instruments as gems
    TonepickRun& run = test.run;
    MemoryFileSystem& fs = test.files;
    OutputCapture& printed = test.out;
    int& exitCode = test.exitCode;

    Conversion() {
        // The output directory does not exist before the run.
        fs.requireDirectories = true;
    }
    void convert(const VgmBuilder& v) { test.convert(v.bytes()); }
    static std::string path(const char* name) { return joinOutputPath("out", name); }
    Bytes midi() const { return fs.has(path("vgm.mid")) ? fs.at(path("vgm.mid")) : Bytes{}; }
};

std::vector<Bytes> noEvents() { return std::vector<Bytes>(10); }

uint32_t wavRate(const Bytes& f) { return f.size() >= 44 ? readLe32(&f[24]) : 0; }
Bytes wavData(const Bytes& f) { return f.size() >= 44 ? Bytes(f.begin() + 44, f.end()) : Bytes{}; }

}  // namespace

TEST_F(Conversion, FmNotesWithVibrato) {
    VgmBuilder v;
    v.frequency(0, 4, 644).keyOn(0).wait(100);
    v.frequency(0, 4, 650).wait(50);   // bend 8301
    v.frequency(0, 4, 650).wait(50);   // unchanged: no event in the file
    v.frequency(0, 4, 644).wait(25);   // back to the centre
    v.keyOff(0).wait(25);
    v.keyOn(0).wait(10);               // same bend as the last one sent: none
    v.keyOff(0);
    v.frequency(4, 3, 1083).keyOn(4).wait(40).keyOff(4);  // port 1: note 45 at 260
    v.end();
    convert(v);
    EXPECT_EQ(exitCode, 0);

    auto events = noEvents();
    events[0] = {0x00, 0x90, 0x30, 0x7F, 0x64, 0xE0, 0x6D, 0x40, 0x64, 0xE0, 0x00, 0x40, 0x19, 0x80, 0x30, 0x7F,
                 0x19, 0x90, 0x30, 0x7F, 0x0A, 0x80, 0x30, 0x7F};
    events[4] = {0x82, 0x04, 0x94, 0x2D, 0x7F, 0x28, 0x84, 0x2D, 0x7F};
    EXPECT_EQ(dumpMidiFile(midi()), dumpMidiFile(expected_midi::file(events)));
    EXPECT_EQ(midi(), expected_midi::file(events));
}

TEST_F(Conversion, PsgTonesAndNoise) {
    VgmBuilder v;
    v.psg(0x8E).psg(0x0F).psg(0x90).wait(10);  // channel 0, period 254 (note 57)
    v.psg(0x80).psg(0x0F).wait(10);            // period 240 (note 58): re-struck
    v.psg(0x9F);
    v.psg(0xE4).psg(0xF0).wait(5).psg(0xFF);   // noise value 4 sounds for 5 samples
    v.psg(0xCA).psg(0x1A).psg(0xD0);           // channel 2, period 426 (note 48), never stopped
    v.end();
    convert(v);
    EXPECT_EQ(exitCode, 0);

    auto events = noEvents();
    events[6] = {0x00, 0x9A, 0x39, 0x7F, 0x0A, 0x8A, 0x39, 0x7F, 0x00, 0x9A, 0x3A, 0x7F, 0x0A, 0x8A, 0x3A, 0x7F};
    events[8] = {0x19, 0x9C, 0x30, 0x7F};
    events[9] = {0x14, 0x9D, 0x60, 0x7F, 0x05, 0x8D, 0x60, 0x7F};
    EXPECT_EQ(dumpMidiFile(midi()), dumpMidiFile(expected_midi::file(events)));
}

TEST_F(Conversion, DacStretchFromPcmDataIntoANewDirectory) {
    Bytes pcm;
    for (int i = 0; i < 100; ++i) pcm.push_back(static_cast<uint8_t>(0x80 + i));
    VgmBuilder v;
    v.dataBlock(0x00, pcm).ym(0, 0x2B, 0x80).pcmSeek(0);
    for (int i = 0; i < 100; ++i) v.pcmWrite(1);  // bytes at samples 0..99
    v.ym(0, 0x2B, 0x00).end();
    convert(v);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(printed.text().find("Error"), std::string::npos) << printed.text();

    ASSERT_TRUE(fs.has(path("sample_000.wav")));
    const Bytes& wav = fs.at(path("sample_000.wav"));
    ASSERT_EQ(wav.size(), 144u);
    EXPECT_EQ(readLe32(&wav[4]), 136u);
    EXPECT_EQ(readLe32(&wav[40]), 100u);
    EXPECT_EQ(wavRate(wav), 44545u);
    EXPECT_EQ(wavData(wav), pcm);
    // Once, before the sample: the driver does not make it again after the walk.
    EXPECT_EQ(fs.createdDirectories, (std::vector<std::string>{"out"}));
    // The DAC is not rendered into the MIDI file.
    EXPECT_EQ(midi(), expected_midi::file(noEvents()));
}

TEST_F(Conversion, CaptureOpenAtTheEndIsTheLastSample) {
    VgmBuilder v;
    v.ym(0, 0x2B, 0x80).ym(0, 0x2A, 0x01).wait(2).ym(0, 0x2B, 0x00);  // sample_000
    v.ym(1, 0x2B, 0x80);  // the port does not matter for the DAC registers
    v.ym(0, 0x2A, 0x10).wait(3).ym(0, 0x2A, 0x20).wait(3).ym(1, 0x2A, 0x30).wait(100).end();
    convert(v);
    EXPECT_EQ(exitCode, 0);
    ASSERT_TRUE(fs.has(path("sample_001.wav")));
    const Bytes& wav = fs.at(path("sample_001.wav"));
    EXPECT_EQ(wavRate(wav), 22050u);  // 3 bytes over 6 samples
    EXPECT_EQ(wavData(wav), (Bytes{0x10, 0x20, 0x30}));
    // Written after the walk's directory creation and before vgm.mid.
    ASSERT_GE(fs.creationOrder.size(), 3u);
    EXPECT_EQ(fs.creationOrder[0], path("sample_000.wav"));
    EXPECT_EQ(fs.creationOrder[1], path("sample_001.wav"));
    EXPECT_EQ(fs.creationOrder[2], path("vgm.mid"));
    EXPECT_EQ(fs.createdDirectories, (std::vector<std::string>{"out"}));
}

TEST_F(Conversion, InvalidCommandStillWritesTheOpenCapture) {
    VgmBuilder v;
    v.ym(0, 0x2B, 0x80).ym(0, 0x2A, 0x55).wait(1).ym(0, 0x2A, 0x66).raw({0x60});
    convert(v);
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(printed.text().find("Error: invalid command\n"), std::string::npos);
    ASSERT_TRUE(fs.has(path("sample_000.wav")));
    EXPECT_EQ(wavRate(fs.at(path("sample_000.wav"))), 88200u);
    EXPECT_TRUE(fs.has(path("vgm.mid")));
}

TEST_F(Conversion, UnexpectedEndWritesTheOpenCaptureAndVgmMid) {
    VgmBuilder v;
    v.ym(0, 0x2B, 0x80).ym(0, 0x2A, 0x55).wait(1).ym(0, 0x2A, 0x66);  // no end command
    convert(v);
    EXPECT_EQ(exitCode, 2);
    EXPECT_NE(printed.text().find("Error: unexpected end of vgm\n"), std::string::npos);
    ASSERT_TRUE(fs.has(path("sample_000.wav")));
    EXPECT_EQ(wavRate(fs.at(path("sample_000.wav"))), 88200u);
    EXPECT_TRUE(fs.has(path("vgm.mid")));
}

TEST_F(Conversion, UnexpectedEndKeepsSamplesWrittenDuringTheWalk) {
    VgmBuilder v;
    v.ym(0, 0x2B, 0x80).ym(0, 0x2A, 0x55).ym(0, 0x2B, 0x00);
    v.ym(0, 0x2B, 0x80).ym(0, 0x2A, 0x56);  // open when the file ends
    convert(v);
    EXPECT_EQ(exitCode, 2);
    EXPECT_EQ(fs.creationOrder,
              (std::vector<std::string>{path("sample_000.wav"), path("sample_001.wav"), path("vgm.mid")}));
    EXPECT_EQ(wavData(fs.at(path("sample_000.wav"))), Bytes{0x55});
    EXPECT_EQ(wavData(fs.at(path("sample_001.wav"))), Bytes{0x56});
    EXPECT_EQ(fs.createdDirectories, std::vector<std::string>{"out"});
}
