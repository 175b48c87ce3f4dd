// tonepick's vgm.mid and WAV files read back by readers nobody here wrote:
// mido (strict) and Python's wave module. The expected counts come from the
// inputs: a tune built here note by note, and the score of the demo tune.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "examples/demo_tune.h"
#include "tests/readers/reader_support.h"
#include "tests/support/process_runner.h"
#include "builders/vgm_builder.h"

namespace {

constexpr int kFmTracks = 6;
constexpr int kPsgTracks = 4;
constexpr int kFirstFmTrack = 1;   // track 0 holds the tempo
constexpr int kFirstPsgTrack = 7;
constexpr long kTempo = 500000;    // with 22050 ticks per quarter: one tick per 44100 Hz sample
constexpr int kDivision = 22050;

#define SKIP_WITHOUT_READERS()                                   \
    do {                                                         \
        const std::string why = readersMissing();                \
        if (!why.empty()) GTEST_SKIP() << "skipped: " << why;    \
    } while (0)

// Truncated rate of n bytes spread evenly over `span` samples; 44100 when the
// span is 0 (all bytes at one time).
long expectedRate(size_t n, uint32_t span) {
    if (span == 0) return 44100;
    return static_cast<long>(static_cast<double>(n) * 44100.0 / span);
}

void expectLayoutOfVgmMid(const MidiSummary& m) {
    EXPECT_EQ(m.type, 1);
    EXPECT_EQ(m.division, kDivision);
    ASSERT_EQ(m.tracks.size(), 1u + kFmTracks + kPsgTracks);
    EXPECT_EQ(m.tracks[0].tempo, kTempo);
    for (int i = 0; i < kFmTracks; ++i) {
        const MidiTrackSummary& t = m.tracks[kFirstFmTrack + i];
        EXPECT_EQ(t.name, "YM2612 0" + std::to_string(i));
        EXPECT_EQ(t.channels, std::vector<int>{i}) << t.name;
    }
    for (int j = 0; j < kPsgTracks; ++j) {
        const MidiTrackSummary& t = m.tracks[kFirstPsgTrack + j];
        EXPECT_EQ(t.name, "PSG 0" + std::to_string(j));
        EXPECT_EQ(t.bends, 0) << t.name;
        // The bend-range block goes to channel 6 + j, the notes to 10 + j.
        const std::vector<int> silent{6 + j};
        const std::vector<int> playing{6 + j, 10 + j};
        EXPECT_EQ(t.channels, t.on > 0 ? playing : silent) << t.name;
    }
}

// A tune whose every note, bend and sample is known, including a gap longer
// than a four-byte MIDI delta and a sample still streaming at the end.
struct BuiltTune {
    VgmBuilder v{0x150};
    uint32_t now = 0;
    void waitUntil(uint32_t t) {
        v.wait(t - now);
        now = t;
    }
};

constexpr uint32_t kLongGap = (1u << 28) + 5000;  // more than 0x0FFFFFFF ticks

TEST(TonepickReaders, BuiltTuneMidiAndWavFiles) {
    SKIP_WITHOUT_READERS();
    BuiltTune b;
    VgmBuilder& v = b.v;
    // FM channel 0: C4 exactly (no bend), then a note 19 fnum steps sharp with
    // a vibrato step (two bends), then C4 again (a bend back to the centre).
    b.waitUntil(1000);
    v.frequency(0, 4, 644).keyOn(0);
    b.waitUntil(2000);
    v.frequency(4, 5, 644).keyOn(4);  // FM channel 4 (port 1): C5 exactly
    b.waitUntil(2500);
    v.keyOff(4);
    b.waitUntil(3000);
    v.keyOff(0);
    b.waitUntil(4000);
    v.frequency(0, 4, 663).keyOn(0);
    b.waitUntil(4500);
    v.frequency(0, 4, 670);
    b.waitUntil(6000);
    v.keyOff(0);
    b.waitUntil(7000);
    v.frequency(0, 4, 644).keyOn(0);
    b.waitUntil(8000);
    v.keyOff(0);
    // PSG tone 0: period 254 (note 57), moving to 240 (note 58) while it sounds,
    // which re-strikes the note; then silent.
    v.psg(0x80 | (254 & 0x0F)).psg(254 >> 4).psg(0x90);
    b.waitUntil(8500);
    v.psg(0x80 | (240 & 0x0F)).psg(240 >> 4);
    b.waitUntil(9000);
    v.psg(0x9F);
    // Noise on; it stops only after the long gap below.
    v.psg(0xE4).psg(0xF0);

    // DAC: 100 bytes one sample apart; one byte alone; 50 bytes two samples
    // apart that are still streaming when the file ends.
    const std::vector<size_t> lengths{100, 1, 50};
    const std::vector<uint32_t> spacing{1, 1, 2};
    std::vector<long> sums;
    b.waitUntil(10000);
    for (size_t s = 0; s < lengths.size(); ++s) {
        v.ym(0, 0x2B, 0x80);
        long sum = 0;
        for (size_t i = 0; i < lengths[s]; ++i) {
            const int value = static_cast<int>((s * 50 + i * 3) & 0xFF);
            sum += value;
            v.ym(0, 0x2A, value);
            if (i + 1 < lengths[s]) b.waitUntil(b.now + spacing[s]);
        }
        sums.push_back(sum);
        if (s + 1 < lengths.size()) v.ym(0, 0x2B, 0x00);
        b.waitUntil(b.now + 100);
    }
    b.waitUntil(9000 + kLongGap);
    v.psg(0xFF);
    v.end();

    TempDir dir;
    ASSERT_TRUE(writeWholeFile(dir.file("tune.vgm"), v.bytes()));
    // The output directory does not exist yet: the samples must still be kept.
    const ProcessResult run = runProcess(TONEPICK_EXE, {dir.file("tune.vgm"), dir.file("out")});
    ASSERT_EQ(run.exitCode, 0) << run.output;

    std::string errors;
    const auto midi = readMidiFiles({dir.file("out/vgm.mid")}, errors);
    ASSERT_EQ(errors, "");
    ASSERT_EQ(midi.size(), 1u);
    const MidiSummary& m = midi[0];
    expectLayoutOfVgmMid(m);
    const MidiTrackSummary& fm0 = m.tracks[kFirstFmTrack + 0];
    EXPECT_EQ(fm0.on, 3);
    EXPECT_EQ(fm0.off, 3);
    EXPECT_EQ(fm0.bends, 3);
    EXPECT_EQ(fm0.end, 8000);
    const MidiTrackSummary& fm4 = m.tracks[kFirstFmTrack + 4];
    EXPECT_EQ(fm4.on, 1);
    EXPECT_EQ(fm4.off, 1);
    EXPECT_EQ(fm4.bends, 0);
    EXPECT_EQ(fm4.end, 2500);
    for (int i : {1, 2, 3, 5}) EXPECT_EQ(m.tracks[kFirstFmTrack + i].end, 0) << "FM " << i << " is silent";
    const MidiTrackSummary& tone0 = m.tracks[kFirstPsgTrack + 0];
    EXPECT_EQ(tone0.on, 2);
    EXPECT_EQ(tone0.off, 2);
    EXPECT_EQ(tone0.keys, (std::vector<int>{57, 58}));
    EXPECT_EQ(tone0.end, 9000);
    const MidiTrackSummary& noise = m.tracks[kFirstPsgTrack + 3];
    EXPECT_EQ(noise.on, 1);
    EXPECT_EQ(noise.off, 1);
    EXPECT_EQ(noise.end, 9000 + static_cast<long>(kLongGap)) << "a gap above 2^28 ticks keeps its length";
    EXPECT_NEAR(m.seconds, (9000.0 + kLongGap) / 44100.0, 1e-3);

    const auto wavs = readWavFiles(filesEndingIn(dir.file("out"), ".wav"), errors);
    ASSERT_EQ(errors, "");
    ASSERT_EQ(wavs.size(), lengths.size());
    for (size_t s = 0; s < wavs.size(); ++s) {
        SCOPED_TRACE(wavs[s].path);
        EXPECT_EQ(wavs[s].channels, 1);
        EXPECT_EQ(wavs[s].width, 1);
        EXPECT_EQ(wavs[s].frames, static_cast<long>(lengths[s]));
        EXPECT_EQ(wavs[s].rate, expectedRate(lengths[s], static_cast<uint32_t>((lengths[s] - 1) * spacing[s])));
        EXPECT_EQ(wavs[s].sum, sums[s]);
    }
}

TEST(TonepickReaders, DemoTuneMidiAndWavFiles) {
    SKIP_WITHOUT_READERS();
    TempDir dir;
    const ProcessResult run =
        runProcess(TONEPICK_EXE, {std::string(MDTOOLS_SOURCE_DIR) + "/examples/demo.vgm", dir.file("out")});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const DemoTuneContent score = demoTuneContent();

    std::string errors;
    const auto midi = readMidiFiles({dir.file("out/vgm.mid")}, errors);
    ASSERT_EQ(errors, "");
    ASSERT_EQ(midi.size(), 1u);
    const MidiSummary& m = midi[0];
    expectLayoutOfVgmMid(m);
    for (int i = 0; i < kFmTracks; ++i) {
        const MidiTrackSummary& t = m.tracks[kFirstFmTrack + i];
        EXPECT_EQ(t.on, score.fmNotes[i]) << t.name;
        EXPECT_EQ(t.off, score.fmNotes[i]) << t.name;
        EXPECT_EQ(t.end, score.fmNotes[i] > 0 ? static_cast<long>(score.endTime) : 0) << t.name;
    }
    for (int j = 0; j < kPsgTracks; ++j) {
        const MidiTrackSummary& t = m.tracks[kFirstPsgTrack + j];
        EXPECT_EQ(t.on, score.psgNotes[j]) << t.name;
        EXPECT_EQ(t.off, score.psgNotes[j]) << t.name;
        EXPECT_EQ(t.end, score.psgNotes[j] > 0 ? static_cast<long>(score.endTime) : 0) << t.name;
    }
    EXPECT_NEAR(m.seconds, score.endTime / 44100.0, 1e-3);

    const auto wavs = readWavFiles(filesEndingIn(dir.file("out"), ".wav"), errors);
    ASSERT_EQ(errors, "");
    ASSERT_EQ(wavs.size(), score.samples.size());
    for (size_t s = 0; s < wavs.size(); ++s) {
        SCOPED_TRACE(wavs[s].path);
        const size_t n = score.samples[s];
        EXPECT_EQ(wavs[s].channels, 1);
        EXPECT_EQ(wavs[s].width, 1);
        EXPECT_EQ(wavs[s].frames, static_cast<long>(n));
        EXPECT_EQ(wavs[s].rate, expectedRate(n, score.sampleSpans[s]));
    }
}

}  // namespace
