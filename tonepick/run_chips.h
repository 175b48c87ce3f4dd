#pragma once
// The run's chips as the dispatcher drives them, and the sink the chip models
// report to: key and pitch events go to the event lists, key-on patches to the
// patch list, DAC bytes and switches to the DAC capture (finished samples to
// their WAV files), and odd writes to the run's messages.

#include <cstdint>
#include <cstdio>

#include "tonepick/chips/dac_capture.h"
#include "tonepick/chips/dac_kit.h"
#include "tonepick/chips/event_spill.h"
#include "tonepick/chips/sn76489.h"
#include "tonepick/chips/ym2612.h"
#include "tonepick/instruments/patch_list.h"
#include "tonepick/run_outputs.h"
#include "tonepick/tonepick_run.h"
#include "tonepick/vgm/dac_stream_player.h"

struct RunChips {
    TonepickRun& run;

    // What the dispatcher hands on.
    void ym2612(int port, int reg, int value, uint32_t sampleTime) {
        run.chipTime = sampleTime;
        ym2612Write(run.ym, sampleTime, port, reg, value, *this);
    }
    void psg(uint8_t data, uint32_t sampleTime) { sn76489Write(run.psg, sampleTime, data, *this); }
    // DAC bytes by their source. For the designed stretches they all go to
    // the capture; for the kit, PCM and stream bytes are plays of places in
    // the PCM data, and only direct writes go to the capture, whose stretches
    // are the direct plays.
    void dacData(uint8_t value, uint32_t sampleTime) {
        if (run.settings.sampleKit && run.dac.enabled) kitDirectByte(run.kit, sampleTime);
        ::dacData(run.dac, value, sampleTime);
    }
    void dacDataRun(const uint8_t* bytes, size_t count, uint32_t firstTime, uint32_t lastTime) {
        if (run.settings.sampleKit && run.dac.enabled && count != 0) kitDirectByte(run.kit, firstTime);
        ::dacDataRun(run.dac, bytes, count, firstTime, lastTime);
    }
    void pcmData(uint32_t block, uint32_t position, uint8_t value, uint32_t sampleTime) {
        if (!run.settings.sampleKit) {
            ::dacData(run.dac, value, sampleTime);
        } else if (run.dac.enabled) {
            kitPcmBytes(run.kit, block, position, 1, sampleTime, sampleTime);
        }
    }
    void pcmDataRun(uint32_t block, uint32_t position, const uint8_t* bytes, size_t count, uint32_t firstTime,
                    uint32_t lastTime) {
        if (!run.settings.sampleKit) {
            ::dacDataRun(run.dac, bytes, count, firstTime, lastTime);
        } else if (run.dac.enabled) {
            kitPcmBytes(run.kit, block, position, count, firstTime, lastTime);
        }
    }
    void pcmPlayBreak() {
        if (run.settings.sampleKit) kitEndPcmPlay(run.kit);
    }
    void streamStarted(int stream) {
        if (run.settings.sampleKit) kitStreamStarted(run.kit, stream);
    }
    void streamBytes(int stream, const uint8_t* bytes, size_t count, uint32_t firstTime, uint32_t lastTime,
                     uint64_t firstWrite) {
        if (!run.settings.sampleKit) {
            ::dacDataRun(run.dac, bytes, count, firstTime, lastTime);
        } else if (run.dac.enabled) {
            const DacStreamPlace place = dacStreamPlaceOfWrite(run.stream.dacStreams, stream, firstWrite);
            // The stream player's layer does not know the kit: its place is copied over.
            kitStreamBytes(run.kit, stream, count, firstTime, lastTime,
                           KitStreamStart{place.inBank, KitPlace{place.block, place.offset, place.step, place.reverse},
                                          place.passWrites, place.frequency});
        }
    }
    void unhandled(uint8_t command) { std::fprintf(run.out, "Unhandled: %X\n", static_cast<unsigned>(command)); }

    // What the chip models report.
    void channelEvent(int list, const ChannelEvent& event) {
        recordChannelEvent(run.channelEvents, run.eventSpill, list, event);
    }
    int32_t capturePatch(const PatchRecord& image, const PatchKey& key) {
        const bool wasFull = run.patches.full;
        const int32_t index = capturePatchWithKey(run.patches, image, key);
        if (index >= 0 && static_cast<size_t>(index) == run.patchFirstHeard.size())
            run.patchFirstHeard.push_back(run.chipTime);
        if (run.patches.full && !wasFull) {
            std::fprintf(run.out, "Warning: only the first %zu instruments are kept\n", kMaxPatches);
        }
        return index;
    }
    void keepLouderLevels(int32_t index, const PatchRecord& image) { ::keepLouderLevels(run.patches, index, image); }
    void dacEnable(uint8_t value) {
        if (!::dacEnable(run.dac, value)) return;
        if (!run.settings.sampleKit) {
            writeDacSample(run);
            return;
        }
        kitEndPcmPlay(run.kit);
        DacSample stretch = finishDacSample(run.dac);
        kitDirectStretch(run.kit, stretch);
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
