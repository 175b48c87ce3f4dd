// -s kit and -i unique in whole conversions: plays and samples of each source
// (PCM reads with seeks, DAC streams, direct writes), the longest-play rule,
// numbering by first play, kit.txt, the drum track's bytes, and instrument
// files without duplicates in every format.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "builders/vgm_builder.h"
#include "common/byte_order.h"
#include "common/output_files.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/midi_dump.h"
#include "tests/support/output_capture.h"
#include "tests/support/tonepick_test_run.h"
#include "tonepick/chips/dac_capture.h"
#include "common/instrument_formats/instrument_formats.h"
#include "tonepick/tonepick_driver.h"
#include "tonepick/tonepick_run.h"

namespace {

struct Kit : TonepickTestRun {
    explicit Kit(const std::vector<uint8_t>& vgm, bool kit = true) {
        run.settings.sampleKit = kit;
        convert(vgm);
    }
    static std::string path(const std::string& name) { return joinOutputPath("out", name); }
    static std::string wav(int n) {
        char name[32];
        std::snprintf(name, sizeof name, "sample_%03d.wav", n);
        return path(name);
    }
    bool has(int n) const { return files.has(wav(n)); }
    std::vector<uint8_t> bytes(int n) const {
        const std::vector<uint8_t>& f = files.at(wav(n));
        return std::vector<uint8_t>(f.begin() + 44, f.end());
    }
    uint32_t rate(int n) const { return readLe32(files.at(wav(n)).data() + 24); }
    std::string listing() const {
        const std::vector<uint8_t>& f = files.at(path("kit.txt"));
        return std::string(f.begin(), f.end());
    }
    // The track data of track `index` of vgm.mid.
    std::vector<uint8_t> track(int index) const {
        const std::vector<uint8_t>& f = files.at(path("vgm.mid"));
        size_t at = 14;
        for (int i = 0; i < index; ++i) at += 8 + readBe32(f.data() + at + 4);
        const uint32_t length = readBe32(f.data() + at + 4);
        return std::vector<uint8_t>(f.begin() + static_cast<long>(at + 8), f.begin() + static_cast<long>(at + 8 + length));
    }
};

std::vector<uint8_t> ramp(size_t n, uint8_t first = 0) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
    return v;
}

std::vector<uint8_t> slice(const std::vector<uint8_t>& v, size_t from, size_t n) {
    return std::vector<uint8_t>(v.begin() + static_cast<long>(from), v.begin() + static_cast<long>(from + n));
}

void dacOn(VgmBuilder& b) { b.ym(0, 0x2B, 0x80); }
void dacOff(VgmBuilder& b) { b.ym(0, 0x2B, 0x00); }

void streamSetup(VgmBuilder& b, uint8_t id, uint8_t step = 1) {
    b.raw({0x90, id, 0x02, 0x00, 0x2A});
    b.raw({0x91, id, 0x00, step, 0x00});
}
void streamFrequency(VgmBuilder& b, uint8_t id, uint32_t hz) {
    b.raw({0x92, id, static_cast<uint8_t>(hz), static_cast<uint8_t>(hz >> 8), static_cast<uint8_t>(hz >> 16), 0});
}
void streamStart(VgmBuilder& b, uint8_t id, uint32_t at, uint8_t mode, uint32_t writes) {
    b.raw({0x93, id, static_cast<uint8_t>(at), static_cast<uint8_t>(at >> 8), 0, 0, mode,
           static_cast<uint8_t>(writes), static_cast<uint8_t>(writes >> 8), 0, 0});
}

TEST(Kit, PcmPlaysWithSeeksAreSamplesWithTheirFurthestByteAndLongestPlaysRate) {
    const std::vector<uint8_t> pcm = ramp(1000);
    VgmBuilder b(0x150);
    b.dataBlock(0x00, pcm);
    dacOn(b);
    // Sample at 100: a short fast play, then a longer slower one reaching further.
    b.pcmSeek(100);
    for (int i = 0; i < 10; ++i) b.pcmWrite(1);
    b.pcmSeek(500);  // sample at 500, one byte
    b.pcmWrite(3);
    b.pcmSeek(100);
    for (int i = 0; i < 40; ++i) b.pcmWrite(4);
    b.pcmSeek(100);
    for (int i = 0; i < 5; ++i) b.pcmWrite(0);
    dacOff(b);
    for (int i = 0; i < 30; ++i) b.pcmWrite(1);  // the DAC is off: no play
    dacOn(b);
    for (int i = 0; i < 3; ++i) b.pcmWrite(2);  // a switch-on starts a play where the reads stand
    b.end();
    Kit k(b.bytes());
    EXPECT_EQ(k.exitCode, 0);
    ASSERT_TRUE(k.has(0) && k.has(1) && k.has(2));
    EXPECT_FALSE(k.has(3));
    EXPECT_EQ(k.bytes(0), slice(pcm, 100, 40));
    EXPECT_EQ(k.rate(0), dacSampleRate(40, 0, 39 * 4));  // of the longest play, 40 bytes 4 samples apart
    EXPECT_EQ(k.bytes(1), slice(pcm, 500, 1));
    EXPECT_EQ(k.rate(1), 44100u);
    EXPECT_EQ(k.bytes(2), slice(pcm, 135, 3));
    EXPECT_EQ(k.listing(),
              "file\tnote\trate\tbytes\tplays\tsource\n"
              "sample_000.wav\t36\t" + std::to_string(k.rate(0)) + "\t40\t3\tblock 0 offset 100\n"
              "sample_001.wav\t37\t44100\t1\t1\tblock 0 offset 500\n"
              "sample_002.wav\t38\t33075\t3\t1\tblock 0 offset 135\n");
    // Stretches are not written in kit mode.
    EXPECT_EQ(k.files.files.count(Kit::wav(3)), 0u);
}

TEST(Kit, PitchedReplaysOfAStreamSampleAreOneSampleAndOneNote) {
    const std::vector<uint8_t> pcm = ramp(600, 5);
    VgmBuilder b(0x160);
    b.dataBlock(0x00, slice(pcm, 0, 200)).dataBlock(0x00, slice(pcm, 200, 400));
    dacOn(b);
    streamSetup(b, 0);
    for (const uint32_t hz : {8000u, 16000u, 4000u}) {
        streamFrequency(b, 0, hz);
        streamStart(b, 0, 250, 0x01, 100);  // block 1, offset 50
        b.wait(2000);
    }
    // The same place with step 2, and in reverse: other samples.
    streamSetup(b, 0, 2);
    streamStart(b, 0, 250, 0x01, 50);
    b.wait(2000);
    streamSetup(b, 0, 1);
    streamStart(b, 0, 250, 0x11, 100);
    b.wait(2000);
    b.end();
    Kit k(b.bytes());
    ASSERT_TRUE(k.has(0) && k.has(1) && k.has(2));
    EXPECT_FALSE(k.has(3));
    EXPECT_EQ(k.bytes(0), slice(pcm, 250, 100));
    EXPECT_EQ(k.rate(0), 8000u);  // the frequency of its first play
    std::vector<uint8_t> stepped;
    for (size_t i = 0; i < 50; ++i) stepped.push_back(pcm[250 + 2 * i]);
    EXPECT_EQ(k.bytes(1), stepped);
    std::vector<uint8_t> reversed = slice(pcm, 250, 100);
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(k.bytes(2), reversed);
    const std::string listing = k.listing();
    EXPECT_NE(listing.find("sample_000.wav\t36\t8000\t100\t3\tblock 1 offset 50\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("sample_001.wav\t37\t4000\t50\t1\tblock 1 offset 50 step 2\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("sample_002.wav\t38\t4000\t100\t1\tblock 1 offset 149 reverse\n"), std::string::npos)
        << listing;
    // Three plays of note 36, then 37 and 38, on the drum channel.
    const std::string track = dumpTrackData(k.track(11));
    EXPECT_NE(track.find("FF 03 03 44 41 43"), std::string::npos) << track;  // named "DAC"
    size_t ons36 = 0;
    for (size_t at = track.find("99 24 7F"); at != std::string::npos; at = track.find("99 24 7F", at + 1)) ++ons36;
    EXPECT_EQ(ons36, 3u) << track;
}

TEST(Kit, DirectStretchesWithIdenticalBytesAreOneSample) {
    VgmBuilder b(0x150);
    const auto stretch = [&](std::vector<int> bytes, int wait) {
        dacOn(b);
        for (int v : bytes) b.ym(0, 0x2A, v).wait(static_cast<uint32_t>(wait));
        dacOff(b);
        b.wait(100);
    };
    stretch({1, 2, 3}, 4);
    stretch({9, 9}, 2);
    stretch({1, 2, 3}, 1);  // same bytes at another speed: the first stretch's rate
    dacOn(b);
    dacOff(b);  // an empty stretch is no play
    b.end();
    Kit k(b.bytes());
    ASSERT_TRUE(k.has(0) && k.has(1));
    EXPECT_FALSE(k.has(2));
    EXPECT_EQ(k.bytes(0), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(k.rate(0), dacSampleRate(3, 0, 8));
    EXPECT_EQ(k.bytes(1), (std::vector<uint8_t>{9, 9}));
    EXPECT_NE(k.listing().find("sample_000.wav\t36\t" + std::to_string(k.rate(0)) + "\t3\t2\tdirect\n"),
              std::string::npos)
        << k.listing();
}

TEST(Kit, SamplesAreNumberedByFirstPlayAndTheDrumTrackEndsOverlappingNotes) {
    // Stream 1 plays the sample at 20 from time 0 to 29; PCM reads play the
    // place 60 at 5..7; stream 2 plays the place 20 again at 10..14, while
    // stream 1's note still sounds.
    VgmBuilder b(0x160);
    b.dataBlock(0x00, ramp(100));
    for (uint8_t id : {1, 2}) {
        streamSetup(b, id);
        streamFrequency(b, id, 44100);
    }
    dacOn(b);
    streamStart(b, 1, 20, 0x01, 30);
    b.wait(5).pcmSeek(60);
    for (int i = 0; i < 3; ++i) b.pcmWrite(1);
    b.wait(2);
    streamStart(b, 2, 20, 0x01, 5);
    b.wait(40);
    dacOff(b);
    b.end();
    Kit k(b.bytes());
    ASSERT_TRUE(k.has(0) && k.has(1));
    EXPECT_FALSE(k.has(2));
    EXPECT_EQ(k.bytes(0), slice(ramp(100), 20, 30));
    EXPECT_EQ(k.bytes(1), slice(ramp(100), 60, 3));
    EXPECT_EQ(dumpTrackData(k.track(11)),
              dumpTrackData({0x00, 0xFF, 0x03, 0x03, 'D', 'A', 'C', 0x00, 0xFF, 0x04, 0x03, 'D', 'A', 'C',
                             0x00, 0x99, 36, 0x7F,  // stream 1 at 0
                             5, 0x99, 37, 0x7F,     // the PCM play at 5
                             3, 0x89, 37, 0x7F,     // its last byte at 7: off at 8
                             2, 0x89, 36, 0x7F,     // stream 2 at 10 ends stream 1's note first...
                             0, 0x99, 36, 0x7F,     // ...and sounds it again
                             5, 0x89, 36, 0x7F,     // its last byte at 14 (stream 1's off at 30 is gone)
                             0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_NE(k.listing().find("sample_000.wav\t36\t44100\t30\t2\tblock 0 offset 20\n"), std::string::npos)
        << k.listing();
    // The header says twelve tracks; without the kit, eleven.
    const auto trackCount = [](const std::vector<uint8_t>& midi) { return midi[10] << 8 | midi[11]; };
    EXPECT_EQ(trackCount(k.files.at(Kit::path("vgm.mid"))), 12);
    Kit plain(b.bytes(), false);
    EXPECT_EQ(trackCount(plain.files.at(Kit::path("vgm.mid"))), 11);
}

TEST(Kit, DirectWritesInAStretchThatPlayedPcmDataAreNoPlay) {
    VgmBuilder b(0x150);
    b.dataBlock(0x00, ramp(50));
    dacOn(b);
    b.pcmSeek(10).pcmWrite(1).pcmWrite(1);
    b.ym(0, 0x2A, 0x80);  // the driver centres the DAC
    dacOff(b);
    b.end();
    Kit k(b.bytes());
    ASSERT_TRUE(k.has(0));
    EXPECT_FALSE(k.has(1));
    EXPECT_EQ(k.bytes(0), slice(ramp(50), 10, 2));
}

TEST(UniqueInstruments, PatchesThatDifferOnlyInWhatAFormatDoesNotStoreAreOneFile) {
    // Three key-ons: the second differs from the first only in its pan bits
    // (register 0xB4), the third in its algorithm.
    VgmBuilder b(0x150);
    b.ym(0, 0x40, 0x10).ym(0, 0xB4, 0xC0).frequency(0, 4, 600).keyOn(0).wait(100).keyOff(0);
    b.ym(0, 0xB4, 0x40).keyOn(0).wait(100).keyOff(0);
    b.ym(0, 0xB0, 0x05).keyOn(0).wait(100).keyOff(0).end();
    const std::vector<uint8_t> vgm = b.bytes();
    std::set<bool> panStoredSeen;
    for (int type = 0; type < kInstrumentTypeCount; ++type) {
        SCOPED_TRACE(instrumentTypeName(type));
        std::vector<uint8_t> all[3];
        for (bool unique : {false, true}) {
            TonepickTestRun t;
            t.run.settings.formatIndex = type;
            t.run.settings.patchExtension = "x";
            t.run.settings.uniqueInstruments = unique;
            ASSERT_EQ(t.convert(vgm), 0);
            const MemoryFileSystem& files = t.files;
            const TonepickRun& run = t.run;
            if (!unique) {
                ASSERT_EQ(run.patches.patches.size(), 3u);
                for (int i = 0; i < 3; ++i) all[i] = files.at(joinOutputPath("out", "patch_0" + std::to_string(i) + ".x"));
                continue;
            }
            const bool panStored = all[0] != all[1];
            panStoredSeen.insert(panStored);
            ASSERT_NE(all[0], all[2]);
            // Numbered without gaps: the algorithm change is patch_01 when pan is not stored.
            EXPECT_EQ(files.at(joinOutputPath("out", "patch_00.x")), all[0]);
            EXPECT_EQ(files.at(joinOutputPath("out", "patch_01.x")), panStored ? all[1] : all[2]);
            EXPECT_EQ(files.has(joinOutputPath("out", "patch_02.x")), panStored);
        }
    }
    // Some formats store the pan bits (two files), others do not (one).
    EXPECT_EQ(panStoredSeen.size(), 2u);
}

TEST(Kit, PcmReadsAndAStreamFromOnePlaceAreOneSample) {
    // The demo plays its drums by PCM commands and, in the last bar, by a DAC
    // stream from the same places: two samples, each with all its plays.
    const std::vector<uint8_t> pcm = ramp(300);
    VgmBuilder b(0x160);
    b.dataBlock(0x00, pcm);
    dacOn(b);
    b.pcmSeek(40);
    for (int i = 0; i < 20; ++i) b.pcmWrite(2);  // rate 44100 / 2 over 20 bytes, the first play
    streamSetup(b, 0);
    streamFrequency(b, 0, 8000);
    streamStart(b, 0, 40, 0x01, 60);  // reaches further than the PCM play
    b.wait(1000).end();
    Kit k(b.bytes());
    ASSERT_TRUE(k.has(0));
    EXPECT_FALSE(k.has(1));
    EXPECT_EQ(k.bytes(0), slice(pcm, 40, 60));
    EXPECT_EQ(k.rate(0), dacSampleRate(20, 0, 38));  // the rule of its first play
    EXPECT_NE(k.listing().find("\t60\t2\tblock 0 offset 40\n"), std::string::npos) << k.listing();
}

TEST(Kit, ManySeeksOfOneBytePlaysInAOneByteBankStayFewSamples) {
    // Plays of one byte, half of them past the end of a one-byte block, and
    // a stream of a huge pass over the same byte: one sample, every play counted.
    VgmBuilder b(0x160);
    b.dataBlock(0x00, {0x42});
    dacOn(b);
    for (int i = 0; i < 60000; ++i) b.pcmSeek(static_cast<uint32_t>(i % 2)).pcmWrite(1);
    streamSetup(b, 0);
    streamFrequency(b, 0, 44100);
    streamStart(b, 0, 0, 0x01, 0xFFFF);
    b.wait(10).end();
    Kit k(b.bytes());
    EXPECT_EQ(k.exitCode, 0);
    ASSERT_TRUE(k.has(0));
    EXPECT_FALSE(k.has(1));
    EXPECT_EQ(k.bytes(0), std::vector<uint8_t>{0x42});
    EXPECT_NE(k.listing().find("sample_000.wav\t36\t44100\t1\t30001\tblock 0 offset 0\n"), std::string::npos)
        << k.listing().substr(0, 200);
}

TEST(Kit, AStreamSampleCutShortByTheNextPlayIsWrittenWhole) {
    const std::vector<uint8_t> pcm = ramp(400);
    VgmBuilder b(0x160);
    b.dataBlock(0x00, pcm);
    dacOn(b);
    streamSetup(b, 0);
    streamFrequency(b, 0, 8000);
    streamStart(b, 0, 10, 0x01, 100);  // cut after two writes
    b.wait(7);
    streamStart(b, 0, 200, 0x01, 50);
    b.wait(2000).end();
    Kit k(b.bytes());
    ASSERT_TRUE(k.has(0) && k.has(1));
    EXPECT_EQ(k.bytes(0), slice(pcm, 10, 100));
    EXPECT_EQ(k.bytes(1), slice(pcm, 200, 50));
}

}  // namespace

// Review reproducers: each failed before its fix.
namespace review {

size_t countOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(Kit, PlacesAndStretchesPastTheSampleCapAddNoLookupEntries) {
    const uint32_t n = static_cast<uint32_t>(kMaxKitSamples) + 1000;
    VgmBuilder b(0x150);
    b.dataBlock(0x00, std::vector<uint8_t>(n, 0x42));
    dacOn(b);
    for (uint32_t i = 0; i < n; ++i) b.pcmSeek(i).pcmWrite(0);
    dacOff(b);
    for (uint32_t i = 0; i < 1000; ++i) {  // distinct direct stretches, all past the cap
        dacOn(b);
        b.ym(0, 0x2A, static_cast<int>(i & 0xFF)).ym(0, 0x2A, static_cast<int>(i >> 8)).ym(0, 0x2A, 7);
        dacOff(b);
    }
    b.end();
    Kit k(b.bytes());
    EXPECT_TRUE(k.run.kit.samplesFull);
    EXPECT_EQ(k.run.kit.samples.size(), kMaxKitSamples);
    EXPECT_EQ(k.run.kit.byPlace.size(), kMaxKitSamples);
    EXPECT_TRUE(k.run.kit.byHash.empty());
}

TEST(Kit, ReversePlaysAreKeyedByTheirFirstByte) {
    // Two reverse plays from one start, of 100 and of 50 writes: their first
    // bytes differ (349 and 299), so they are two samples, each as played.
    const std::vector<uint8_t> pcm = ramp(600, 5);
    VgmBuilder b(0x160);
    b.dataBlock(0x00, pcm);
    dacOn(b);
    streamSetup(b, 0);
    streamFrequency(b, 0, 8000);
    streamStart(b, 0, 250, 0x11, 100);
    b.wait(2000);
    streamStart(b, 0, 250, 0x11, 50);
    b.wait(2000);
    b.end();
    Kit k(b.bytes());
    ASSERT_TRUE(k.has(0) && k.has(1));
    std::vector<uint8_t> first = slice(pcm, 250, 100), second = slice(pcm, 250, 50);
    std::reverse(first.begin(), first.end());
    std::reverse(second.begin(), second.end());
    EXPECT_EQ(k.bytes(0), first);
    EXPECT_EQ(k.bytes(1), second);
    EXPECT_NE(k.listing().find("sample_001.wav\t37\t8000\t50\t1\tblock 0 offset 299 reverse\n"), std::string::npos)
        << k.listing();
}

TEST(Kit, DrumTrackCountsTimePastTheClocksWrap) {
    // A play 10 samples before the 32-bit clock wraps, and one 10 after.
    VgmBuilder b(0x150);
    b.dataBlock(0x00, ramp(300));
    dacOn(b);
    b.wait(0xFFFFFFFFu - 9);
    b.pcmSeek(0).pcmWrite(0);
    b.wait(20);
    b.pcmSeek(200).pcmWrite(0);
    b.end();
    Kit k(b.bytes());
    ASSERT_TRUE(k.has(0) && k.has(1));
    const std::string track = dumpTrackData(k.track(11));
    const size_t first = track.find("99 24 7F"), second = track.find("99 25 7F");
    ASSERT_NE(first, std::string::npos) << track;
    ASSERT_NE(second, std::string::npos) << track;
    EXPECT_LT(first, second) << track;
}

TEST(Kit, StreamAtFrequency0GetsRate44100AndAStreamBeforeItsDataIsKept) {
    VgmBuilder zero(0x160);
    zero.dataBlock(0x00, ramp(100));
    dacOn(zero);
    streamSetup(zero, 0);  // no frequency: 0
    streamStart(zero, 0, 10, 0x01, 50);
    zero.wait(100).end();
    Kit k(zero.bytes());
    ASSERT_TRUE(k.has(0));
    EXPECT_EQ(k.rate(0), 44100u);

    // Started before its data block arrives: the play starts at the first
    // byte that exists, as the stretch of -s stretch does.
    VgmBuilder early(0x160);
    dacOn(early);
    streamSetup(early, 0);
    streamFrequency(early, 0, 44100);
    streamStart(early, 0, 0, 0x01, 100);
    early.wait(10).dataBlock(0x00, ramp(200, 3)).wait(200);
    dacOff(early);
    early.end();
    Kit kit(early.bytes()), stretch(early.bytes(), false);
    ASSERT_TRUE(stretch.has(0));
    ASSERT_TRUE(kit.has(0)) << kit.text();
    EXPECT_EQ(kit.bytes(0), stretch.bytes(0));
    EXPECT_EQ(countOf(dumpTrackData(kit.track(11)), "99 24 7F"), 1u);
}

}  // namespace review
