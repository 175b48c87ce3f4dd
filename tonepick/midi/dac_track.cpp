#include "tonepick/midi/dac_track.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint8_t kVelocity = 0x7F;
constexpr int kMaxNote = 127;
constexpr uint32_t kNobody = 0xFFFFFFFF;

// A play's first byte on a clock that counts past the 32-bit sample clock's
// wraps, as the other tracks' times do.
uint64_t onTime(const KitPlay& p) { return (uint64_t{p.wraps} << 32) + p.firstTime; }

// One tick after a play's last byte (a play heard across a wrap ends after it).
uint64_t offTime(const KitPlay& p) { return onTime(p) + static_cast<uint32_t>(p.lastTime - p.firstTime) + 1; }

}  // namespace

int dacNoteOf(uint32_t sampleNumber) {
    return sampleNumber > static_cast<uint32_t>(kMaxNote - kFirstDacNote) ? kMaxNote
                                                                          : kFirstDacNote + static_cast<int>(sampleNumber);
}

void appendDacTrackEvents(MidiFileWriter& midi, TrackBuffer& buf, std::vector<KitPlay>& plays,
                          const std::vector<uint32_t>& numbers) {
    // The plays were recorded as they ended; the track wants them as they
    // start. Sorting in place (a full key, so equal plays are alike and the
    // order is the same everywhere) costs no memory beside them. A note
    // sounds for one play at a time, so the pending note-offs are one per
    // note at most, however many plays a forged log stacks at one time.
    std::sort(plays.begin(), plays.end(), [](const KitPlay& a, const KitPlay& b) {
        if (onTime(a) != onTime(b)) return onTime(a) < onTime(b);
        if (offTime(a) != offTime(b)) return offTime(a) < offTime(b);
        return a.sample < b.sample;
    });
    std::array<uint32_t, kMaxNote + 1> sounding;  // the play each note sounds for
    std::array<uint64_t, kMaxNote + 1> offAt{};   // and when that play ends
    sounding.fill(kNobody);
    uint64_t lastTime = 0;
    const auto event = [&](uint64_t time, uint8_t status, int note) {
        appendDelta(buf, static_cast<int64_t>(time - lastTime));
        const uint8_t bytes[3] = {static_cast<uint8_t>(status | kDacTrackChannel), static_cast<uint8_t>(note),
                                  kVelocity};
        buf.insert(buf.end(), bytes, bytes + 3);
        lastTime = time;
        midi.spillTrack(buf);
    };
    // Note-offs up to `time`, earliest first (then by play), before the
    // note-ons of that time.
    const auto endPlaysUntil = [&](uint64_t time) {
        for (;;) {
            int next = -1;
            for (int note = 0; note <= kMaxNote; ++note) {
                const auto n = static_cast<size_t>(note);
                if (sounding[n] == kNobody || offAt[n] > time) continue;
                if (next < 0 || offAt[n] < offAt[static_cast<size_t>(next)] ||
                    (offAt[n] == offAt[static_cast<size_t>(next)] && sounding[n] < sounding[static_cast<size_t>(next)]))
                    next = note;
            }
            if (next < 0) return;
            event(offAt[static_cast<size_t>(next)], kMidiNoteOff, next);
            sounding[static_cast<size_t>(next)] = kNobody;
        }
    };
    for (uint32_t i = 0; i < plays.size(); ++i) {
        const KitPlay& p = plays[i];
        const uint64_t on = onTime(p);
        endPlaysUntil(on);
        const int note = dacNoteOf(numbers[p.sample]);
        const auto n = static_cast<size_t>(note);
        if (sounding[n] != kNobody) event(on, kMidiNoteOff, note);  // the earlier play ends here
        event(on, kMidiNoteOn, note);
        sounding[n] = i;
        offAt[n] = offTime(p);
    }
    endPlaysUntil(UINT64_MAX);
}
