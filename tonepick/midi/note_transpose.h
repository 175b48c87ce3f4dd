#pragma once
// Transposition of vgm.mid's FM and PSG notes (-t): the file lies one octave
// below concert pitch (middle C is note 48), so +12 puts it at concert pitch.
// Only the note numbers move; bends stay relative to their note, and which
// events strike a note is decided on the notes before transposition.

#include <cstdint>

#include "tonepick/chips/channel_event.h"
#include "tonepick/chips/event_spill.h"

constexpr int kMaxTranspose = 127;  // semitones either way

// note + semitones, limited to the MIDI range 0..127.
int transposeNote(int note, int semitones);

// True when note + semitones lies outside 0..127 (the note gets clamped).
bool transposeClamps(int note, int semitones);

// How many note-ons of the FM and PSG tracks of vgm.mid get clamped when
// transposed by `semitones`: one per note-on, a PSG re-strike being a note-on
// of its own. Reads the lists as the writer does (spilled blocks first).
uint64_t countClampedNotes(const ChannelEvents& events, EventSpill* spill, int semitones);
