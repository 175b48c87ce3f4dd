#include "tonepick/midi/vgm_midi_writer.h"

#include "common/output_files.h"

// Skeleton: replaced by the MIDI writer.
bool writeVgmMidi(const ChannelEvents&, OutputFile&) { return true; }
