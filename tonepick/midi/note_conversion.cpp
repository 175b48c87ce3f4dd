#include "tonepick/midi/note_conversion.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace {

// YM2612 fnums of C..B in block 0 plus the next C, for a 7670454 Hz chip.
constexpr int64_t kFnumReference[13] = {644, 682, 723, 766, 811, 859, 910, 965, 1022, 1083, 1147, 1215, 1288};

// The octave of middle C, C..B, in Hz.
constexpr double kPsgReferenceHz[12] = {261.63, 277.18, 293.66, 311.13, 329.63, 349.23,
                                        369.99, 392.0,  415.3,  440.0,  466.16, 493.88};

constexpr double kPsgClockHz = 3579545.0;
constexpr int kPsgLowestNote = 33;
constexpr int kPsgHighestNote = 96;
constexpr int kHighestFmNote = 95;
constexpr int kBendCentre = 8192;
constexpr int kBendMax = 16383;

// Linear frequency value: fnum scaled by 2^block (0..262016).
constexpr int64_t linearFrequency(int32_t freqWord) {
    const uint32_t word = static_cast<uint32_t>(freqWord);
    return static_cast<int64_t>(word & 0x7FF) << ((word >> 11) & 7);
}

// The period of candidate note m: f = psgReferenceHz[m % 12] * 2^(m / 12 - 4),
// period = floor(clock / (f * 32) + 0.5). Scaling by a power of two is exact,
// as ldexp is, and the value is positive, so truncation is the floor: the table
// holds exactly what the formula gives at run time.
constexpr int64_t psgCandidatePeriod(int m) {
    const int e = m / 12 - 4;
    double scale = 1.0;
    for (int i = 0; i < e; ++i) scale *= 2.0;
    for (int i = 0; i > e; --i) scale /= 2.0;
    const double hz = kPsgReferenceHz[m % 12] * scale;
    return static_cast<int64_t>(kPsgClockHz / (hz * 32) + 0.5);
}

constexpr int kPsgCandidateCount = kPsgHighestNote - kPsgLowestNote + 1;

constexpr std::array<int64_t, kPsgCandidateCount> makePsgCandidates() {
    std::array<int64_t, kPsgCandidateCount> periods{};
    for (int m = kPsgLowestNote; m <= kPsgHighestNote; ++m)
        periods[static_cast<size_t>(m - kPsgLowestNote)] = psgCandidatePeriod(m);
    return periods;
}

constexpr std::array<int64_t, kPsgCandidateCount> kPsgCandidatePeriods = makePsgCandidates();

// Candidates in ascending note order; only a strictly nearer one replaces the
// kept one, so ties go to the lower note.
constexpr int nearestPsgNote(int64_t period) {
    int best = kPsgLowestNote;
    int64_t bestDistance = -1;
    for (int m = kPsgLowestNote; m <= kPsgHighestNote; ++m) {
        const int64_t candidate = kPsgCandidatePeriods[static_cast<size_t>(m - kPsgLowestNote)];
        const int64_t distance = period > candidate ? period - candidate : candidate - period;
        if (bestDistance < 0 || distance < bestDistance) {
            best = m;
            bestDistance = distance;
        }
    }
    return best;
}

// Every 10-bit period the chip can hold, converted once at compile time: the
// writer converts a period per PSG event.
constexpr int kPsgPeriodCount = 1024;

constexpr std::array<uint8_t, kPsgPeriodCount> makePsgNoteTable() {
    std::array<uint8_t, kPsgPeriodCount> notes{};
    for (int p = 0; p < kPsgPeriodCount; ++p) notes[static_cast<size_t>(p)] = static_cast<uint8_t>(nearestPsgNote(p));
    return notes;
}

constexpr std::array<uint8_t, kPsgPeriodCount> kPsgNoteByPeriod = makePsgNoteTable();

constexpr int nearestFmNote(int32_t freqWord) {
    const int64_t c = linearFrequency(freqWord);
    if (c < kFnumReference[0]) return 0;
    // Octave: the last one whose C lies at or below c (c < 2^18, so at most 8).
    int oct = 0;
    while ((kFnumReference[0] << (oct + 1)) <= c) ++oct;
    int s = 0;
    while (s < 11 && (kFnumReference[s + 1] << oct) <= c) ++s;
    // Nearer semitone in pitch: compare c with the geometric mean of the two
    // neighbours, squared to stay in integers. Equality keeps the lower one.
    const int64_t lower = kFnumReference[s] << oct;
    const int64_t upper = kFnumReference[s + 1] << oct;
    if (c * c > lower * upper) {
        if (++s == 12) {
            ++oct;
            s = 0;
        }
    }
    const int note = 12 * oct + s;
    return note > kHighestFmNote ? kHighestFmNote : note;
}

// Every frequency word (block and fnum, 14 bits) converted once at compile
// time: the MIDI writer converts one per key-on.
constexpr int kFmWordCount = 1 << 14;

constexpr std::array<uint8_t, kFmWordCount> makeFmNoteTable() {
    std::array<uint8_t, kFmWordCount> notes{};
    for (int w = 0; w < kFmWordCount; ++w) notes[static_cast<size_t>(w)] = static_cast<uint8_t>(nearestFmNote(w));
    return notes;
}

constexpr std::array<uint8_t, kFmWordCount> kFmNoteByWord = makeFmNoteTable();

}  // namespace

int ym2612NoteOf(int32_t freqWord) {
    return kFmNoteByWord[static_cast<uint32_t>(freqWord) & (kFmWordCount - 1)];
}

int pitchBendOf(int32_t freqWord, int note) {
    const int64_t c = linearFrequency(freqWord);
    if (c == 0) return 0;
    if (note < 0) note = 0;
    if (note > 127) note = 127;
    const int64_t reference = kFnumReference[note % 12] << (note / 12);
    const double octaves = std::log(static_cast<double>(c) / static_cast<double>(reference)) / std::log(2.0);
    const double bend = kBendCentre * octaves + kBendCentre;
    // Limit before converting, so that the cast is always defined.
    if (bend >= kBendMax + 1) return kBendMax;
    if (bend < 0) return 0;
    return static_cast<int>(bend);
}

int psgNoteOf(int32_t period) {
    // Periods the chip can hold take the table; anything else walks the candidates.
    if (period >= 0 && period < kPsgPeriodCount) return kPsgNoteByPeriod[static_cast<size_t>(period)];
    return nearestPsgNote(period);
}
