#include "tonepick/midi/dac_track.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint8_t kVelocity = 0x7F;
constexpr int kMaxNote = 127;
constexpr uint32_t kNobody = 0xFFFFFFFF;

struct DrumEvent {
    uint64_t time;   // 64-bit: a note-off one tick after time 0xFFFFFFFF
    bool on;
    uint32_t play;   // index into the plays
};

}  // namespace

int dacNoteOf(uint32_t sampleNumber) {
    return sampleNumber > static_cast<uint32_t>(kMaxNote - kFirstDacNote) ? kMaxNote
                                                                          : kFirstDacNote + static_cast<int>(sampleNumber);
}

void appendDacTrackEvents(TrackBuffer& buf, const std::vector<KitPlay>& plays, const std::vector<uint32_t>& numbers) {
    std::vector<DrumEvent> events;
    events.reserve(plays.size() * 2);
    for (uint32_t i = 0; i < plays.size(); ++i) {
        const KitPlay& p = plays[i];
        events.push_back(DrumEvent{p.firstTime, true, i});
        // The sample clock is 32 bits: a play heard across its wrap ends after it.
        const uint64_t last = p.lastTime >= p.firstTime ? p.lastTime : uint64_t{p.lastTime} + (uint64_t{1} << 32);
        events.push_back(DrumEvent{static_cast<uint64_t>(p.firstTime) + (last - p.firstTime) + 1, false, i});
    }
    // Time order; at one time note-offs first, then by play (the order heard).
    std::sort(events.begin(), events.end(), [](const DrumEvent& a, const DrumEvent& b) {
        if (a.time != b.time) return a.time < b.time;
        if (a.on != b.on) return !a.on;
        return a.play < b.play;
    });
    std::array<uint32_t, kMaxNote + 1> sounding;  // the play each note sounds for
    sounding.fill(kNobody);
    uint64_t lastTime = 0;
    const auto event = [&](uint64_t time, uint8_t status, int note) {
        appendDelta(buf, static_cast<int64_t>(time - lastTime));
        const uint8_t bytes[3] = {static_cast<uint8_t>(status | kDacTrackChannel), static_cast<uint8_t>(note),
                                  kVelocity};
        buf.insert(buf.end(), bytes, bytes + 3);
        lastTime = time;
    };
    for (const DrumEvent& e : events) {
        const int note = dacNoteOf(numbers[plays[e.play].sample]);
        uint32_t& owner = sounding[static_cast<size_t>(note)];
        if (e.on) {
            if (owner != kNobody) event(e.time, kMidiNoteOff, note);  // the earlier play ends here
            event(e.time, kMidiNoteOn, note);
            owner = e.play;
        } else if (owner == e.play) {
            event(e.time, kMidiNoteOff, note);
            owner = kNobody;
        }
    }
}
