#pragma once
// The run's chips when vgm.mid is to carry the chips' levels ("-m levels"):
// the same sink as RunChips, which also takes the level reports and records
// them beside the key events, each stamped with the number of key events of
// its list so far. A separate type, so that a run without levels compiles to
// chip models that make no level bookkeeping at all.

#include <cstdint>

#include "tonepick/chips/level_events.h"
#include "tonepick/run_chips.h"

struct LevelRunChips : RunChips {
    static constexpr bool kFollowsLevels = true;

    // What the dispatcher hands on, now reporting to this sink.
    void ym2612(int port, int reg, int value, uint32_t sampleTime) {
        run.chipTime = sampleTime;
        ym2612Write(run.ym, sampleTime, port, reg, value, *this);
    }
    void psg(uint8_t data, uint32_t sampleTime) { sn76489Write(run.psg, sampleTime, data, *this); }

    // What the chip models report on top.
    void keyOnLevel(int list, uint32_t sampleTime, uint8_t level, uint8_t pan) {
        record(list, sampleTime, level, pan, LevelEventKind::kKeyOn);
    }
    void levelChange(int list, uint32_t sampleTime, uint8_t level) {
        record(list, sampleTime, level, 0, LevelEventKind::kChange);
    }

private:
    void record(int list, uint32_t sampleTime, uint8_t level, uint8_t pan, LevelEventKind kind) {
        const uint64_t position = channelEventCount(run.channelEvents, run.eventSpill, list);
        recordLevelEvent(run.levelEvents, list, LevelEvent{position, sampleTime, level, pan, kind});
    }
};
