#include "tonepick/chips/level_events.h"

#include "common/byte_order.h"

void LevelEventCodec::encode(const LevelEvent& e, uint8_t* out) {
    writeLe32(out, static_cast<uint32_t>(e.position));
    writeLe32(out + 4, static_cast<uint32_t>(e.position >> 32));
    writeLe32(out + 8, e.time);
    out[12] = e.level;
    out[13] = e.pan;
    out[14] = static_cast<uint8_t>(e.kind);
    out[15] = 0;
}

LevelEvent LevelEventCodec::decode(const uint8_t* in) {
    LevelEvent e;
    e.position = readLe32(in) | (uint64_t{readLe32(in + 4)} << 32);
    e.time = readLe32(in + 8);
    e.level = in[12];
    e.pan = in[13];
    e.kind = in[14] == 0 ? LevelEventKind::kKeyOn : LevelEventKind::kChange;
    return e;
}

void spillLevelEvents(LevelLists& levels, int list) {
    // Without a temporary file the list keeps growing in memory.
    if (!spillEventBlock<LevelEventCodec>(levels.file, levels.lists[static_cast<size_t>(list)], levels.blocks[list]))
        levels.failed = true;
}
