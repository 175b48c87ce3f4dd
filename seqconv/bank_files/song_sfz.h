#pragma once
// A song's SFZ sampler map: one region per DAC key of its listing, so that a
// sampler on the DAC track's MIDI channel plays the right sample at each key.

#include <cstdint>
#include <string>
#include <vector>

#include "seqconv/bank_files/dac_key_map.h"

// Comment lines naming the song, then per key either a region (the key's WAV
// at its own pitch, pitch_keycenter = the key; one_shot for a sample that
// plays to its end, loop_continuous with the loop points for a looping one,
// no loop mode for one cut at note-off) or a comment saying why it has none.
std::string buildSongSfz(int32_t song, const std::vector<DacKeySample>& keys);
