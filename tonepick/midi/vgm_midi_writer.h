#pragma once
// vgm.mid: a format-1 file with a tempo track, six FM tracks and four PSG
// tracks. One tick is one 44100 Hz sample (division 22050, 500000 us per
// quarter note); the whole file lies one octave below standard MIDI pitch.

#include "tonepick/chips/channel_event.h"

class OutputFile;

// Writes the whole file from the ten event lists; false when any write
// accepted fewer bytes than offered (the file is written to the end anyway).
bool writeVgmMidi(const ChannelEvents& events, OutputFile& file);
