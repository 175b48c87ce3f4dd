// The demo's MIDI files played by a real synthesizer (TiMidity++): the audio
// must not be silent, and must last as long as the MIDI file says, plus at
// most the release tail of the last notes.

#include <gtest/gtest.h>

#include <string>

#include "tests/readers/reader_support.h"
#include "tests/support/process_runner.h"

namespace {

constexpr int kNotSilentPeak = 1000;     // of 32767
constexpr double kEarlyTolerance = 0.05;  // seconds the audio may fall short (rounding)
constexpr double kReleaseTail = 4.0;      // seconds the last notes may ring on
constexpr double kQuietEnding = 1.0;      // seconds before the end the audio may already be quiet

#define SKIP_WITHOUT_RENDERER()                                  \
    do {                                                         \
        const std::string why = rendererMissing();               \
        if (!why.empty()) GTEST_SKIP() << "skipped: " << why;    \
    } while (0)

void expectRendersForItsLength(const std::string& midi, const std::string& scratch) {
    SCOPED_TRACE(midi);
    std::string errors;
    const auto summary = readMidiFiles({midi}, errors);
    ASSERT_EQ(errors, "");
    ASSERT_EQ(summary.size(), 1u);
    const double length = summary[0].seconds;
    ASSERT_GT(length, 1.0);

    RenderSummary audio;
    std::string error;
    ASSERT_TRUE(renderMidi(midi, scratch, audio, error)) << error;
    EXPECT_GT(audio.peak, kNotSilentPeak);
    EXPECT_GE(audio.seconds, length - kEarlyTolerance);
    EXPECT_LE(audio.seconds, length + kReleaseTail);
    EXPECT_GE(audio.audibleUntil, length - kQuietEnding);
}

TEST(Render, DemoTuneVgmMid) {
    SKIP_WITHOUT_RENDERER();
    TempDir dir;
    const ProcessResult run =
        runProcess(TONEPICK_EXE, {std::string(MDTOOLS_SOURCE_DIR) + "/examples/demo.vgm", dir.file("out")});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    expectRendersForItsLength(dir.file("out/vgm.mid"), dir.path());
}

TEST(Render, DemoBankThemeWithAlignedLoops) {
    SKIP_WITHOUT_RENDERER();
    TempDir dir;
    const std::string examples = std::string(MDTOOLS_SOURCE_DIR) + "/examples/";
    const ProcessResult run = runProcess(
        SEQCONV_EXE, {examples + "demo_sequences.bin", examples + "demo_instruments.bin", dir.path(), "cs"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    expectRendersForItsLength(dir.file("000.mid"), dir.path());
}

}  // namespace
