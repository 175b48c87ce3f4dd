// NNN.sf2 played by a real SoundFont player (fluidsynth): a song's DAC track
// alone, moved to MIDI channel 0 (where bank 0, preset 0 plays), rendered
// with the song's SoundFont must sound within 30 ms of at least 90 % of its
// notes, for a generated bank with every kind of sample and for the real
// Spinball banks.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "builders/gems_bank_builder.h"
#include "common/byte_order.h"
#include "tests/readers/reader_support.h"
#include "tests/support/process_runner.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kRenderRate = 44100;
constexpr double kOnsetWindow = 0.030;  // seconds
constexpr int kAudible = 64;            // of 32767, about -54 dB
constexpr double kNotesHeard = 0.9;

uint32_t readVarLen(const Bytes& m, size_t& i) {
    uint32_t v = 0;
    while (i < m.size() && (m[i] & 0x80)) v = (v << 7) | (m[i++] & 0x7F);
    return i < m.size() ? (v << 7) | m[i++] : v;
}

struct DacTracks {
    Bytes midi;                   // the conductor track and the DAC tracks, on channel 0
    std::vector<double> onsets;   // seconds of their note-ons
};

// Keeps the first track (the tempo map) and the tracks named "...(DAC)",
// their channel messages moved to channel 0.
DacTracks dacTracksOnChannel0(const Bytes& m) {
    DacTracks out;
    const auto division = static_cast<uint16_t>(m[12] << 8 | m[13]);
    std::vector<Bytes> kept;
    std::vector<std::pair<uint64_t, uint32_t>> tempos;  // tick, microseconds per quarter note
    std::vector<uint64_t> noteTicks;
    size_t at = 14;
    for (int track = 0; at + 8 <= m.size(); ++track) {
        const size_t size = readBe32(&m[at + 4]);
        Bytes chunk(m.begin() + static_cast<long>(at), m.begin() + static_cast<long>(std::min(m.size(), at + 8 + size)));
        at += 8 + size;
        bool dac = false;
        std::vector<uint64_t> notes;
        uint64_t tick = 0;
        uint8_t status = 0;
        for (size_t i = 8; i < chunk.size();) {
            tick += readVarLen(chunk, i);
            if (i >= chunk.size()) break;
            if (chunk[i] & 0x80) status = chunk[i++];
            if (status == 0xFF) {
                const uint8_t type = chunk[i++];
                const uint32_t n = readVarLen(chunk, i);
                const std::string text(chunk.begin() + static_cast<long>(i), chunk.begin() + static_cast<long>(i + n));
                if (type == 0x03 && text.find("(DAC)") != std::string::npos) dac = true;
                if (type == 0x51 && n == 3) tempos.emplace_back(tick, chunk[i] << 16 | chunk[i + 1] << 8 | chunk[i + 2]);
                i += n;
                continue;
            }
            if (status == 0xF0 || status == 0xF7) {
                i += readVarLen(chunk, i);
                continue;
            }
            if (chunk[i - 1] == status) chunk[i - 1] = status & 0xF0;  // channel 0
            const bool oneByte = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0;
            if ((status & 0xF0) == 0x90 && chunk[i + 1] > 0) notes.push_back(tick);
            i += oneByte ? 1 : 2;
        }
        if (track == 0 || dac) kept.push_back(chunk);
        if (dac) noteTicks.insert(noteTicks.end(), notes.begin(), notes.end());
    }
    out.midi = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, static_cast<uint8_t>(kept.size()),
                static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)};
    for (const Bytes& chunk : kept) out.midi.insert(out.midi.end(), chunk.begin(), chunk.end());
    for (const uint64_t t : noteTicks) {
        double seconds = 0;
        uint64_t from = 0;
        uint32_t tempo = 500000;
        for (const auto& [tick, value] : tempos) {
            if (tick > t) break;
            seconds += static_cast<double>(tick - from) * tempo / 1e6 / division;
            from = tick;
            tempo = value;
        }
        out.onsets.push_back(seconds + static_cast<double>(t - from) * tempo / 1e6 / division);
    }
    return out;
}

// Renders each song with a DAC track in `outDir` with its NNN.sf2; returns
// the number of songs rendered.
int expectDacNotesSound(const std::string& fluidsynth, const fs::path& outDir, const TempDir& scratch) {
    int rendered = 0;
    for (const std::string& sf2 : filesEndingIn(outDir.string(), ".sf2")) {
        const std::string song = fs::path(sf2).stem().string();
        SCOPED_TRACE(song);
        const DacTracks dac = dacTracksOnChannel0(readWholeFile((outDir / (song + ".mid")).string()));
        if (dac.onsets.empty()) continue;
        writeWholeFile(scratch.file("dac.mid"), dac.midi);
        const ProcessResult play =
            runProcess(fluidsynth, {"-ni", "-g", "1", "-r", std::to_string(kRenderRate), "-T", "wav", "-F",
                                    scratch.file("render.wav"), sf2, scratch.file("dac.mid")});
        EXPECT_EQ(play.exitCode, 0) << play.output;
        int channels = 0;
        const std::vector<int> peaks = wavFramePeaks(readWholeFile(scratch.file("render.wav")), channels);
        EXPECT_GT(channels, 0);
        size_t heard = 0;
        for (const double seconds : dac.onsets) {
            const auto first = static_cast<size_t>(std::floor(seconds * kRenderRate));
            const auto last = static_cast<size_t>(std::ceil((seconds + kOnsetWindow) * kRenderRate));
            bool sound = false;
            for (size_t f = first; f < last && f < peaks.size() && !sound; ++f) sound = peaks[f] >= kAudible;
            heard += sound ? 1 : 0;
        }
        EXPECT_GE(static_cast<double>(heard), kNotesHeard * static_cast<double>(dac.onsets.size()))
            << heard << " of " << dac.onsets.size() << " DAC notes sound";
        std::printf("%s: %zu of %zu DAC notes sound\n", song.c_str(), heard, dac.onsets.size());
        ++rendered;
    }
    return rendered;
}

// A sample bank of whole samples: the header table, then each sample's data.
Bytes sampleBank(const std::vector<std::pair<uint8_t, Bytes>>& samples, uint16_t loop) {
    Bytes bank(12 * samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        uint8_t* h = &bank[12 * i];
        const auto offset = static_cast<uint32_t>(bank.size());
        h[0] = samples[i].first;
        h[1] = offset & 0xFF, h[2] = (offset >> 8) & 0xFF, h[3] = (offset >> 16) & 0xFF;
        writeLe16(h + 6, static_cast<uint16_t>(samples[i].second.size()));
        writeLe16(h + 8, loop);
        bank.insert(bank.end(), samples[i].second.begin(), samples[i].second.end());
    }
    return bank;
}

Bytes square(size_t bytes, size_t period, uint8_t low, uint8_t high) {
    Bytes data(bytes);
    for (size_t i = 0; i < bytes; ++i) data[i] = (i / (period / 2)) % 2 ? low : high;
    return data;
}

TEST(SeqconvSf2Render, GeneratedBankDacNotesSound) {
    const std::string fluidsynth = fluidsynthPath();
    if (fluidsynth.empty()) GTEST_SKIP() << "skipped: fluidsynth not found (apt-get install fluidsynth)";
    TempDir dir;
    // Samples: a one-shot at code 5, a looping one at code 3, one cut at
    // note-off, and a 4-bit packed one-shot.
    const Bytes samples = sampleBank({{0x05, square(1500, 24, 0x20, 0xE0)},
                                      {0x13, square(600, 16, 0x40, 0xC0)},
                                      {0x25, square(900, 30, 0x30, 0xD0)},
                                      {0x85, square(500, 20, 0x11, 0xEE)}},
                                     200);
    GemsInstrumentBankBuilder ins;
    const int dac = ins.patch(1, {4});
    const int slowDac = ins.patch(1, {7});  // plays every sample at code 7
    const int fm = ins.patch(0, {});
    GemsBankBuilder seq;
    GemsSongBuilder& song = seq.song();
    song.channel().patch(fm).duration(12).note(60).delay(12).note(64).delay(12).eos();
    GemsChannelBuilder& drums = song.channel().patch(dac).duration(3);
    for (int bar = 0; bar < 6; ++bar) {
        for (const int note : {48, 49, 50, 51}) drums.note(note).delay(6);
        drums.patch(slowDac).note(48).delay(6).patch(dac);
    }
    drums.eos();
    writeWholeFile(dir.file("seq.bin"), seq.bytes());
    writeWholeFile(dir.file("ins.bin"), ins.bytes());
    writeWholeFile(dir.file("samples.bin"), samples);
    const ProcessResult run = runProcess(SEQCONV_EXE, {dir.file("seq.bin"), dir.file("ins.bin"), dir.file("out"),
                                                       "-d", dir.file("samples.bin")});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(expectDacNotesSound(fluidsynth, dir.file("out"), dir), 1);
}

TEST(SeqconvSf2Render, SpinballDacNotesSound) {
    const std::string fluidsynth = fluidsynthPath();
    if (fluidsynth.empty()) GTEST_SKIP() << "skipped: fluidsynth not found (apt-get install fluidsynth)";
    const fs::path corpus = fs::path(MDTOOLS_SHARED_DIR) / "corpus/gems";
    if (!fs::is_regular_file(corpus / "spinball_sample_bank.bin"))
        GTEST_SKIP() << "skipped: no GEMS corpus at " << corpus.string();
    TempDir dir;
    const ProcessResult run =
        runProcess(SEQCONV_EXE, {(corpus / "spinball_sequence_bank.bin").string(),
                                 (corpus / "spinball_patch_bank.bin").string(), dir.file("out"), "-d",
                                 (corpus / "spinball_sample_bank.bin").string()});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_GT(expectDacNotesSound(fluidsynth, dir.file("out"), dir), 0);
}

}  // namespace
