#pragma once
// vgm.mid: a format-1 file with a tempo track, six FM tracks and four PSG
// tracks. One tick is one 44100 Hz sample (division 22050, 500000 us per
// quarter note); the whole file lies one octave below standard MIDI pitch.

#include <cstdint>
#include <vector>

#include "tonepick/chips/channel_event.h"
#include "tonepick/chips/dac_kit.h"
#include "tonepick/chips/event_spill.h"
#include "tonepick/chips/level_events.h"

class OutputFile;

// Writes the whole file from the ten event lists, each preceded by its blocks
// in `spill` (none when null); false when any write accepted fewer bytes than
// offered or a seek failed, or when a spilled block of key or level events
// could not be read back (the file is written to the end anyway). Each
// track's length is filled in after its body, so the file must be seekable.
// With `levels` (level_controllers.h), note-ons take their velocities from
// the channels' levels and the tracks gain expression and pan controllers at
// the times of the level events; without, every velocity is 127. With `drums`
// (the kit's plays and its sample numbers), a twelfth track "DAC" follows with
// the drum part (see dac_track.h). `transpose` semitones are added to every
// FM and PSG note, clamped to 0..127 (note_transpose.h); the drums keep theirs.
struct VgmMidiDrums {
    std::vector<KitPlay>& plays;  // sorted by their start while the track is written
    const std::vector<uint32_t>& numbers;
};
bool writeVgmMidi(const ChannelEvents& events, EventSpill* spill, OutputFile& file, LevelLists* levels = nullptr,
                  const VgmMidiDrums* drums = nullptr, int transpose = 0);
bool writeVgmMidi(const ChannelEvents& events, OutputFile& file);
