#include "tonepick/chips/event_spill.h"

#include <memory>

#include "common/byte_order.h"

namespace {

constexpr size_t kEncodedEventSize = 16;  // time, on, freq, extra: 32 bits each

// Scratch for one encoded block, left uninitialised: every byte is written
// (or read from the file) before use, so zeroing it would be wasted work.
std::unique_ptr<uint8_t[]> encodedBlock(size_t events) {
    return std::unique_ptr<uint8_t[]>(new uint8_t[events * kEncodedEventSize]);
}

}  // namespace

void spillChannelEvents(ChannelEvents& lists, EventSpill& spill, int list) {
    std::vector<ChannelEvent>& events = lists[static_cast<size_t>(list)];

    const size_t size = events.size() * kEncodedEventSize;
    const std::unique_ptr<uint8_t[]> bytes = encodedBlock(events.size());
    uint8_t* p = bytes.get();
    for (const ChannelEvent& e : events) {
        writeLe32(p, e.time);
        writeLe32(p + 4, static_cast<uint32_t>(e.on));
        writeLe32(p + 8, static_cast<uint32_t>(e.freq));
        writeLe32(p + 12, static_cast<uint32_t>(e.extra));
        p += kEncodedEventSize;
    }
    const uint64_t offset = spill.file.size();
    // Without a temporary file the list keeps growing in memory.
    if (!spill.file.append(bytes.get(), size)) {
        spill.failed = true;
        return;
    }
    spill.blocks[list].push_back(SpilledEventBlock{offset, static_cast<uint32_t>(events.size())});
    spill.spilledCount[list] += events.size();
    events.clear();  // the capacity stays for the next block
}

bool readSpilledEvents(EventSpill& spill, const SpilledEventBlock& block, std::vector<ChannelEvent>& out) {
    const std::unique_ptr<uint8_t[]> bytes = encodedBlock(block.count);
    out.clear();
    out.reserve(block.count);
    if (!spill.file.read(block.offset, bytes.get(), block.count * kEncodedEventSize)) return false;
    const uint8_t* p = bytes.get();
    for (uint32_t i = 0; i < block.count; ++i, p += kEncodedEventSize) {
        out.push_back(ChannelEvent{readLe32(p), static_cast<int32_t>(readLe32(p + 4)),
                                   static_cast<int32_t>(readLe32(p + 8)),
                                   static_cast<int32_t>(readLe32(p + 12))});
    }
    return true;
}
