#pragma once
// vgm.mid: a format-1 file with a tempo track, six FM tracks and four PSG tracks.

#include "tonepick/chips/channel_event.h"

class OutputFile;

// Writes the whole file; false when a write was short.
bool writeVgmMidi(const ChannelEvents& events, OutputFile& file);
