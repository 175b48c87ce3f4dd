#pragma once
// pitchBendOf takes a logarithm, and a tune bends among a limited set of
// frequencies (vibrato, slides between notes): the MIDI writer keeps its
// results in a direct-mapped table of 8-byte entries (128 KiB) shared by the
// FM tracks. Every answer is exactly pitchBendOf's.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tonepick/midi/note_conversion.h"

class PitchBendCache {
public:
    int bendOf(int32_t freq, int note) {
        if (note < 0 || note > UINT8_MAX) return pitchBendOf(freq, note);  // never from ym2612NoteOf
        // Fibonacci hashing of (freq, note): the top bits of the product.
        const uint32_t key = (static_cast<uint32_t>(freq) << 8) ^ static_cast<uint32_t>(note);
        Entry& entry = entries_[(key * 0x9E3779B1u) >> (32 - kIndexBits)];
        if (!entry.valid || entry.freq != freq || entry.note != note) {
            entry = Entry{freq, static_cast<uint16_t>(pitchBendOf(freq, note)), static_cast<uint8_t>(note), true};
        }
        return entry.bend;
    }

private:
    static constexpr int kIndexBits = 14;
    struct Entry {
        int32_t freq = 0;
        uint16_t bend = 0;  // 0..16383
        uint8_t note = 0;
        bool valid = false;
    };
    std::vector<Entry> entries_ = std::vector<Entry>(size_t{1} << kIndexBits);
};
