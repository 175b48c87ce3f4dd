// kit.sf2 played by a real SoundFont player (fluidsynth): vgm.mid rendered
// with the kit alone must sound within 30 ms of at least 90 % of the drum
// notes, for the demo and corpus logs of several kinds of kit.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "tests/readers/reader_support.h"
#include "tests/support/process_runner.h"

namespace {

constexpr uint32_t kOnsetWindow = 1323;  // 30 ms of 44100 Hz frames: one MIDI tick is one frame
constexpr int kAudible = 64;             // of 32767, about -54 dB
constexpr double kNotesHeard = 0.9;

// Note-on ticks of the drum track: the twelfth track of vgm.mid, channel 10
// (no running status is written).
std::vector<uint64_t> drumOnsets(const std::vector<uint8_t>& midi) {
    size_t at = 14;
    for (int i = 0; i < 11; ++i) at += 8 + readBe32(midi.data() + at + 4);
    const size_t end = at + 8 + readBe32(midi.data() + at + 4);
    std::vector<uint64_t> onsets;
    uint64_t time = 0;
    for (size_t i = at + 8; i < end;) {
        uint64_t delta = 0;
        while (midi[i] & 0x80) delta = (delta << 7) | (midi[i++] & 0x7F);
        delta = (delta << 7) | midi[i++];
        time += delta;
        if (midi[i] == 0xFF) {
            i += 3 + midi[i + 2];
            continue;
        }
        if (midi[i] == 0x99) onsets.push_back(time);
        i += 3;
    }
    return onsets;
}

TEST(KitRender, DrumNotesSoundWithKitSf2) {
    const std::string fluidsynth = fluidsynthPath();
    if (fluidsynth.empty()) GTEST_SKIP() << "skipped: fluidsynth not found (apt-get install fluidsynth)";
    std::vector<std::string> logs{std::string(MDTOOLS_SOURCE_DIR) + "/examples/demo.vgm"};
    // Corpus logs whose kits play PCM reads, DAC streams and many samples
    // (rendering every log with a kit takes minutes).
    const std::filesystem::path corpus = std::filesystem::path(MDTOOLS_SHARED_DIR) / "corpus/vgm";
    for (const char* name : {"sk_staff_roll.vgm", "md2048_main_theme.vgm", "rheobolt_stage1.vgm"}) {
        if (std::filesystem::exists(corpus / name))
            logs.push_back((corpus / name).string());
        else
            std::printf("no corpus log %s: skipped\n", (corpus / name).string().c_str());
    }
    int rendered = 0;
    for (const std::string& log : logs) {
        SCOPED_TRACE(log);
        TempDir dir;
        const ProcessResult run = runProcess(TONEPICK_EXE, {log, dir.file("out"), "-s", "kit"});
        ASSERT_EQ(run.exitCode, 0) << run.output;
        const std::vector<uint64_t> onsets = drumOnsets(readWholeFile(dir.file("out/vgm.mid")));
        if (onsets.empty()) continue;
        const ProcessResult play =
            runProcess(fluidsynth, {"-ni", "-g", "1", "-r", "44100", "-T", "wav", "-F", dir.file("render.wav"),
                                      dir.file("out/kit.sf2"), dir.file("out/vgm.mid")});
        ASSERT_EQ(play.exitCode, 0) << play.output;
        int channels = 0;
        const std::vector<int> peaks = wavFramePeaks(readWholeFile(dir.file("render.wav")), channels);
        ASSERT_GT(channels, 0);
        size_t heard = 0;
        for (const uint64_t t : onsets) {
            bool sound = false;
            for (uint64_t f = t; f < t + kOnsetWindow && f < peaks.size() && !sound; ++f) sound = peaks[f] >= kAudible;
            heard += sound ? 1 : 0;
        }
        EXPECT_GE(static_cast<double>(heard), kNotesHeard * static_cast<double>(onsets.size()))
            << heard << " of " << onsets.size() << " drum notes sound";
        std::printf("%s: %zu of %zu drum notes sound\n", log.c_str(), heard, onsets.size());
        ++rendered;
    }
    EXPECT_GT(rendered, 0);
}

}  // namespace
