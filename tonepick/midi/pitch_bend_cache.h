#pragma once
// pitchBendOf takes a logarithm, and a tune bends among a limited set of
// frequencies (vibrato, slides between notes): the MIDI writer keeps its
// results in a direct-mapped table of 8-byte entries shared by the FM tracks,
// sized to the number of lookups expected (at most 16384 entries, 128 KiB), so
// a short log does not pay for a large table. Every answer is exactly
// pitchBendOf's.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tonepick/midi/note_conversion.h"

class PitchBendCache {
public:
    explicit PitchBendCache(uint64_t expectedLookups = UINT64_MAX) {
        while (indexBits_ < kMaxIndexBits && (uint64_t{1} << indexBits_) < expectedLookups) ++indexBits_;
        entries_.resize(size_t{1} << indexBits_);
    }

    int bendOf(int32_t freq, int note) {
        if (note < 0 || note > UINT8_MAX) return pitchBendOf(freq, note);  // never from ym2612NoteOf
        // Fibonacci hashing of (freq, note): the top bits of the product.
        const uint32_t key = (static_cast<uint32_t>(freq) << 8) ^ static_cast<uint32_t>(note);
        Entry& entry = entries_[(key * 0x9E3779B1u) >> (32 - indexBits_)];
        if (!entry.valid || entry.freq != freq || entry.note != note) {
            entry = Entry{freq, static_cast<uint16_t>(pitchBendOf(freq, note)), static_cast<uint8_t>(note), true};
        }
        return entry.bend;
    }

private:
    static constexpr int kMinIndexBits = 6;
    static constexpr int kMaxIndexBits = 14;
    struct Entry {
        int32_t freq = 0;
        uint16_t bend = 0;  // 0..16383
        uint8_t note = 0;
        bool valid = false;
    };
    int indexBits_ = kMinIndexBits;
    std::vector<Entry> entries_;
};
