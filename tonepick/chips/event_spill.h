#pragma once
// The channel event lists grow with the input: a file of nothing but PSG data
// bytes or frequency writes makes one 16-byte event per two or three input
// bytes. Each list therefore keeps at most kEventsInMemory events in memory;
// a full list is moved as one block to a temporary file, and the MIDI writer
// reads the blocks back in order before the events still in memory
// (spilled_events.h). When no temporary file can be made the lists simply
// stay in memory.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tonepick/chips/channel_event.h"
#include "tonepick/chips/spill_file.h"
#include "tonepick/chips/spilled_events.h"

constexpr int kChannelListCount = kFmChannelCount + kPsgChannelCount;

// A key or pitch event as a spilled record: time, on, freq, extra, 32 bits each.
struct ChannelEventCodec {
    static constexpr size_t kSize = 16;
    static void encode(const ChannelEvent& e, uint8_t* out);
    static ChannelEvent decode(const uint8_t* in);
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

// Calls visit(event) for every event of list `list` in the order appended:
// the spilled blocks (none when spill is null), then those still in memory.
template <typename Visit>
void forEachChannelEvent(const ChannelEvents& lists, EventSpill* spill, int list, Visit&& visit) {
    const std::vector<ChannelEvent>& inMemory = lists[static_cast<size_t>(list)];
    if (spill == nullptr || spill->blocks[list].empty()) {
        for (const ChannelEvent& e : inMemory) visit(e);
        return;
    }
    for (SpilledEventCursor<ChannelEventCodec, ChannelEvent> cursor(spill->file, spill->blocks[list], inMemory);
         const ChannelEvent* e = cursor.peek(); cursor.next())
        visit(*e);
}
