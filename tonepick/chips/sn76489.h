#pragma once
// SN76489 model: follows latch and data bytes to know when each of the four
// channels starts and stops sounding and at which tone period. Like the
// YM2612 model it knows registers, not the run: the caller hands in the
// sample time, and the events go to a sink that provides
//   void channelEvent(int list, const ChannelEvent& event);  // lists 6..9
// and, to follow the loudness of the channels, the level reports of
// level_sink.h: the attenuation at each key-on and at every change while the
// channel sounds.

#include <array>
#include <cstddef>
#include <cstdint>

#include "tonepick/chips/channel_event.h"
#include "tonepick/chips/level_sink.h"

struct PsgState {
    int latched = 0;                  // register named by the last latch byte, 0..7
    std::array<int32_t, 4> period{};  // tone periods of channels 0..2, noise control of channel 3
    std::array<bool, 4> audible{};    // attenuation below 15
    std::array<uint8_t, 4> attenuation{};  // last attenuation written, 2 dB per step
};

// One byte written to the chip (VGM command 0x50) at `sampleTime`. Reports key
// events of list kFirstPsgList + channel: at attenuation changes between
// silent and audible, and at the data byte of a tone change while the channel
// sounds.
template <typename Sink>
inline void sn76489Write(PsgState& psg, uint32_t sampleTime, uint8_t data, Sink& sink) {
    constexpr uint8_t kLatchBit = 0x80;
    constexpr int kNoiseRegister = 6;
    constexpr int kSilentAttenuation = 15;
    const bool isLatch = (data & kLatchBit) != 0;
    // A latch byte names the register (channel * 2, +1 for attenuation) and
    // carries its low four bits; a data byte goes to the register last named.
    if (isLatch) psg.latched = (data >> 4) & 7;
    const int ch = psg.latched >> 1;

    if (psg.latched & 1) {
        const auto level = static_cast<uint8_t>(data & 0x0F);
        const bool audible = level != kSilentAttenuation;
        uint8_t& attenuation = psg.attenuation[static_cast<size_t>(ch)];
        if constexpr (FollowsLevels<Sink>) {
            if (audible && psg.audible[static_cast<size_t>(ch)] && level != attenuation) {
                sink.levelChange(kFirstPsgList + ch, sampleTime, level);
            } else if (audible && !psg.audible[static_cast<size_t>(ch)]) {
                sink.keyOnLevel(kFirstPsgList + ch, sampleTime, level, 0);
            }
        }
        attenuation = level;
        if (audible != psg.audible[static_cast<size_t>(ch)]) {
            psg.audible[static_cast<size_t>(ch)] = audible;
            sink.channelEvent(kFirstPsgList + ch,
                              ChannelEvent{sampleTime, audible ? 1 : 0, psg.period[static_cast<size_t>(ch)], 0});
        }
        return;
    }

    int32_t& period = psg.period[static_cast<size_t>(ch)];
    if (isLatch || psg.latched == kNoiseRegister) {
        // Low four bits of a tone period, or the noise control: no event, the
        // pitch of a tone counts as changed only once its data byte arrives.
        period = (period & 0x3F0) | (data & 0x0F);
        return;
    }
    period = ((data & 0x3F) << 4) | (period & 0x0F);
    if (psg.audible[static_cast<size_t>(ch)]) sink.channelEvent(kFirstPsgList + ch, ChannelEvent{sampleTime, 1, period, 0});
}
