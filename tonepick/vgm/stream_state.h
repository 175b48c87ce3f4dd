#pragma once
// The dispatcher's clock and PCM position, kept for the whole run.

#include <cstdint>

struct StreamState {
    uint32_t sampleTime = 0;              // 44100 Hz samples since the start of the sound data
    uint32_t pcmOffset = 0;               // read position of commands 0x80..0x8F
    uint32_t frameWaits[2] = {735, 882};  // waits of commands 0x62 and 0x63
};
