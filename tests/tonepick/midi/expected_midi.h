#pragma once
// Expected vgm.mid files for the tests: the fixed header and tempo track, and
// per track the names and bend-range block that open it and the end of track
// that closes it, around the given events.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/midi_bytes.h"

namespace expected_midi {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kDivision = 0x5622;  // ticks per quarter note of vgm.mid

// Opening of track t (0..5 FM "YM2612 0t", 6..9 PSG "PSG 0j" with its bend
// range on channel t).
inline Bytes trackPrefix(int t) {
    return midi_bytes::trackStart(t < 6 ? "YM2612 0" + std::to_string(t) : "PSG 0" + std::to_string(t - 6), t);
}

// The whole file; events[t] holds the event bytes of track t (10 entries).
inline Bytes file(const std::vector<Bytes>& events) {
    std::vector<Bytes> tracks{{0, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20, 0, 0xFF, 0x2F, 0}};  // tempo 500,000
    for (int t = 0; t < 10; ++t)
        tracks.push_back(midi_bytes::bytesOf({trackPrefix(t), events.at(static_cast<size_t>(t)), {0, 0xFF, 0x2F, 0}}));
    return midi_bytes::midiFile(kDivision, tracks);
}

}  // namespace expected_midi
