#pragma once
// SN76489 model: follows latch and data bytes to know when each of the four
// channels starts and stops sounding and at which tone period.

#include <array>
#include <cstdint>

struct TonepickRun;

struct PsgState {
    int latched = 0;                  // register named by the last latch byte, 0..7
    std::array<int32_t, 4> period{};  // tone periods of channels 0..2, noise control of channel 3
    std::array<bool, 4> audible{};    // attenuation below 15
};

// One byte written to the chip (VGM command 0x50). Appends key events to
// run.channelEvents[6 + channel]: at attenuation changes between silent and
// audible, and at the data byte of a tone change while the channel sounds.
void sn76489Write(TonepickRun& run, uint8_t data);
