#include "tonepick/chips/sn76489.h"

#include "tonepick/tonepick_run.h"

namespace {

constexpr uint8_t kLatchBit = 0x80;
constexpr int kNoiseRegister = 6;
constexpr int kSilentAttenuation = 15;

void appendPsgEvent(TonepickRun& run, int ch, bool on) {
    recordChannelEvent(run.channelEvents, run.eventSpill, kFirstPsgList + ch,
                       ChannelEvent{run.stream.sampleTime, on ? 1 : 0, run.psg.period[ch], 0});
}

}  // namespace

void sn76489Write(TonepickRun& run, uint8_t data) {
    PsgState& psg = run.psg;
    const bool isLatch = (data & kLatchBit) != 0;
    // A latch byte names the register (channel * 2, +1 for attenuation) and
    // carries its low four bits; a data byte goes to the register last named.
    if (isLatch) psg.latched = (data >> 4) & 7;
    const int ch = psg.latched >> 1;

    if (psg.latched & 1) {
        const bool audible = (data & 0x0F) != kSilentAttenuation;
        if (audible != psg.audible[ch]) {
            psg.audible[ch] = audible;
            appendPsgEvent(run, ch, audible);
        }
        return;
    }

    int32_t& period = psg.period[ch];
    if (isLatch || psg.latched == kNoiseRegister) {
        // Low four bits of a tone period, or the noise control: no event, the
        // pitch of a tone counts as changed only once its data byte arrives.
        period = (period & 0x3F0) | (data & 0x0F);
        return;
    }
    period = ((data & 0x3F) << 4) | (period & 0x0F);
    if (psg.audible[ch]) appendPsgEvent(run, ch, true);
}
