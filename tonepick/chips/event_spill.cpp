#include "tonepick/chips/event_spill.h"

#include "common/byte_order.h"

void ChannelEventCodec::encode(const ChannelEvent& e, uint8_t* out) {
    writeLe32(out, e.time);
    writeLe32(out + 4, static_cast<uint32_t>(e.on));
    writeLe32(out + 8, static_cast<uint32_t>(e.freq));
    writeLe32(out + 12, static_cast<uint32_t>(e.extra));
}

ChannelEvent ChannelEventCodec::decode(const uint8_t* in) {
    return ChannelEvent{readLe32(in), static_cast<int32_t>(readLe32(in + 4)), static_cast<int32_t>(readLe32(in + 8)),
                        static_cast<int32_t>(readLe32(in + 12))};
}

void spillChannelEvents(ChannelEvents& lists, EventSpill& spill, int list) {
    std::vector<ChannelEvent>& events = lists[static_cast<size_t>(list)];
    const size_t count = events.size();
    // Without a temporary file the list keeps growing in memory.
    if (!spillEventBlock<ChannelEventCodec>(spill.file, events, spill.blocks[list])) {
        spill.failed = true;
        return;
    }
    spill.spilledCount[list] += count;
}
