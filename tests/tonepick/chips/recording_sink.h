#pragma once
// A chip sink for model tests: keeps the event lists and a real patch list
// as the driver would, and records every diagnostic call as a short line, so
// that a chip model is tested with no run around it. The diagnostics read
// like the messages the driver prints for them.

#include <cstdio>
#include <string>
#include <vector>

#include "tonepick/chips/channel_event.h"
#include "tonepick/chips/patch_record.h"
#include "tonepick/instruments/patch_list.h"

struct RecordingSink {
    ChannelEvents channelEvents;
    PatchList patches;
    std::vector<std::string> calls;  // diagnostics and DAC calls, in order

    void channelEvent(int list, const ChannelEvent& e) { channelEvents[static_cast<size_t>(list)].push_back(e); }
    int32_t capturePatch(const PatchRecord& image, const PatchKey& key) {
        return capturePatchWithKey(patches, image, key);
    }
    void keepLouderLevels(int32_t index, const PatchRecord& image) { ::keepLouderLevels(patches, index, image); }
    void dacData(uint8_t value, uint32_t time) { note("dac %02X @%u", value, time); }
    void dacEnable(uint8_t value) { note("enable %02X", value); }
    void weirdWrite(int reg, int value) { note("Weird YM2612 reg write: %02X %02X", reg, value); }
    void keyOnUpdate(int value) { note("Unexpected behavior: key on update 28 %02X", value); }
    void unknownRegister(int port, int reg, int value) { note("YM2612_%d %02X %02X", port, reg, value); }

    // The calls since the last take, one per line.
    std::string take() {
        std::string all;
        for (const std::string& c : calls) all += c + "\n";
        calls.clear();
        return all;
    }

private:
    template <typename... Args>
    void note(const char* format, Args... args) {
        char line[64];
        std::snprintf(line, sizeof line, format, args...);
        calls.emplace_back(line);
    }
};
