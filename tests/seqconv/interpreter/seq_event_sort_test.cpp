// Time order and track order of the event records.

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "seqconv/interpreter/seq_event.h"

namespace {

SeqEvent record(int32_t channelId, int32_t time, uint8_t on, int32_t spare, uint8_t pitchEvent = 0) {
    SeqEvent e;
    e.channelId = channelId;
    e.time = time;
    e.on = on;
    e.spare = spare;
    e.pitchEvent = pitchEvent;
    return e;
}

std::vector<int32_t> spares(const std::vector<SeqEvent>& events) {
    std::vector<int32_t> out;
    for (const SeqEvent& e : events) out.push_back(e.spare);
    return out;
}

TEST(SeqEventSort, TimeOrderPutsNoteOffsFirstThenProductionOrder) {
    std::vector<SeqEvent> events = {
        record(0x500, 7, 1, 0),     // note-on in song 5
        record(0x003, 7, 0, 1),     // note-off, same time, other channel
        record(0x003, 3, 1, 2),
        record(0x000, 7, 1, 3, 1),  // pitch record at 7
        record(0x000, 7, 0, 4),     // zero-length note: off sorts before its on
        record(0x000, -5, 1, 5),    // signed keys: negative first
        record(0x000, INT_MAX, 0, 6),
    };
    sortTimeOrder(events);
    EXPECT_EQ(spares(events), std::vector<int32_t>({5, 2, 1, 4, 0, 3, 6}));
}

TEST(SeqEventSort, TrackOrderGroupsChannelsInAscendingId) {
    std::vector<SeqEvent> events = {
        record(0x500, 0, 1, 0),
        record(0x003, 90, 1, 1),
        record(0x003, 90, 0, 2),
        record(0x003, 90, 1, 3, 1),  // pitch record: after the note-off, by spare after 1
        record(0x500, -1, 0, 4),
        record(0x000, 1000, 1, 5),
        record(-1, 0, 1, 6),
    };
    sortTrackOrder(events);
    EXPECT_EQ(spares(events), std::vector<int32_t>({6, 5, 2, 1, 3, 4, 0}));
}

TEST(SeqEventSort, EmptyListStaysEmpty) {
    std::vector<SeqEvent> events;
    sortTimeOrder(events);
    sortTrackOrder(events);
    EXPECT_TRUE(events.empty());
}

}  // namespace
