// The song MIDI file from hand-made second-pass events.
#include "seqconv/output/song_midi_writer.h"

#include <gtest/gtest.h>

#include "seqconv/output/listings.h"
#include "tests/seqconv/output/song_output_fixture.h"
#include "tests/support/midi_dump.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kFm = 0;
constexpr uint8_t kDac = 1;

const Bytes kTempo120 = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
const Bytes kEndOfTrack = {0xFF, 0x2F, 0x00};

Bytes endAt(uint8_t delta) { return {delta, 0xFF, 0x06, 0x03, 'e', 'n', 'd'}; }

struct WriterTest : ::testing::Test, SongOutputFixture {
    WriterTest() {
        GemsInstrumentBankBuilder bank;
        bank.patch(kFm, {0x11, 0x22, 0x33, 0x44, 0x55});  // 0
        bank.patch(kDac, {0x01, 0x02, 0x03, 0x04});       // 1
        setInstruments(bank);
        run->state.tempo = 120;
    }

    void write(const EventList& list, int32_t maxTime, bool noLoop = true) {
        run->events = list.events;
        writeSong(maxTime, noLoop);
    }

    // The data of note track n (0 = first note track).
    Bytes noteTrack(size_t n) const {
        const auto chunks = midiChunks(midiBytes());
        return n + 2 < chunks.size() ? chunks[n + 2] : Bytes{};
    }
};

}  // namespace

TEST_F(WriterTest, WorkedExampleBytes) {
    run->flags.logEnabled = true;
    write(EventList().note(0, 0, 24, 0x3C, 0), 24);
    const Bytes expected = midiFile({
        bytesOf({kTempo120, endAt(0x18), {0x00}, kEndOfTrack}),
        bytesOf({trackStart("Patch 00(FM)", 0), {0x00, 0x90, 0x3C, 0x7F}, {0x18}, kEndOfTrack}),
    });
    EXPECT_EQ(midiBytes().size(), 14u + 8 + 0x12 + 8 + 0x38);
    EXPECT_EQ(dumpMidiFile(midiBytes()), dumpMidiFile(expected));
    EXPECT_EQ(midiBytes(), expected);
    EXPECT_EQ(printed.text(), "output\ntrack_end:24\n");
    // The note-off at maxTime is logged but not written.
    EXPECT_EQ(textFile(), "time=0 channel=0 note=3C on=1\ntime=18 channel=0 note=3C on=0\n");
}

TEST_F(WriterTest, SongWithoutEventsHasOnlyTheConductorTrack) {
    write(EventList(), 1);
    EXPECT_EQ(midiBytes(), midiFile({bytesOf({kTempo120, endAt(1), {0x00}, kEndOfTrack})}));
    EXPECT_EQ(printed.text(), "");  // no trace without flag l
    EXPECT_EQ(textFile(), "");
}

TEST_F(WriterTest, TempoFromTheRegister) {
    struct Case {
        int32_t tempo;
        bool pal;
        Bytes bytes;
    };
    const Case cases[] = {
        {120, false, {0x07, 0xA1, 0x20}},  // 500,000
        {120, true, {0x09, 0x27, 0xC0}},   // 600,000
        {150, false, {0x06, 0x1A, 0x80}},  // 400,000
        {0, false, {0x07, 0xA1, 0x20}},    // no tempo command yet: 120 beats per minute
        {0, true, {0x07, 0xA1, 0x20}},
        {295, false, {0x03, 0x1A, 0x7D}},  // 203,389.8 truncated
    };
    for (const Case& c : cases) {
        SongOutputFixture f;
        f.run->state.tempo = c.tempo;
        f.run->flags.palTempo = c.pal;
        f.writeSong(1, true);
        const Bytes conductor = midiChunks(f.midiBytes()).at(1);
        EXPECT_EQ(Bytes(conductor.begin() + 4, conductor.begin() + 7), c.bytes) << c.tempo << " pal " << c.pal;
    }
}

TEST_F(WriterTest, LoopMarkers) {
    run->flags.logEnabled = true;
    run->loopStarts = {96, 48, 72};
    write(EventList(), 240, false);
    const Bytes conductor = bytesOf({kTempo120, metaText(48, 0x06, "loop start"),
                                     {0x81, 0x40, 0xFF, 0x06, 0x08, 'l', 'o', 'o', 'p', ' ', 'e', 'n', 'd'},
                                     {0x00}, kEndOfTrack});
    EXPECT_EQ(dumpMidiFile(midiBytes()), dumpMidiFile(midiFile({conductor})));
    EXPECT_EQ(printed.text(), "output\nloop_start:48\n");
}

TEST_F(WriterTest, LoopEndBeforeLoopStartIsAtDeltaZero) {
    run->loopStarts = {100};
    write(EventList(), 40, false);
    const Bytes conductor = midiChunks(midiBytes()).at(1);
    EXPECT_EQ(dumpTrackData(conductor),
              dumpTrackData(bytesOf({kTempo120, metaText(100, 0x06, "loop start"), metaText(0, 0x06, "loop end"),
                                     {0x00}, kEndOfTrack})));
}

TEST_F(WriterTest, EventsAtOrAfterMaxTimeAreDroppedAndLogged) {
    run->flags.logEnabled = true;
    EventList list;
    list.note(0, 10, 20, 0x30, 0).pitch(0, 30, 256, 0).note(0, 40, 5, 0x31, 0);
    write(list, 30);
    EXPECT_EQ(dumpTrackData(noteTrack(0)),
              dumpTrackData(bytesOf({trackStart("Patch 00(FM)", 0), {10, 0x90, 0x30, 0x7F}, {20}, kEndOfTrack})));
    EXPECT_EQ(textFile(),
              "time=A channel=0 note=30 on=1\n"
              "time=1E channel=0 note=30 on=0\n"
              "time=1E channel=0 note=0 on=1\n"
              "time=28 channel=0 note=31 on=1\n"
              "time=2D channel=0 note=31 on=0\n");
}

TEST_F(WriterTest, NegativeTimesAreLoggedAsThirtyTwoBitsAndDropped) {
    run->flags.logEnabled = true;
    EventList list;
    list.note(0, -4, 10, 0x30, 0);
    write(list, 30);
    // Only the note-off is written: a note-off for a silent note.
    EXPECT_EQ(dumpTrackData(noteTrack(0)),
              dumpTrackData(bytesOf({trackStart("Patch 00(FM)", 0), {6, 0x90, 0x30, 0x7F}, {0x00, 0x80, 0x30, 0x7F},
                                     {24}, kEndOfTrack})));
    EXPECT_EQ(textFile().substr(0, 31), "time=FFFFFFFC channel=0 note=30");
}

TEST_F(WriterTest, RestrikeAndNoteOffForASilentNote) {
    // Two overlapping equal notes: the second note-on ends the first, and the
    // second note-off (nothing sounding) becomes a zero-length note.
    write(EventList().note(0, 0, 24, 0x3C, 0).note(0, 12, 24, 0x3C, 0), 48);
    EXPECT_EQ(dumpTrackData(noteTrack(0)),
              dumpTrackData(bytesOf({trackStart("Patch 00(FM)", 0),
                                     {0, 0x90, 0x3C, 0x7F},
                                     {12, 0x80, 0x3C, 0x7F}, {0, 0x90, 0x3C, 0x7F},
                                     {12, 0x80, 0x3C, 0x7F},
                                     {12, 0x90, 0x3C, 0x7F}, {0, 0x80, 0x3C, 0x7F},
                                     {12}, kEndOfTrack})));
}

TEST_F(WriterTest, ZeroLengthNoteSoundsToTheEndOfTheTrack) {
    // Its note-off sorts first: a zero-length note, then the note-on stays.
    EventList list;
    list.note(0, 10, 0, 0x40, 0);
    std::swap(list.events[0], list.events[1]);  // track order: note-off first
    write(list, 30);
    EXPECT_EQ(dumpTrackData(noteTrack(0)),
              dumpTrackData(bytesOf({trackStart("Patch 00(FM)", 0),
                                     {10, 0x90, 0x40, 0x7F}, {0, 0x80, 0x40, 0x7F},
                                     {0, 0x90, 0x40, 0x7F},
                                     {20}, kEndOfTrack})));
}

TEST_F(WriterTest, VelocityIsTheInvertedVolumeOnAndOff) {
    EventList list;
    list.note(0, 0, 1, 0x30, 0, 0x20).note(0, 2, 1, 0x31, 0, 127).note(0, 4, 1, 0x32, 0, 200);
    write(list, 10);
    EXPECT_EQ(dumpTrackData(noteTrack(0)),
              dumpTrackData(bytesOf({trackStart("Patch 00(FM)", 0),
                                     {0, 0x90, 0x30, 0x5F}, {1, 0x80, 0x30, 0x5F},
                                     {1, 0x90, 0x31, 0x00}, {1, 0x80, 0x31, 0x00},
                                     {1, 0x90, 0x32, 0x00}, {1, 0x80, 0x32, 0x00},
                                     {5}, kEndOfTrack})));
}

TEST_F(WriterTest, DacNotesAreNumberedInOrderOfFirstUseAcrossTracks) {
    EventList list;
    list.note(0, 0, 2, 0x32, 1).note(0, 4, 2, 0x30, 1).note(0, 8, 2, 0x32, 1);
    list.note(1, 0, 2, 0x35, 1).note(1, 4, 2, 0x30, 1);
    write(list, 20);
    EXPECT_EQ(dumpTrackData(noteTrack(0)),
              dumpTrackData(bytesOf({trackStart("Patch 01(DAC)", 0),
                                     {0, 0x90, 0x30, 0x7F}, {2, 0x80, 0x30, 0x7F},
                                     {2, 0x90, 0x31, 0x7F}, {2, 0x80, 0x31, 0x7F},
                                     {2, 0x90, 0x30, 0x7F}, {2, 0x80, 0x30, 0x7F},
                                     {10}, kEndOfTrack})));
    EXPECT_EQ(dumpTrackData(noteTrack(1)),
              dumpTrackData(bytesOf({trackStart("Patch 01(DAC)", 1),
                                     {0, 0x91, 0x32, 0x7F}, {2, 0x81, 0x32, 0x7F},
                                     {2, 0x91, 0x31, 0x7F}, {2, 0x81, 0x31, 0x7F},
                                     {14}, kEndOfTrack})));
    EXPECT_EQ(run->lists.dacKeys, (std::vector<int32_t>{0x132, 0x130, 0x135}));
    listings();
    EXPECT_EQ(textFile(),
              "Patch 01 (DAC): 01 01 02 03 04\n"
              "DAC (0) 01 32\n"
              "DAC (1) 01 30\n"
              "DAC (2) 01 35\n");
}

TEST_F(WriterTest, NoteStateFollowsTheByteCodeNoteNotTheWrittenKey) {
    // DAC note 0x31 is written as key 0x30; FM note 0x30 is a different note
    // for the state, so its note-on needs no note-off first.
    EventList list;
    list.note(0, 0, 8, 0x31, 1).note(0, 2, 2, 0x30, 0);
    write(list, 10);
    EXPECT_EQ(dumpTrackData(noteTrack(0)),
              dumpTrackData(bytesOf({trackStart("Patch 01(DAC)", 0),
                                     {0, 0x90, 0x30, 0x7F},
                                     {2, 0x90, 0x30, 0x7F}, {2, 0x80, 0x30, 0x7F},
                                     {4, 0x80, 0x30, 0x7F},
                                     {2}, kEndOfTrack})));
}

TEST_F(WriterTest, DacKeysBeyondEightyStayValidNotes) {
    EventList list;
    for (int n = 0; n < 82; ++n) list.note(0, n, 1, n, 1);
    write(list, 100);
    const Bytes track = noteTrack(0);
    // Keys 0..79 give 48..127; keys 80 and 81 are written as 127 too.
    const Bytes lastTwo(track.end() - 4 - 16, track.end() - 4);
    EXPECT_EQ(lastTwo, (Bytes{0x00, 0x90, 0x7F, 0x7F, 0x01, 0x80, 0x7F, 0x7F,
                              0x00, 0x90, 0x7F, 0x7F, 0x01, 0x80, 0x7F, 0x7F}));
    EXPECT_EQ(run->lists.dacKeys.size(), 82u);
}

TEST_F(WriterTest, PitchBendsAndTheirLimits) {
    EventList list;
    list.pitch(0, 0, 256, 1).pitch(0, 1, 0, 1).pitch(0, 2, 3072, 1).pitch(0, 3, -3073, 1).pitch(0, 4, 32767, 1)
        .pitch(0, 5, -32768, 1).pitch(0, 6, -3072, 1);
    write(list, 10);
    // The name is that of the patch in force at the first event, a pitch event.
    EXPECT_EQ(dumpTrackData(noteTrack(0)),
              dumpTrackData(bytesOf({trackStart("Patch 01(DAC)", 0),
                                     {0, 0xE0, 0x2A, 0x45}, {1, 0xE0, 0x00, 0x40},
                                     {1, 0xE0, 0x7F, 0x7F}, {1, 0xE0, 0x00, 0x00},
                                     {1, 0xE0, 0x7F, 0x7F}, {1, 0xE0, 0x00, 0x00},
                                     {1, 0xE0, 0x00, 0x00}, {4}, kEndOfTrack})));
    // Pitch events use no patch.
    EXPECT_TRUE(run->lists.usedPatches.empty());
}

TEST_F(WriterTest, SeventeenthTrackUsesChannelZeroAgain) {
    EventList list;
    for (int32_t c = 0; c < 17; ++c) list.note(c, 0, 1, 0x30, 0);
    write(list, 4);
    ASSERT_EQ(midiBytes().at(11), 18);
    EXPECT_EQ(noteTrack(15), bytesOf({trackStart("Patch 00(FM)", 15), {0, 0x9F, 0x30, 0x7F},
                                      {1, 0x8F, 0x30, 0x7F}, {3}, kEndOfTrack}));
    EXPECT_EQ(noteTrack(16), bytesOf({trackStart("Patch 00(FM)", 0), {0, 0x90, 0x30, 0x7F},
                                      {1, 0x80, 0x30, 0x7F}, {3}, kEndOfTrack}));
}

TEST_F(WriterTest, TracksInChannelIdOrder) {
    // Song 5's channels after those of song 3 it started, whatever the times.
    EventList list;
    list.note(0x500, 0, 1, 0x30, 0).note(0x301, 8, 1, 0x31, 0).note(0x300, 4, 1, 0x32, 0);
    write(list, 10);
    EXPECT_EQ(midiBytes().at(11), 4);
    EXPECT_EQ(noteTrack(0), bytesOf({trackStart("Patch 00(FM)", 0), {4, 0x90, 0x32, 0x7F}, {1, 0x80, 0x32, 0x7F},
                                     {5}, kEndOfTrack}));
    EXPECT_EQ(noteTrack(1), bytesOf({trackStart("Patch 00(FM)", 1), {8, 0x91, 0x31, 0x7F}, {1, 0x81, 0x31, 0x7F},
                                     {1}, kEndOfTrack}));
    EXPECT_EQ(noteTrack(2), bytesOf({trackStart("Patch 00(FM)", 2), {0, 0x92, 0x30, 0x7F}, {1, 0x82, 0x30, 0x7F},
                                     {9}, kEndOfTrack}));
}

TEST_F(WriterTest, MoreThan255TracksCountInSixteenBits) {
    EventList list;
    for (int32_t c = 0; c < 300; ++c) list.note(c, 0, 1, 0x30, 0);
    write(list, 4);
    EXPECT_EQ(midiBytes().at(10), 0x01);
    EXPECT_EQ(midiBytes().at(11), 0x2D);  // 301
    EXPECT_EQ(midiChunks(midiBytes()).size(), 302u);
}

TEST_F(WriterTest, AtMost65535Tracks) {
    run->flags.logEnabled = true;
    EventList list;
    for (int32_t c = 0; c < kMaxNoteTracks; ++c) list.note(c, 0, 1, 0x30, 0);
    list.note(kMaxNoteTracks, 0, 1, 0x31, 1);  // dropped: not written, logged or listed
    list.note(kMaxNoteTracks + 1, 0, 1, 0x31, 1);
    write(list, 4);
    EXPECT_EQ(midiBytes().at(10), 0xFF);
    EXPECT_EQ(midiBytes().at(11), 0xFF);
    EXPECT_EQ(midiChunks(midiBytes()).size(), 65536u);
    EXPECT_EQ(run->lists.usedPatches, (std::vector<int32_t>{0}));
    EXPECT_TRUE(run->lists.dacKeys.empty());
    EXPECT_EQ(textFile().find("note=31"), std::string::npos);
}

TEST_F(WriterTest, ListingsInOrderOfFirstWrittenNote) {
    GemsInstrumentBankBuilder bank;
    bank.patch(kFm, {1, 2, 3, 4});  // 0
    bank.patch(kFm);                // 1
    bank.patch(2, {9, 9, 9, 9});    // 2: PSG
    bank.patch(3, {8, 8, 8, 8});    // 3: noise
    bank.patch(7, {7, 7, 7, 7});    // 4: unknown type
    bank.patch(kFm);                // 5
    setInstruments(bank);
    EventList list;
    list.note(0, 0, 1, 0x30, 3).note(0, 2, 1, 0x30, -1).note(0, 20, 1, 0x30, 5);  // patch 5 only after maxTime
    list.pitch(0, 3, 10, 1);                                                    // pitch events list nothing
    list.note(1, 0, 1, 0x30, 4).note(1, 1, 1, 0x30, 2).note(1, 5, 1, 0x30, 3).note(1, 6, 1, 0x30, 0);
    write(list, 10);
    listings();
    EXPECT_EQ(textFile(),
              "Patch 03 (NOISE): 03 08 08 08 08\n"
              "Patch FFFFFFFF (NONE):\n"
              "Patch 04 (UNKNOWN): 07 07 07 07 07\n"
              "Patch 02 (PSG): 02 09 09 09 09\n"
              "Patch 00 (FM): 00 01 02 03 04\n");
    // Track name of a track starting with patch -1.
    const Bytes first = noteTrack(0);
    EXPECT_EQ(std::string(first.begin() + 4, first.begin() + 4 + first[3]), "Patch 03(NOISE)");
}

TEST_F(WriterTest, TrackNameOfPatchMinusOne) {
    write(EventList().note(0, 0, 1, 0x30, -1), 4);
    EXPECT_EQ(noteTrack(0), bytesOf({trackStart("Patch FFFFFFFF(NONE)", 0), {0, 0x90, 0x30, 0x7F},
                                     {1, 0x80, 0x30, 0x7F}, {3}, kEndOfTrack}));
}
