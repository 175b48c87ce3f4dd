#include "tonepick/midi/note_conversion.h"
#include "tonepick/midi/pitch_bend_cache.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

int32_t word(int block, int fnum) { return (block << 11) | fnum; }

}  // namespace

TEST(Ym2612Note, ReferenceValues) {
    EXPECT_EQ(ym2612NoteOf(word(4, 644)), 48);
    EXPECT_EQ(pitchBendOf(word(4, 644), 48), 8192);
    EXPECT_EQ(ym2612NoteOf(word(4, 1288)), 60);
    EXPECT_EQ(pitchBendOf(word(4, 1288), 60), 8192);
    EXPECT_EQ(ym2612NoteOf(word(3, 1288)), 48);

    EXPECT_EQ(ym2612NoteOf(word(4, 663)), 49);
    EXPECT_EQ(pitchBendOf(word(4, 663), 49), 7858);
    EXPECT_EQ(ym2612NoteOf(word(4, 662)), 48);
    EXPECT_EQ(pitchBendOf(word(4, 662), 48), 8517);
}

TEST(Ym2612Note, BelowTheTableAndZero) {
    EXPECT_EQ(ym2612NoteOf(word(0, 643)), 0);
    EXPECT_EQ(pitchBendOf(word(0, 643), 0), 8173);
    EXPECT_EQ(ym2612NoteOf(0), 0);
    EXPECT_EQ(pitchBendOf(0, 0), 0);
    // A block with fnum 0 is still a linear value of 0.
    EXPECT_EQ(pitchBendOf(word(7, 0), 0), 0);
}

TEST(Ym2612Note, TopIsLimitedAndBendMeasuredFromTheLimit) {
    EXPECT_EQ(ym2612NoteOf(word(7, 2047)), 95);
    EXPECT_EQ(pitchBendOf(word(7, 2047), 95), 14356);
}

TEST(Ym2612Note, NearestSemitoneAcrossTheOctaveBoundary) {
    // sqrt(1215 * 1288) = 1250.97: 1251 rounds up into the next octave's C.
    EXPECT_EQ(ym2612NoteOf(word(0, 1250)), 11);
    EXPECT_EQ(ym2612NoteOf(word(0, 1251)), 12);
    EXPECT_EQ(ym2612NoteOf(word(2, 1251)), 36);
}

TEST(Ym2612Note, BitsAboveTheBlockAreIgnored) {
    EXPECT_EQ(ym2612NoteOf(0xC000 | word(4, 663)), 49);
    EXPECT_EQ(pitchBendOf(0xC000 | word(4, 663), 49), 7858);
    EXPECT_EQ(ym2612NoteOf(static_cast<int32_t>(0xFFFFC000u) | word(4, 644)), 48);
}

TEST(Ym2612Note, EveryWordBendsWithinHalfASemitoneOfItsNote) {
    // 8192 units per octave: half a semitone is about 341 units; the table's
    // widest step (F to F#, 859 -> 910) makes it up to 346.8 there.
    for (int32_t w = 0; w < 0x4000; ++w) {
        const int fnum = w & 0x7FF;
        const int64_t c = static_cast<int64_t>(fnum) << (w >> 11);
        const int note = ym2612NoteOf(w);
        ASSERT_GE(note, 0);
        ASSERT_LE(note, 95);
        if (c < 644 || note == 95) continue;
        const int bend = pitchBendOf(w, note);
        ASSERT_LE(std::abs(bend - 8192), 347) << "word " << w << " note " << note;
    }
}

TEST(PitchBend, LimitsAndForeignNotes) {
    EXPECT_EQ(pitchBendOf(word(7, 2047), 0), 16383);
    EXPECT_EQ(pitchBendOf(word(0, 1), 95), 0);
    // Exactly one octave above the note would be 16384: limited to 16383.
    EXPECT_EQ(pitchBendOf(word(5, 644), 48), 16383);
    // Exactly one octave below is 0.
    EXPECT_EQ(pitchBendOf(word(3, 644), 48), 0);
    // Notes outside the MIDI range do not shift out of range.
    EXPECT_EQ(pitchBendOf(word(0, 644), -5), 8192);
    EXPECT_EQ(pitchBendOf(word(7, 2047), 1000), 0);
}

TEST(PsgNote, CandidatePeriodsMapToTheirNotes) {
    const struct {
        int note, period;
    } rows[] = {{33, 1017}, {45, 508}, {48, 428}, {57, 254}, {60, 214}, {69, 127}, {84, 53}, {96, 27}};
    for (const auto& r : rows) EXPECT_EQ(psgNoteOf(r.period), r.note) << "period " << r.period;
}

TEST(PsgNote, EndsAndNeighbours) {
    EXPECT_EQ(psgNoteOf(0), 96);
    EXPECT_EQ(psgNoteOf(27), 96);
    EXPECT_EQ(psgNoteOf(28), 95);
    EXPECT_EQ(psgNoteOf(254), 57);
    EXPECT_EQ(psgNoteOf(255), 57);
    EXPECT_EQ(psgNoteOf(1023), 33);
    EXPECT_EQ(psgNoteOf(-1000), 96);
    EXPECT_EQ(psgNoteOf(INT32_MAX), 33);
    EXPECT_EQ(psgNoteOf(INT32_MIN), 96);
}

TEST(PsgNote, TiesGoToTheLowerNote) {
    // Note 57 has period 254, note 58 period 240: 247 is 7 from both.
    EXPECT_EQ(psgNoteOf(240), 58);
    EXPECT_EQ(psgNoteOf(246), 58);
    EXPECT_EQ(psgNoteOf(247), 57);
    EXPECT_EQ(psgNoteOf(248), 57);
}

TEST(PsgNote, NotesFallAsPeriodsRise) {
    int previous = 96;
    for (int32_t p = 0; p < 1024; ++p) {
        const int n = psgNoteOf(p);
        ASSERT_LE(n, previous) << "period " << p;
        ASSERT_GE(n, 33);
        previous = n;
    }
}

TEST(PitchBendCache, AnswersExactlyAsTheFormulaWhateverSharesASlot) {
    // Every frequency word with every FM note, note by note within each word:
    // many (word, note) pairs share a slot of the table, and pairs of one word
    // with different notes follow each other closely.
    // The largest table, and the smallest (a short log's), where nearly every
    // lookup meets another pair in its slot.
    for (const uint64_t expected : {uint64_t{1} << 20, uint64_t{10}}) {
        PitchBendCache cache(expected);
        long mismatches = 0;
        for (int32_t word = 0; word < 0x4000; word += 3) {
            for (int note = 0; note <= 95; ++note) {
                if (cache.bendOf(word, note) != pitchBendOf(word, note)) ++mismatches;
            }
        }
        for (const int note : {-5, 300}) EXPECT_EQ(cache.bendOf(0x2284, note), pitchBendOf(0x2284, note));
        EXPECT_EQ(mismatches, 0) << expected;
    }
}
