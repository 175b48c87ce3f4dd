#pragma once
// One design for every event list that may outgrow memory (key and pitch
// events, level events): a list keeps at most kEventsInMemory events; a full
// list is encoded into one block of fixed-size records, appended to a
// temporary file, and read back block by block, in order, before the events
// still in memory. Each event type brings a codec:
//   static constexpr size_t kSize;                    // bytes per record
//   static void encode(const Event&, uint8_t* out);   // kSize bytes, little-endian
//   static Event decode(const uint8_t* in);

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "tonepick/chips/spill_file.h"

constexpr size_t kEventsInMemory = 16384;  // per list: 256 KiB of 16-byte events

struct SpilledEventBlock {
    uint64_t offset = 0;  // in the temporary file
    uint32_t count = 0;
};

namespace spilled_events_detail {

// Scratch for one encoded block, left uninitialised: every byte is written
// (or read from the file) before use, so zeroing it would be wasted work.
inline std::unique_ptr<uint8_t[]> encodedBlock(size_t bytes) { return std::unique_ptr<uint8_t[]>(new uint8_t[bytes]); }

}  // namespace spilled_events_detail

// Moves `events` to the end of `file` as one block recorded in `blocks` and
// empties it (its capacity stays); false, changing nothing, when the file
// cannot take it (the caller then keeps the list in memory).
template <typename Codec, typename Event>
bool spillEventBlock(SpillFile& file, std::vector<Event>& events, std::vector<SpilledEventBlock>& blocks) {
    const std::unique_ptr<uint8_t[]> bytes = spilled_events_detail::encodedBlock(events.size() * Codec::kSize);
    uint8_t* p = bytes.get();
    for (const Event& e : events) {
        Codec::encode(e, p);
        p += Codec::kSize;
    }
    const uint64_t offset = file.size();
    if (!file.append(bytes.get(), events.size() * Codec::kSize)) return false;
    blocks.push_back(SpilledEventBlock{offset, static_cast<uint32_t>(events.size())});
    events.clear();
    return true;
}

// Reads one block back into `out` (replacing its contents); false when the
// file cannot be read (the file then remembers it: SpillFile::readFailed).
template <typename Codec, typename Event>
bool readEventBlock(SpillFile& file, const SpilledEventBlock& block, std::vector<Event>& out) {
    const std::unique_ptr<uint8_t[]> bytes = spilled_events_detail::encodedBlock(block.count * Codec::kSize);
    out.clear();
    out.reserve(block.count);
    if (!file.read(block.offset, bytes.get(), block.count * Codec::kSize)) return false;
    const uint8_t* p = bytes.get();
    for (uint32_t i = 0; i < block.count; ++i, p += Codec::kSize) out.push_back(Codec::decode(p));
    return true;
}

// Reads the events of one list in the order recorded: its spilled blocks,
// then the events still in memory. A block that cannot be read back ends the
// list there (the rest is left out).
template <typename Codec, typename Event>
class SpilledEventCursor {
public:
    SpilledEventCursor(SpillFile& file, const std::vector<SpilledEventBlock>& blocks,
                       const std::vector<Event>& inMemory)
        : file_(file), blocks_(blocks), inMemory_(inMemory) {
        advanceSource();
    }

    // The next event, or null at the end of the list.
    const Event* peek() const { return index_ < current_->size() ? &(*current_)[index_] : nullptr; }
    void next() {
        if (++index_ >= current_->size()) advanceSource();
    }

private:
    void advanceSource() {
        if (atMemory_) return;  // the end of the list: stays there
        while (block_ < blocks_.size()) {
            if (!readEventBlock<Codec>(file_, blocks_[block_++], buffer_)) {
                buffer_.clear();  // unreadable: the rest of the list is left out
                current_ = &buffer_;
                index_ = 0;
                atMemory_ = true;
                return;
            }
            if (!buffer_.empty()) {
                current_ = &buffer_;
                index_ = 0;
                return;
            }
        }
        current_ = &inMemory_;
        index_ = 0;
        atMemory_ = true;
    }

    SpillFile& file_;
    const std::vector<SpilledEventBlock>& blocks_;
    const std::vector<Event>& inMemory_;
    size_t block_ = 0;             // next spilled block to read
    std::vector<Event> buffer_;    // the spilled block being read
    const std::vector<Event>* current_ = &buffer_;
    size_t index_ = 0;
    bool atMemory_ = false;        // current_ is the in-memory list, or the list ended early
};
