#pragma once
// The drum track of the kit: one note per play of a kit sample on the General
// MIDI drum channel, so a sequencer shows the drum part and a sampler with the
// kit's WAV files on those notes plays it back.

#include <cstdint>
#include <vector>

#include "common/midi_file.h"
#include "common/midi_track.h"
#include "tonepick/chips/dac_kit.h"

constexpr int kDacTrackChannel = 9;  // the General MIDI drum channel
constexpr int kFirstDacNote = 36;    // General MIDI bass drum: sample 0

// MIDI note of kit sample number n: 36 + n, at most 127.
int dacNoteOf(uint32_t sampleNumber);

// Appends the track's events after its name: for each play a note-on at its
// first byte's time and a note-off one tick after its last byte, velocity 127.
// A play that starts while its note still sounds from an earlier play ends
// that one first, at the same time. `numbers` maps a play's provisional sample
// index to the sample's number. Sorts `plays` by their start; the track is
// streamed through `midi` as it grows.
void appendDacTrackEvents(MidiFileWriter& midi, TrackBuffer& buf, std::vector<KitPlay>& plays,
                          const std::vector<uint32_t>& numbers);
