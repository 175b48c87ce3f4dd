#include "seqconv/interpreter/seq_event.h"

#include <algorithm>

// Every key compares as a signed 32-bit value; `spare` (the sequence number in
// the pass) settles every tie, so both orders are fully determined.
void sortTimeOrder(std::vector<SeqEvent>& events) {
    std::sort(events.begin(), events.end(), [](const SeqEvent& a, const SeqEvent& b) {
        if (a.time != b.time) return a.time < b.time;
        const bool aOn = a.on != 0;
        const bool bOn = b.on != 0;
        if (aOn != bOn) return !aOn;  // note-offs first
        return a.spare < b.spare;
    });
}

void sortTrackOrder(std::vector<SeqEvent>& events) {
    std::sort(events.begin(), events.end(), [](const SeqEvent& a, const SeqEvent& b) {
        if (a.channelId != b.channelId) return a.channelId < b.channelId;
        if (a.time != b.time) return a.time < b.time;
        const bool aOn = a.on != 0;
        const bool bOn = b.on != 0;
        if (aOn != bOn) return !aOn;
        return a.spare < b.spare;
    });
}
