#pragma once
// Timed key and frequency events of the chip channels, recorded while the VGM
// stream is replayed and turned into MIDI tracks afterwards.

#include <array>
#include <cstdint>
#include <vector>

struct ChannelEvent {
    uint32_t time;  // sampleTime of the register write (44100 Hz samples)
    int32_t on;     // 1: key-on or new frequency while sounding; 0: key-off
    int32_t freq;   // FM: frequency word (block << 11 | fnum); PSG: 10-bit tone period
    int32_t extra;  // FM: patch index at that moment; PSG: 0
};

// Lists 0..5 are the YM2612 FM channels, 6..9 the SN76489 channels 0..3.
constexpr int kFmChannelCount = 6;
constexpr int kPsgChannelCount = 4;
constexpr int kFirstPsgList = 6;
using ChannelEvents = std::array<std::vector<ChannelEvent>, kFmChannelCount + kPsgChannelCount>;
