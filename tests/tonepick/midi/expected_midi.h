#pragma once
// Expected vgm.mid files spelled out byte by byte for the tests: the fixed
// header and tempo track, and per track the names and bend-range block that
// open it and the end of track that closes it, around the given events.

#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_order.h"

namespace expected_midi {

using Bytes = std::vector<uint8_t>;

inline Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes namesAndRange(const std::string& name, uint8_t rangeChannel) {
    const Bytes text(name.begin(), name.end());
    const uint8_t len = static_cast<uint8_t>(text.size());
    const uint8_t b = static_cast<uint8_t>(0xB0 + rangeChannel);
    Bytes out = concat(concat(Bytes{0x00, 0xFF, 0x03, len}, text), concat(Bytes{0x00, 0xFF, 0x04, len}, text));
    return concat(out, Bytes{0, b, 0x64, 0, 0, b, 0x65, 0, 0, b, 0x06, 0x0C, 0, b, 0x64, 0x7F});
}

// Opening of track t (0..5 FM "YM2612 0t", 6..9 PSG "PSG 0j" with its bend
// range on channel t).
inline Bytes trackPrefix(int t) {
    return t < 6 ? namesAndRange("YM2612 0" + std::to_string(t), static_cast<uint8_t>(t))
                 : namesAndRange("PSG 0" + std::to_string(t - 6), static_cast<uint8_t>(t));
}

// The whole file; events[t] holds the event bytes of track t (10 entries).
inline Bytes file(const std::vector<Bytes>& events) {
    Bytes f{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 11, 0x56, 0x22,
            'M', 'T', 'r', 'k', 0, 0, 0, 11, 0, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20, 0, 0xFF, 0x2F, 0};
    for (int t = 0; t < 10; ++t) {
        const Bytes body = concat(concat(trackPrefix(t), events.at(static_cast<size_t>(t))), Bytes{0, 0xFF, 0x2F, 0});
        f.insert(f.end(), {'M', 'T', 'r', 'k'});
        appendBe32(f, static_cast<uint32_t>(body.size()));
        f = concat(f, body);
    }
    return f;
}

}  // namespace expected_midi
