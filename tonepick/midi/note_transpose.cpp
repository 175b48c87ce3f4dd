#include "tonepick/midi/note_transpose.h"

#include <algorithm>

#include "tonepick/midi/note_conversion.h"

namespace {

constexpr int kMidiNoteMax = 127;

}  // namespace

int transposeNote(int note, int semitones) { return std::clamp(note + semitones, 0, kMidiNoteMax); }

bool transposeClamps(int note, int semitones) {
    const int moved = note + semitones;
    return moved < 0 || moved > kMidiNoteMax;
}

uint64_t countClampedNotes(const ChannelEvents& events, EventSpill* spill, int semitones) {
    if (semitones == 0) return 0;
    uint64_t clamped = 0;
    // FM: a note starts at a key-on while none sounds; frequency moves under
    // it are bends.
    for (int list = 0; list < kFmChannelCount; ++list) {
        bool sounding = false;
        forEachChannelEvent(events, spill, list, [&](const ChannelEvent& e) {
            if (e.on != 0 && !sounding && transposeClamps(ym2612NoteOf(e.freq), semitones)) ++clamped;
            sounding = e.on != 0;
        });
    }
    // PSG: also a re-strike when the period moves to another note.
    for (int list = kFirstPsgList; list < kFirstPsgList + kPsgChannelCount; ++list) {
        bool sounding = false;
        int note = 0;
        forEachChannelEvent(events, spill, list, [&](const ChannelEvent& e) {
            if (e.on == 0) {
                sounding = false;
                return;
            }
            const int next = psgNoteOf(e.freq);
            if ((!sounding || next != note) && transposeClamps(next, semitones)) ++clamped;
            sounding = true;
            note = next;
        });
    }
    return clamped;
}
