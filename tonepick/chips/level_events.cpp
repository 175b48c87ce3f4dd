#include "tonepick/chips/level_events.h"

#include <memory>

#include "common/byte_order.h"

namespace {

// position (64 bits as two little-endian halves), time, level, pan, kind, 0.
constexpr size_t kEncodedLevelSize = 16;

// Scratch for one encoded block, left uninitialised: every byte is written
// (or read from the file) before use.
std::unique_ptr<uint8_t[]> encodedBlock(size_t events) {
    return std::unique_ptr<uint8_t[]>(new uint8_t[events * kEncodedLevelSize]);
}

bool readSpilledLevels(LevelLists& levels, const SpilledEventBlock& block, std::vector<LevelEvent>& out) {
    const std::unique_ptr<uint8_t[]> bytes = encodedBlock(block.count);
    out.clear();
    out.reserve(block.count);
    if (!levels.file.read(block.offset, bytes.get(), block.count * kEncodedLevelSize)) return false;
    const uint8_t* p = bytes.get();
    for (uint32_t i = 0; i < block.count; ++i, p += kEncodedLevelSize) {
        LevelEvent e;
        e.position = readLe32(p) | (uint64_t{readLe32(p + 4)} << 32);
        e.time = readLe32(p + 8);
        e.level = p[12];
        e.pan = p[13];
        e.kind = p[14] == 0 ? LevelEventKind::kKeyOn : LevelEventKind::kChange;
        out.push_back(e);
    }
    return true;
}

}  // namespace

void spillLevelEvents(LevelLists& levels, int list) {
    std::vector<LevelEvent>& events = levels.lists[static_cast<size_t>(list)];
    const std::unique_ptr<uint8_t[]> bytes = encodedBlock(events.size());
    uint8_t* p = bytes.get();
    for (const LevelEvent& e : events) {
        writeLe32(p, static_cast<uint32_t>(e.position));
        writeLe32(p + 4, static_cast<uint32_t>(e.position >> 32));
        writeLe32(p + 8, e.time);
        p[12] = e.level;
        p[13] = e.pan;
        p[14] = static_cast<uint8_t>(e.kind);
        p[15] = 0;
        p += kEncodedLevelSize;
    }
    const uint64_t offset = levels.file.size();
    if (!levels.file.append(bytes.get(), events.size() * kEncodedLevelSize)) {
        levels.failed = true;  // the list keeps growing in memory
        return;
    }
    levels.blocks[list].push_back(SpilledEventBlock{offset, static_cast<uint32_t>(events.size())});
    events.clear();  // the capacity stays for the next block
}

void LevelEventCursor::advanceSource() {
    if (inMemory_) return;  // the end of the list: stays there
    const std::vector<SpilledEventBlock>& blocks = levels_.blocks[list_];
    while (block_ < blocks.size()) {
        if (!readSpilledLevels(levels_, blocks[block_++], buffer_)) {
            buffer_.clear();  // unreadable: the rest of the list is left out
            current_ = &buffer_;
            index_ = 0;
            inMemory_ = true;
            return;
        }
        if (!buffer_.empty()) {
            current_ = &buffer_;
            index_ = 0;
            return;
        }
    }
    current_ = &levels_.lists[static_cast<size_t>(list_)];
    index_ = 0;
    inMemory_ = true;
}
