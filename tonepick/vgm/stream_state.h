#pragma once
// The dispatcher's clock, PCM position and DAC streams, kept for the whole run.

#include <cstdint>

#include "tonepick/vgm/dac_stream_player.h"

struct StreamState {
    uint32_t sampleTime = 0;              // 44100 Hz samples since the start of the sound data
    uint32_t pcmOffset = 0;               // read position of commands 0x80..0x8F
    uint32_t frameWaits[2] = {735, 882};  // waits of commands 0x62 and 0x63
    DacStreamPlayer dacStreams;           // streams of commands 0x90..0x95 (VGM 1.60 and later)
};
