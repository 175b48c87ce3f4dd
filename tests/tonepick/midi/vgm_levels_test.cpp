// vgm.mid with the chips' levels (-m levels): the value scale, then whole
// conversions of small VGM files, byte by byte.

#include <gtest/gtest.h>

#include <string>

#include "builders/vgm_builder.h"
#include "common/output_files.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/midi_dump.h"
#include "tests/support/output_capture.h"
#include "tests/tonepick/midi/expected_midi.h"
#include "tonepick/midi/level_controllers.h"
#include "tonepick/tonepick_driver.h"
#include "tonepick/tonepick_run.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct LevelConversion : ::testing::Test {
    MemoryFileSystem fs;
    OutputCapture printed;
    TonepickRun run;

    LevelConversion() {
        run.out = printed.file();
        run.files = &fs;
        run.settings.outputDir = "out";
        run.settings.patchExtension = "gems";
        run.settings.midiMode = VgmMidiMode::kLevels;
    }
    Bytes convert(const VgmBuilder& v) {
        const Bytes bytes = v.bytes();
        EXPECT_EQ(convertVgmBytes(run, bytes.data(), bytes.size()), 0) << printed.text();
        const std::string path = joinOutputPath("out", "vgm.mid");
        return fs.has(path) ? fs.at(path) : Bytes{};
    }
};

// Compares through the event dumps first, so that a failure names the event.
void expectTracks(const Bytes& actual, const std::vector<Bytes>& events) {
    const Bytes expected = expected_midi::file(events);
    EXPECT_EQ(dumpMidiFile(actual), dumpMidiFile(expected));
    EXPECT_EQ(actual, expected);
}

constexpr int kS4Tl = 0x4C;  // total level of S4, the carrier of algorithms 0-3
constexpr int kPan = 0xB4;

}  // namespace

TEST(LevelScale, VelocitiesAndExpressionFollowTheDecibels) {
    const LevelScale s = makeLevelScale();
    // 0.75 dB per TL step: 0, 0.75, 7.5 and 95.25 dB.
    EXPECT_EQ(fmVelocity(s, 0), 127);
    EXPECT_EQ(fmVelocity(s, 1), 122);
    EXPECT_EQ(fmVelocity(s, 10), 82);
    EXPECT_EQ(fmVelocity(s, 127), 1);
    EXPECT_EQ(fmVelocity(s, kFmNoCarrier), 1);
    // 2 dB per attenuation step: 0, 2 and 30 dB.
    EXPECT_EQ(psgVelocity(s, 0), 127);
    EXPECT_EQ(psgVelocity(s, 1), 113);
    EXPECT_EQ(psgVelocity(s, 15), 23);
    // The value is never raised above full, and only velocities have a floor.
    EXPECT_EQ(midiValueOfAttenuation(-6), 127);
    EXPECT_EQ(midiValueOfAttenuation(200), 0);
    EXPECT_EQ(panOfBits(kPanLeft | kPanRight), 64);
    EXPECT_EQ(panOfBits(kPanLeft), 0);
    EXPECT_EQ(panOfBits(kPanRight), 127);
    EXPECT_EQ(panOfBits(0), 64);
    VgmMidiMode mode = VgmMidiMode::kPlain;
    EXPECT_TRUE(vgmMidiModeByName("Levels", mode));
    EXPECT_EQ(mode, VgmMidiMode::kLevels);
    EXPECT_FALSE(vgmMidiModeByName("level", mode));
    EXPECT_TRUE(vgmMidiModeByName("PLAIN", mode));
    EXPECT_EQ(mode, VgmMidiMode::kPlain);
}

// A TL ramp under one note, then a second note that starts where it ended.
VgmBuilder fadeOut() {
    VgmBuilder v;
    v.ym(0, kPan, 0xC0).ym(0, kS4Tl, 0).frequency(0, 4, 644).keyOn(0).wait(100);
    v.ym(0, kS4Tl, 8).wait(100);                   // 6 dB: 90
    v.ym(0, kS4Tl, 16).wait(100);                  // 12 dB: 64
    v.ym(0, kS4Tl, 16).ym(0, 0x40, 0).wait(100);  // unchanged, and a modulator: nothing
    v.keyOff(0).ym(0, kS4Tl, 30).ym(0, kS4Tl, 16).wait(10);  // silent: nothing
    v.keyOn(0).wait(10).keyOff(0).end();
    return v;
}

TEST_F(LevelConversion, FadeOutBecomesExpressionAndTheNextNoteResetsIt) {
    std::vector<Bytes> events(10);
    events[0] = {0x00, 0xB0, 0x0A, 0x40, 0x00, 0x90, 0x30, 0x7F,  // pan centre at the first note
                 0x64, 0xB0, 0x0B, 0x5A, 0x64, 0xB0, 0x0B, 0x40,  // expression 90, 64
                 0x81, 0x48, 0x80, 0x30, 0x7F,                     // key-off at 400
                 0x0A, 0xB0, 0x0B, 0x7F, 0x00, 0x90, 0x30, 0x40,  // reset, velocity of TL 16
                 0x0A, 0x80, 0x30, 0x7F};
    expectTracks(convert(fadeOut()), events);
}

TEST_F(LevelConversion, PlainModeIgnoresTheLevels) {
    run.settings.midiMode = VgmMidiMode::kPlain;
    std::vector<Bytes> events(10);
    events[0] = {0x00, 0x90, 0x30, 0x7F, 0x83, 0x10, 0x80, 0x30, 0x7F,
                 0x0A, 0x90, 0x30, 0x7F, 0x0A, 0x80, 0x30, 0x7F};
    expectTracks(convert(fadeOut()), events);
}

TEST_F(LevelConversion, PanFollowsTheLrBitsBetweenNotes) {
    VgmBuilder v;
    v.ym(0, kS4Tl + 1, 0).frequency(1, 4, 644);
    const int lr[5] = {0x80, 0x40, 0xC0, 0x00, 0xC0};  // left, right, both, neither, both
    for (int bits : lr) {
        v.ym(0, kPan + 1, bits).keyOn(1).wait(10);
        v.ym(0, kPan + 1, 0x40 ^ bits).wait(0);  // a change while sounding waits for the next note
        v.keyOff(1).wait(10);
    }
    v.end();
    std::vector<Bytes> events(10);
    events[1] = {0x00, 0xB1, 0x0A, 0x00, 0x00, 0x91, 0x30, 0x7F, 0x0A, 0x81, 0x30, 0x7F,
                 0x0A, 0xB1, 0x0A, 0x7F, 0x00, 0x91, 0x30, 0x7F, 0x0A, 0x81, 0x30, 0x7F,
                 0x0A, 0xB1, 0x0A, 0x40, 0x00, 0x91, 0x30, 0x7F, 0x0A, 0x81, 0x30, 0x7F,
                 0x0A, 0x91, 0x30, 0x01, 0x0A, 0x81, 0x30, 0x7F,   // silent: centre, velocity 1
                 0x0A, 0x91, 0x30, 0x7F, 0x0A, 0x81, 0x30, 0x7F};
    expectTracks(convert(v), events);
}

TEST_F(LevelConversion, KeyOnWithoutACarrierKeyedHasVelocityOne) {
    VgmBuilder v;
    v.ym(0, kPan + 2, 0xC0).frequency(2, 4, 644);
    v.keyOn(2, 0x70).wait(10);  // S1..S3 of algorithm 0: modulators only
    v.keyOn(2, 0xF0).wait(10);  // S4 joins while sounding: as loud as the note-on or louder
    v.keyOff(2).end();
    std::vector<Bytes> events(10);
    events[2] = {0x00, 0xB2, 0x0A, 0x40, 0x00, 0x92, 0x30, 0x01, 0x14, 0x82, 0x30, 0x7F};
    expectTracks(convert(v), events);
}

TEST_F(LevelConversion, PsgVolumeEnvelope) {
    VgmBuilder v;
    v.psg(0x8E).psg(0x0F).psg(0x90).wait(10);  // period 254, note 57, attenuation 0
    v.psg(0x92).wait(10);                      // 4 dB: 101
    v.psg(0x94).wait(10);                      // 8 dB: 80
    v.psg(0x80).psg(0x0F).wait(10);            // period 240, note 58: re-struck at 80
    v.psg(0x9F).wait(10);                      // silent: key-off
    v.psg(0x93).wait(10);                      // on at 6 dB: 90
    v.psg(0x95).end();                         // 4 dB softer, still sounding at the end
    std::vector<Bytes> events(10);
    events[6] = {0x00, 0x9A, 0x39, 0x7F, 0x0A, 0xBA, 0x0B, 0x65, 0x0A, 0xBA, 0x0B, 0x50,
                 0x0A, 0x8A, 0x39, 0x7F, 0x00, 0xBA, 0x0B, 0x7F, 0x00, 0x9A, 0x3A, 0x50,
                 0x0A, 0x8A, 0x3A, 0x7F, 0x0A, 0x9A, 0x3A, 0x5A, 0x0A, 0xBA, 0x0B, 0x65};
    expectTracks(convert(v), events);
}

TEST_F(LevelConversion, LongLevelListsComeBackInOrderFromTheTemporaryFile) {
    constexpr int kChanges = 40000;  // more than a list keeps in memory
    VgmBuilder v;
    v.psg(0xA0).psg(0x10).psg(0xB0);  // channel 1, period 256, attenuation 0
    for (int k = 0; k < kChanges; ++k) v.wait(1).psg(k % 2 == 0 ? 0xB1 : 0xB3);
    v.wait(1).psg(0xBF).end();
    const Bytes midi = convert(v);
    EXPECT_FALSE(run.levelEvents.blocks[kFirstPsgList + 1].empty());

    std::vector<Bytes> events(10);
    Bytes& track = events[7];
    track = {0x00, 0x9B, 0x39, 0x7F};
    for (int k = 0; k < kChanges; ++k) {
        const uint8_t expression = k % 2 == 0 ? 113 : 90;  // 2 dB, 6 dB
        track.insert(track.end(), {0x01, 0xBB, 0x0B, expression});
    }
    track.insert(track.end(), {0x01, 0x8B, 0x39, 0x7F});
    EXPECT_EQ(midi, expected_midi::file(events));
}
