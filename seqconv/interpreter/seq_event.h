#pragma once
// What the GEMS interpreter produces and the writers consume: timed event
// records, the interpreter registers, and the two orders the events are
// sorted in (time order between the passes, track order before writing).

#include <cstdint>
#include <vector>

struct SeqEvent {
    int32_t note = 0;       // 0..95, 0 for pitch records
    int32_t time = 0;       // ticks
    int32_t channelId = 0;  // song number * 256 + channel index
    int32_t volume = 0;     // attenuation, 0 = loudest
    int32_t patch = -1;     // -1 before the channel's first patch command
    int32_t priority = 0;   // operand of the last priority command (0x6A)
    int32_t pitch = 0;      // 1/256 semitone units
    int32_t spare = 0;      // sequence number within its pass: the final tie-break
    uint8_t on = 0;         // 1: note-on or pitch record; 0: note-off
    uint8_t pitchEvent = 0; // 1: pitch record
};

// The interpreter's registers; channelId to pitch are copied into each record.
struct SeqState {
    int32_t time = 0;       // ticks since the start of the song
    int32_t delay = 0;      // ticks from a note or step to the next one
    int32_t duration = 0;   // ticks a note sounds
    bool delayContinues = false;     // the last byte was a delay byte: the next one adds its bits below
    bool durationContinues = false;  // the same for duration bytes
    int32_t channelId = 0;
    int32_t volume = 0;
    int32_t patch = -1;
    int32_t priority = 0;
    int32_t pitch = 0;
    int32_t tempo = 0;    // never reset: carries across channels, passes and songs
    int32_t maxTime = 0;  // 0 in the first pass, the end time in the second
};

// time, then note-offs first, then spare.
void sortTimeOrder(std::vector<SeqEvent>& events);
// channelId, then time, then note-offs first, then spare.
void sortTrackOrder(std::vector<SeqEvent>& events);
