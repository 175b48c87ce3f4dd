#pragma once
// The channel event lists grow with the input: a file of nothing but PSG data
// bytes or frequency writes makes one 16-byte event per two or three input
// bytes. Each list therefore keeps at most kEventsInMemory events in memory;
// a full list is moved as one block to a temporary file, and the MIDI writer
// reads the blocks back in order before the events still in memory. When no
// temporary file can be made the lists simply stay in memory.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tonepick/chips/channel_event.h"
#include "tonepick/chips/spill_file.h"

constexpr size_t kEventsInMemory = 16384;  // per list: 256 KiB
constexpr int kChannelListCount = kFmChannelCount + kPsgChannelCount;

struct SpilledEventBlock {
    uint64_t offset = 0;  // in the temporary file
    uint32_t count = 0;
};

struct EventSpill {
    SpillFile file;
    std::vector<SpilledEventBlock> blocks[kChannelListCount];  // per list, in order
    uint64_t spilledCount[kChannelListCount] = {};             // per list: events in its blocks
    bool failed = false;  // the file could not take a block: keep everything in memory
};

// Moves the full list `list` to the temporary file as one block.
void spillChannelEvents(ChannelEvents& lists, EventSpill& spill, int list);

// Appends event to lists[list], moving the list to the temporary file once it
// holds kEventsInMemory events. Inline: it runs for every key and pitch event.
inline void recordChannelEvent(ChannelEvents& lists, EventSpill& spill, int list, const ChannelEvent& event) {
    std::vector<ChannelEvent>& events = lists[static_cast<size_t>(list)];
    events.push_back(event);
    if (events.size() >= kEventsInMemory && !spill.failed) [[unlikely]] spillChannelEvents(lists, spill, list);
}

// Events recorded on list `list` so far, spilled or not.
inline uint64_t channelEventCount(const ChannelEvents& lists, const EventSpill& spill, int list) {
    return spill.spilledCount[list] + lists[static_cast<size_t>(list)].size();
}

// Reads one spilled block back into out (replacing its contents); false when
// the temporary file cannot be read.
bool readSpilledEvents(EventSpill& spill, const SpilledEventBlock& block, std::vector<ChannelEvent>& out);

// Calls visit(event) for every event of list `list` in the order appended:
// the spilled blocks (none when spill is null), then those still in memory.
template <typename Visit>
void forEachChannelEvent(const ChannelEvents& lists, EventSpill* spill, int list, Visit&& visit) {
    if (spill != nullptr && !spill->blocks[list].empty()) {
        std::vector<ChannelEvent> block;
        for (const SpilledEventBlock& b : spill->blocks[list]) {
            if (!readSpilledEvents(*spill, b, block)) break;
            for (const ChannelEvent& e : block) visit(e);
        }
    }
    for (const ChannelEvent& e : lists[static_cast<size_t>(list)]) visit(e);
}
