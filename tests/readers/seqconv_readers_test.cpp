// seqconv's song MIDI files read back by mido (strict about data bytes). The
// expected tracks, notes and end times are worked out here from the inputs:
// the score of the GEMS demo bank, and small banks built note by note.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "examples/demo_bank.h"
#include "tests/readers/reader_support.h"
#include "builders/gems_bank_builder.h"
#include "tests/support/process_runner.h"

namespace {

constexpr int kDivision = 24;
constexpr int kFirstDacNote = 48;
constexpr double kMicrosecondsPerMinute = 60000000.0;

#define SKIP_WITHOUT_READERS()                                   \
    do {                                                         \
        const std::string why = readersMissing();                \
        if (!why.empty()) GTEST_SKIP() << "skipped: " << why;    \
    } while (0)

const char* typeName(uint8_t type) {
    switch (type) {
        case kGemsPatchFm: return "FM";
        case kGemsPatchDac: return "DAC";
        case kGemsPatchPsg: return "PSG";
        default: return "NOISE";
    }
}

std::string trackName(int patch, uint8_t type) {
    char text[32];
    std::snprintf(text, sizeof text, "Patch %02X(%s)", patch, typeName(type));
    return text;
}

// One event of a part at its absolute time.
struct Timed {
    int64_t time;
    int64_t length;
    int key;  // -1: pitch change
};

struct Loop {
    int64_t start;
    int64_t length;
};

// The events of a part as the interpreter produces them: with `endTime` 0
// (first pass) every infinite loop is played once, else it repeats while a
// repetition starts before `endTime`. Infinite loops seen are added to `loops`.
std::vector<Timed> expand(const DemoPart& part, int64_t endTime, std::vector<Loop>* loops) {
    std::vector<Timed> events;
    int64_t t = 0;
    for (const DemoSegment& s : part.segments) {
        int64_t runs = s.repeat;
        if (s.repeat == kDemoForever) {
            if (loops != nullptr) loops->push_back({t, s.length});
            runs = endTime == 0 ? 1 : std::max<int64_t>(1, (endTime - t + s.length - 1) / s.length);
        }
        for (int64_t k = 0; k < runs; ++k, t += s.length)
            for (const DemoEvent& e : s.events) events.push_back({t + e.time, e.length, e.key});
    }
    return events;
}

// The parts heard in output song `song`, in track order: its own channels,
// then (flag s) those of the songs its channels start, which start at 0 here.
std::vector<DemoPart> partsOfSong(int song, bool playOthers) {
    const std::vector<DemoPart> all = demoBankParts();
    std::vector<int> songs{song};
    for (size_t i = 0; i < songs.size() && playOthers; ++i)
        for (const DemoPart& p : all)
            if (p.song == songs[i] && p.startsSong >= 0 &&
                std::find(songs.begin(), songs.end(), p.startsSong) == songs.end())
                songs.push_back(p.startsSong);
    std::sort(songs.begin(), songs.end());
    std::vector<DemoPart> parts;
    for (int s : songs)
        for (const DemoPart& p : all)
            if (p.song == s) parts.push_back(p);
    return parts;
}

struct SongExpectation {
    std::vector<Loop> loops;
    int64_t lastEventTime = 0;
    int tempo = 0;  // beats per minute of the last tempo command interpreted
};

SongExpectation firstPass(const std::vector<DemoPart>& parts) {
    SongExpectation e;
    for (const DemoPart& p : parts) {
        if (p.tempo != 0) e.tempo = p.tempo;
        for (const Timed& t : expand(p, 0, &e.loops))
            e.lastEventTime = std::max(e.lastEventTime, t.time + (t.key < 0 ? 0 : t.length));
    }
    return e;
}

void checkDemoSong(const MidiSummary& m, int song, bool playOthers, bool alignLoops, bool palTempo) {
    SCOPED_TRACE(m.path);
    const std::vector<DemoPart> parts = partsOfSong(song, playOthers);
    const SongExpectation first = firstPass(parts);
    EXPECT_EQ(m.type, 1);
    EXPECT_EQ(m.division, kDivision);
    ASSERT_EQ(m.tracks.size(), parts.size() + 1);

    const MidiTrackSummary& conductor = m.tracks[0];
    const double scale = palTempo ? 1.2 : 1.0;
    EXPECT_EQ(conductor.tempo, static_cast<long>(kMicrosecondsPerMinute * scale / first.tempo));
    int64_t endTime = first.lastEventTime;
    if (alignLoops && !first.loops.empty()) {
        // The end time is where every infinite loop is back at its start, at
        // or after the last event of the first run, within one common period.
        long end = -1;
        ASSERT_EQ(std::sscanf(conductor.markers.c_str(), "loop start@%*d|loop end@%ld", &end), 1)
            << conductor.markers;
        endTime = end;
        int64_t loopStart = first.loops[0].start;
        int64_t period = 1;
        for (const Loop& l : first.loops) {
            EXPECT_EQ((endTime - l.start) % l.length, 0) << "loop of " << l.length << " from " << l.start;
            loopStart = std::min(loopStart, l.start);
            period = std::lcm(period, l.length);
        }
        EXPECT_GE(endTime, first.lastEventTime);
        EXPECT_LT(endTime, first.lastEventTime + period);
        EXPECT_EQ(conductor.markers, "loop start@" + std::to_string(loopStart) + "|loop end@" +
                                         std::to_string(endTime));
    } else {
        EXPECT_EQ(conductor.markers, "end@" + std::to_string(endTime));
    }
    EXPECT_EQ(conductor.end, endTime);
    EXPECT_NEAR(m.seconds, static_cast<double>(endTime) / kDivision * conductor.tempo / 1e6, 1e-3);

    // Only events before the end time are written; every track ends there.
    std::map<int, int> dacNotes;  // byte-code key -> MIDI note, in order of first use
    for (size_t i = 0; i < parts.size(); ++i) {
        const DemoPart& p = parts[i];
        const MidiTrackSummary& t = m.tracks[i + 1];
        const uint8_t type = demoPatchType(p.patch);
        EXPECT_EQ(t.name, trackName(p.patch, type));
        EXPECT_EQ(t.channels, std::vector<int>{static_cast<int>(i & 0x0F)}) << t.name;
        int on = 0;
        int off = 0;
        int bends = 0;
        std::vector<int> keys;
        for (const Timed& e : expand(p, endTime, nullptr)) {
            if (e.time >= endTime) continue;
            if (e.key < 0) {
                ++bends;
                continue;
            }
            ++on;
            if (e.time + e.length < endTime) ++off;
            int key = e.key;
            if (type == kGemsPatchDac) {
                const auto known = dacNotes.emplace(e.key, kFirstDacNote + static_cast<int>(dacNotes.size()));
                key = known.first->second;
            }
            keys.push_back(key);
        }
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        EXPECT_EQ(t.on, on) << t.name;
        EXPECT_EQ(t.off, off) << t.name;
        EXPECT_EQ(t.bends, bends) << t.name;
        EXPECT_EQ(t.keys, keys) << t.name;
        EXPECT_EQ(t.end, endTime) << t.name;
    }
}

void runOnDemoBank(const std::string& flags) {
    TempDir dir;
    const std::string examples = std::string(MDTOOLS_SOURCE_DIR) + "/examples/";
    std::vector<std::string> args{examples + "demo_sequences.bin", examples + "demo_instruments.bin", dir.path()};
    if (!flags.empty()) args.push_back(flags);
    const ProcessResult run = runProcess(SEQCONV_EXE, args);
    ASSERT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.output, "");

    std::string errors;
    const auto midi = readMidiFiles(filesEndingIn(dir.path(), ".mid"), errors);
    ASSERT_EQ(errors, "");
    ASSERT_EQ(midi.size(), static_cast<size_t>(kDemoSongCount));
    const auto has = [&](char c) { return flags.find(c) != std::string::npos; };
    for (int song = 0; song < kDemoSongCount; ++song) checkDemoSong(midi[song], song, has('s'), has('c'), has('p'));
}

TEST(SeqconvReaders, DemoBankWithAlignedLoopsAndStartedSongs) {
    SKIP_WITHOUT_READERS();
    runOnDemoBank("cs");
}

TEST(SeqconvReaders, DemoBankPlainAndPal) {
    SKIP_WITHOUT_READERS();
    runOnDemoBank("");
    runOnDemoBank("p");
}

// Banks built here for what the demo does not reach: more than 255 tracks,
// more DAC keys than MIDI notes above 48, loud and extreme values, and a rest
// longer than a four-byte MIDI delta.
TEST(SeqconvReaders, BuiltBanksAtTheLimitsStayValidMidi) {
    SKIP_WITHOUT_READERS();
    GemsInstrumentBankBuilder instruments;
    const int fm = instruments.patch(kGemsPatchFm, {0, 0, 0x07, 0xC0, 0});
    const int dac = instruments.patch(kGemsPatchDac, {0, 0, 0, 0});

    GemsBankBuilder bank;
    // Song 0: 255 channels, each one note of 12 ticks from 0; the end time is
    // the last note-off, which is therefore not written.
    constexpr int kChannels = 255;
    GemsSongBuilder& wide = bank.song();
    for (int k = 0; k < kChannels; ++k) wide.channel().patch(fm).delay(24).duration(12).note(k % 96).eos();
    // Song 1: 90 distinct DAC keys one tick apart at volume 200, then pitch
    // changes at both ends of the range on an FM channel.
    constexpr int kDacKeys = 90;
    GemsSongBuilder& loud = bank.song();
    GemsChannelBuilder& drums = loud.channel().patch(dac).volume(200).delay(1).duration(1);
    for (int key = 0; key < kDacKeys; ++key) drums.note(key);
    drums.eos();
    loud.channel().patch(fm).delay(1).pitch(3072).pitch(-3073).duration(2).note(60).eos();
    // Song 2: a rest longer than 2^28 ticks between two notes.
    constexpr int64_t kRest = (int64_t{1} << 28) + 100;
    bank.song().channel().patch(fm).delay(static_cast<uint32_t>(kRest)).duration(10).note(60).note(62).eos();

    TempDir dir;
    ASSERT_TRUE(writeWholeFile(dir.file("seq.bin"), bank.bytes()));
    ASSERT_TRUE(writeWholeFile(dir.file("ins.bin"), instruments.bytes()));
    const ProcessResult run = runProcess(SEQCONV_EXE, {dir.file("seq.bin"), dir.file("ins.bin"), dir.path()});
    ASSERT_EQ(run.exitCode, 0);

    std::string errors;
    const auto midi = readMidiFiles(filesEndingIn(dir.path(), ".mid"), errors);
    ASSERT_EQ(errors, "") << "every data byte must stay below 0x80 and every count must match";
    ASSERT_EQ(midi.size(), 3u);

    const MidiSummary& many = midi[0];
    ASSERT_EQ(many.tracks.size(), static_cast<size_t>(kChannels + 1)) << "the track count needs 16 bits";
    EXPECT_EQ(many.tracks[0].markers, "end@12");
    for (int k = 0; k < kChannels; ++k) {
        const MidiTrackSummary& t = many.tracks[static_cast<size_t>(k) + 1];
        EXPECT_EQ(t.on, 1) << k;
        EXPECT_EQ(t.off, 0) << k;
        EXPECT_EQ(t.end, 12) << k;
        EXPECT_EQ(t.channels, std::vector<int>{k & 0x0F}) << k;
    }

    const MidiSummary& loudSong = midi[1];
    ASSERT_EQ(loudSong.tracks.size(), 3u);
    // End time: the last note-off of the drums at tick 90. Every key from the
    // 80th on is written as note 127; volume 200 gives velocity 0, which a
    // reader takes for a note-off, so only the sum of both counts is fixed.
    const MidiTrackSummary& drumTrack = loudSong.tracks[1];
    EXPECT_EQ(drumTrack.on + drumTrack.off, 2 * kDacKeys - 1);
    EXPECT_EQ(drumTrack.end, kDacKeys);
    const MidiTrackSummary& bendTrack = loudSong.tracks[2];
    EXPECT_EQ(bendTrack.bends, 2);
    EXPECT_EQ(bendTrack.on, 1);
    EXPECT_EQ(bendTrack.keys, std::vector<int>{60});

    const MidiSummary& longRest = midi[2];
    ASSERT_EQ(longRest.tracks.size(), 2u);
    EXPECT_EQ(longRest.tracks[0].markers, "end@" + std::to_string(kRest + 10));
    EXPECT_EQ(longRest.tracks[1].on, 2);
    EXPECT_EQ(longRest.tracks[1].off, 1);
    EXPECT_EQ(longRest.tracks[1].end, kRest + 10);
}

}  // namespace
