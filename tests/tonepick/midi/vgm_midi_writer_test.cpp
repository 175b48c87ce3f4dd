#include "tonepick/midi/vgm_midi_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "common/byte_order.h"
#include "common/output_files.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/midi_dump.h"
#include "tonepick/midi/note_conversion.h"
#include "tests/tonepick/midi/expected_midi.h"

namespace {

using Bytes = std::vector<uint8_t>;

using expected_midi::trackPrefix;

Bytes expectedFile(const std::vector<Bytes>& events) { return expected_midi::file(events); }

Bytes writeToMemory(const ChannelEvents& events, bool* ok = nullptr) {
    MemoryFileSystem fs;
    auto file = fs.create("vgm.mid");
    const bool result = writeVgmMidi(events, *file);
    if (ok) *ok = result;
    file.reset();
    return fs.at("vgm.mid");
}

int32_t word(int block, int fnum) { return (block << 11) | fnum; }

ChannelEvent ev(uint32_t time, int on, int32_t freq) { return ChannelEvent{time, on, freq, 0}; }

// Compares through the event dumps, so that a failure names the event.
#define EXPECT_MIDI_EQ(actual, expected) EXPECT_EQ(dumpMidiFile(actual), dumpMidiFile(expected))

}  // namespace

TEST(VgmMidiWriter, NoEventsGiveElevenTracksOfNamesAndBendRanges) {
    ChannelEvents none;
    bool ok = false;
    const Bytes f = writeToMemory(none, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(f.size(), 14u + 19u + 6u * (8u + 46u) + 4u * (8u + 40u));
    EXPECT_MIDI_EQ(f, expectedFile(std::vector<Bytes>(10)));
    EXPECT_EQ(f, expectedFile(std::vector<Bytes>(10)));
    // Track bodies: FM 46 bytes, PSG 40 bytes.
    EXPECT_EQ(readBe32(&f[33 + 4]), 46u);
    EXPECT_EQ(readBe32(&f[33 + 6 * 54 + 4]), 40u);
}

TEST(VgmMidiWriter, FmNoteAtItsOwnPitchSendsNoBend) {
    ChannelEvents events;
    events[0] = {ev(1000, 1, word(4, 644)), ev(2000, 0, word(4, 644))};
    std::vector<Bytes> expected(10);
    expected[0] = {0x87, 0x68, 0x90, 0x30, 0x7F, 0x87, 0x68, 0x80, 0x30, 0x7F};
    EXPECT_MIDI_EQ(writeToMemory(events), expectedFile(expected));
}

TEST(VgmMidiWriter, FmNoteOffItsPitchBendsBeforeTheNoteOn) {
    ChannelEvents events;
    events[3] = {ev(1000, 1, word(4, 663))};
    std::vector<Bytes> expected(10);
    expected[3] = {0x87, 0x68, 0xE3, 0x32, 0x3D, 0x00, 0x93, 0x31, 0x7F};
    EXPECT_MIDI_EQ(writeToMemory(events), expectedFile(expected));
}

TEST(VgmMidiWriter, VibratoGivesBendsOnlyWhenTheBendChanges) {
    ChannelEvents events;
    events[2] = {
        ev(10, 1, word(4, 644)),   // note 48, bend 8192: no bend
        ev(20, 1, word(4, 650)),   // bend 8301
        ev(25, 1, word(4, 650)),   // same bend: nothing, lastTime stays 20
        ev(40, 1, word(4, 644)),   // back to 8192, delta from 20
        ev(40, 1, word(4, 640)),   // equal times: delta 0, bend 8118 (below the note)
        ev(50, 0, word(4, 640)),   // key off keeps note 48
        ev(60, 1, word(3, 640)),   // note 36, same bend 8118: no bend
        ev(70, 0, word(3, 640)),
        ev(80, 0, word(3, 640)),   // key off while silent: written again
    };
    std::vector<Bytes> expected(10);
    expected[2] = {10, 0x92, 0x30, 0x7F,
                   10, 0xE2, 0x6D, 0x40,
                   20, 0xE2, 0x00, 0x40,
                   0,  0xE2, 0x36, 0x3F,
                   10, 0x82, 0x30, 0x7F,
                   10, 0x92, 0x24, 0x7F,
                   10, 0x82, 0x24, 0x7F,
                   10, 0x82, 0x24, 0x7F};
    EXPECT_MIDI_EQ(writeToMemory(events), expectedFile(expected));
}

TEST(VgmMidiWriter, ManyDistinctBendsAreEachComputedForTheirOwnNote) {
    // Far more (frequency, note) pairs than the writer keeps converted, on two
    // channels holding different notes, so that cached results collide: every
    // bend event must still carry pitchBendOf of its own frequency and note.
    ChannelEvents events;
    std::vector<int> expectedBends[2];
    for (int c = 0; c < 2; ++c) {
        const int32_t held = word(4, c == 0 ? 644 : 859);
        events[static_cast<size_t>(c)].push_back(ev(0, 1, held));
        int last = pitchBendOf(held, ym2612NoteOf(held));
        for (int k = 0; k < 6000; ++k) {
            const int32_t freq = word(3 + k % 3, 500 + (k * 7919) % 1500);
            events[static_cast<size_t>(c)].push_back(ev(static_cast<uint32_t>(k + 1), 1, freq));
            const int bend = pitchBendOf(freq, ym2612NoteOf(held));
            if (bend != last) expectedBends[c].push_back(bend);
            last = bend;
        }
    }
    const Bytes file = writeToMemory(events);
    // Collect the pitch-bend values of tracks 1 and 2 (after the tempo track).
    size_t pos = 14;
    pos += 8 + readBe32(file.data() + pos + 4);  // tempo track
    for (int c = 0; c < 2; ++c) {
        const size_t length = readBe32(file.data() + pos + 4);
        const std::string dump = dumpTrackData(Bytes(file.begin() + static_cast<std::ptrdiff_t>(pos + 8),
                                                     file.begin() + static_cast<std::ptrdiff_t>(pos + 8 + length)));
        std::vector<int> bends;
        const uint8_t* p = file.data() + pos + 8;
        const uint8_t* end = p + length;
        while (p < end) {  // delta, then one event of a known shape
            while (*p & 0x80) ++p;
            ++p;
            if (*p == 0xFF) {
                p += 3 + p[2];
            } else if ((*p & 0xF0) == 0xE0) {
                bends.push_back(p[1] | (p[2] << 7));
                p += 3;
            } else {
                p += 3;  // note on/off, controllers
            }
        }
        EXPECT_EQ(bends, expectedBends[c]) << "track " << c << "\n" << dump.substr(0, 400);
        pos += 8 + length;
    }
}

TEST(VgmMidiWriter, KeyOffOnASilentChannelUsesNoteZero) {
    ChannelEvents events;
    events[5] = {ev(3, 0, 0)};
    events[9] = {ev(4, 0, 0)};
    std::vector<Bytes> expected(10);
    expected[5] = {3, 0x85, 0x00, 0x7F};
    expected[9] = {4, 0x8D, 0x00, 0x7F};
    EXPECT_MIDI_EQ(writeToMemory(events), expectedFile(expected));
}

TEST(VgmMidiWriter, PsgNotesAreReStruckOnANewNote) {
    ChannelEvents events;
    events[6] = {
        ev(100, 1, 254),  // note 57 on channel 10
        ev(120, 1, 255),  // still note 57: nothing
        ev(150, 1, 240),  // note 58: off 57, on 58
        ev(150, 0, 240),
    };
    events[8] = {ev(0, 1, 428), ev(5, 0, 428)};  // channel 12, note 48
    std::vector<Bytes> expected(10);
    expected[0] = {};
    expected[6] = {0x64, 0x9A, 0x39, 0x7F, 0x32, 0x8A, 0x39, 0x7F, 0x00, 0x9A, 0x3A, 0x7F, 0x00, 0x8A, 0x3A, 0x7F};
    expected[8] = {0x00, 0x9C, 0x30, 0x7F, 0x05, 0x8C, 0x30, 0x7F};
    EXPECT_MIDI_EQ(writeToMemory(events), expectedFile(expected));
}

TEST(VgmMidiWriter, LongGapsKeepTheirLength) {
    ChannelEvents events;
    // 2^28 + 5 ticks: one carried maximum (0FFFFFFF) on an empty text event, then 6.
    events[1] = {ev(0x10000005, 1, word(4, 644)), ev(0xFFFFFFFF, 0, word(4, 644))};
    const Bytes f = writeToMemory(events);
    const Bytes body(f.begin() + 33 + 54 + 8, f.begin() + 33 + 54 + 8 + readBe32(&f[33 + 54 + 4]));
    const Bytes prefix = trackPrefix(1);
    ASSERT_GT(body.size(), prefix.size());
    const std::string dump = dumpTrackData(Bytes(body.begin() + static_cast<long>(prefix.size()), body.end()));
    // Sum the deltas of every event line: the gaps must add up exactly.
    uint64_t total = 0, textEvents = 0;
    size_t pos = 0;
    std::string last;
    while (pos < dump.size()) {
        const size_t eol = dump.find('\n', pos);
        const std::string line = dump.substr(pos, eol - pos);
        total += std::stoull(line.substr(0, line.find(':')));
        if (line.find("FF 01 00") != std::string::npos) ++textEvents;
        if (line.find("90 30 7F") != std::string::npos) {
            EXPECT_EQ(total, 0x10000005u) << dump;
        }
        last = line;
        pos = eol + 1;
    }
    EXPECT_EQ(total, 0xFFFFFFFFu) << dump;
    EXPECT_EQ(textEvents, 1u + 15u) << dump;  // 2^28+5 needs 1; 0xEFFFFFFA needs 14 more plus a 15th
    EXPECT_EQ(last, "0: FF 2F 00");
}

TEST(VgmMidiWriter, GapsAcrossTheClockWrapKeepTheirLength) {
    // The sample clock is 32 bits and wraps; a note held across the wrap lasts
    // the modular difference, here exactly 2^28 ticks (one carried maximum + 1).
    ChannelEvents events;
    events[0] = {ev(0xFFFFFFF0u, 1, word(4, 644)), ev(0x0FFFFFF0u, 0, word(4, 644))};
    const Bytes carried = {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00};
    Bytes track;
    for (int k = 0; k < 15; ++k) track.insert(track.end(), carried.begin(), carried.end());
    track.insert(track.end(), {0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x30, 0x7F});  // 16 * 0FFFFFFF in all
    track.insert(track.end(), carried.begin(), carried.end());
    track.insert(track.end(), {0x01, 0x80, 0x30, 0x7F});
    std::vector<Bytes> expected(10);
    expected[0] = track;
    EXPECT_MIDI_EQ(writeToMemory(events), expectedFile(expected));
}

TEST(VgmMidiWriter, ShortWritesAreReported) {
    MemoryFileSystem fs;
    fs.shortWritePaths.insert("vgm.mid");
    auto file = fs.create("vgm.mid");
    ChannelEvents events;
    EXPECT_FALSE(writeVgmMidi(events, *file));
}

TEST(VgmMidiWriter, SpilledEventsThatCannotBeReadBackAreReported) {
    // A list long enough to move a block of key events (and, with levels, a
    // block of level events) to the temporary file, which then loses it.
    for (const bool lostLevels : {false, true}) {
        ChannelEvents events;
        EventSpill spill;
        LevelLists levels;
        for (uint32_t i = 0; i < kEventsInMemory + 10; ++i) {
            recordChannelEvent(events, spill, 6, ev(i * 10, i % 2, 0x100));
            recordLevelEvent(levels, 6, LevelEvent{i, i * 10, 10, 0, LevelEventKind::kChange});
        }
        ASSERT_FALSE(spill.blocks[6].empty());
        ASSERT_FALSE(levels.blocks[6].empty());
        {
            MemoryFileSystem fs;
            auto file = fs.create("vgm.mid");
            EXPECT_TRUE(writeVgmMidi(events, &spill, *file, &levels)) << "everything read back";
        }
        (lostLevels ? levels.file : spill.file).clear();
        MemoryFileSystem fs;
        auto file = fs.create("vgm.mid");
        EXPECT_FALSE(writeVgmMidi(events, &spill, *file, &levels)) << lostLevels;
    }
}
