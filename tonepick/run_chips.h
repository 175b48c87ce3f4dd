#pragma once
// The run's chips as the dispatcher drives them, and the sink the chip models
// report to: key and pitch events go to the event lists, key-on patches to the
// patch list, DAC bytes and switches to the DAC capture (finished samples to
// their WAV files), and odd writes to the run's messages.

#include <cstdint>
#include <cstdio>

#include "tonepick/chips/dac_capture.h"
#include "tonepick/chips/event_spill.h"
#include "tonepick/chips/sn76489.h"
#include "tonepick/chips/ym2612.h"
#include "tonepick/instruments/patch_list.h"
#include "tonepick/run_outputs.h"
#include "tonepick/tonepick_run.h"

struct RunChips {
    TonepickRun& run;

    // What the dispatcher hands on.
    void ym2612(int port, int reg, int value, uint32_t sampleTime) {
        ym2612Write(run.ym, sampleTime, port, reg, value, *this);
    }
    void psg(uint8_t data, uint32_t sampleTime) { sn76489Write(run.psg, sampleTime, data, *this); }
    void dacData(uint8_t value, uint32_t sampleTime) { ::dacData(run.dac, value, sampleTime); }
    void dacDataRun(const uint8_t* bytes, size_t count, uint32_t firstTime, uint32_t lastTime) {
        ::dacDataRun(run.dac, bytes, count, firstTime, lastTime);
    }
    void streamBytes(int /*stream*/, const uint8_t* bytes, size_t count, uint32_t firstTime, uint32_t lastTime) {
        ::dacDataRun(run.dac, bytes, count, firstTime, lastTime);
    }
    void unhandled(uint8_t command) { std::fprintf(run.out, "Unhandled: %X\n", static_cast<unsigned>(command)); }

    // What the chip models report.
    void channelEvent(int list, const ChannelEvent& event) {
        recordChannelEvent(run.channelEvents, run.eventSpill, list, event);
    }
    int32_t capturePatch(const PatchRecord& image, const PatchKey& key) {
        const bool wasFull = run.patches.full;
        const int32_t index = capturePatchWithKey(run.patches, image, key);
        if (run.patches.full && !wasFull) {
            std::fprintf(run.out, "Warning: only the first %zu instruments are kept\n", kMaxPatches);
        }
        return index;
    }
    void keepLouderLevels(int32_t index, const PatchRecord& image) { ::keepLouderLevels(run.patches, index, image); }
    void dacEnable(uint8_t value) {
        if (::dacEnable(run.dac, value)) writeDacSample(run);
    }
    void weirdWrite(int reg, int value) { std::fprintf(run.out, "Weird YM2612 reg write: %02X %02X\n", reg, value); }
    void keyOnUpdate(int value) {
        std::fprintf(run.out, "Unexpected behavior: key on update %02X %02X\n", kYm2612KeyRegister, value);
    }
    void unknownRegister(int port, int reg, int value) {
        std::fprintf(run.out, "YM2612_%d %02X %02X\n", port, reg, value);
    }

private:
    static constexpr int kYm2612KeyRegister = 0x28;
};
