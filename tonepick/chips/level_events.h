#pragma once
// The loudness of each chip channel while it sounds, recorded beside the key
// events when vgm.mid is to carry velocities, expression and pan. A level
// event does not hold its place by time alone (a volume write and a key-on
// often share a sample): it names the number of key events of its list that
// came before it, so the MIDI writer merges both lists in stream order.
//
// Like the key event lists, each list keeps at most kEventsInMemory events in
// memory and moves full lists as blocks to a temporary file of its own, in
// the same design (spilled_events.h).

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tonepick/chips/event_spill.h"
#include "tonepick/chips/spill_file.h"
#include "tonepick/chips/spilled_events.h"

enum class LevelEventKind : uint8_t {
    kKeyOn = 0,   // the level at a key-on, recorded just before the key-on event
    kChange = 1,  // a new level while the channel sounds
};

// FM levels count total-level steps of 0.75 dB (0 loudest, 127 softest), with
// kFmNoCarrier when no carrier operator is keyed; PSG levels are attenuation
// steps of 2 dB (0..14: 15 is silence and makes no note).
constexpr uint8_t kFmNoCarrier = 128;

// Bits 7 (left) and 6 (right) of register 0xB4, moved down to bits 1 and 0.
constexpr uint8_t kPanLeft = 2;
constexpr uint8_t kPanRight = 1;

struct LevelEvent {
    uint64_t position = 0;  // key events of the same list recorded before this one
    uint32_t time = 0;      // sampleTime of the write
    uint8_t level = 0;
    uint8_t pan = 0;        // FM key-on only: kPanLeft | kPanRight as register 0xB4 held them
    LevelEventKind kind = LevelEventKind::kKeyOn;
};

using LevelEventLists = std::array<std::vector<LevelEvent>, kChannelListCount>;

struct LevelLists {
    LevelEventLists lists;  // the most recent events of each list
    SpillFile file;         // older blocks of long lists
    std::vector<SpilledEventBlock> blocks[kChannelListCount];
    bool failed = false;    // the file could not take a block: keep everything in memory
};

// Moves the full list `list` to the temporary file as one block.
void spillLevelEvents(LevelLists& levels, int list);

// Appends event to list `list`. Inline: it runs for every volume change.
inline void recordLevelEvent(LevelLists& levels, int list, const LevelEvent& event) {
    std::vector<LevelEvent>& events = levels.lists[static_cast<size_t>(list)];
    events.push_back(event);
    if (events.size() >= kEventsInMemory && !levels.failed) [[unlikely]] spillLevelEvents(levels, list);
}

// A level event as a spilled record: position (64 bits as two little-endian
// halves), time, level, pan, kind, 0.
struct LevelEventCodec {
    static constexpr size_t kSize = 16;
    static void encode(const LevelEvent& e, uint8_t* out);
    static LevelEvent decode(const uint8_t* in);
};

// Reads the events of one list in the order recorded, spilled blocks first.
// The writer pulls them one at a time while it walks the key events: peek()
// gives the next event, or null at the end of the list (or when a spilled
// block cannot be read back: the rest of the list is then left out).
class LevelEventCursor : public SpilledEventCursor<LevelEventCodec, LevelEvent> {
public:
    LevelEventCursor(LevelLists& levels, int list)
        : SpilledEventCursor(levels.file, levels.blocks[list], levels.lists[static_cast<size_t>(list)]) {}
};
