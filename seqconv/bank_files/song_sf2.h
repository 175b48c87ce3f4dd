#pragma once
// A song's SoundFont: the DAC samples of NNN.sfz as one preset (bank 0,
// preset 0) that any SoundFont player loads on the DAC track's MIDI channel.

#include <cstdint>
#include <vector>

#include "common/sf2_writer.h"
#include "seqconv/bank_files/dac_key_map.h"

struct SongSf2 {
    Sf2Bank bank;
    std::vector<int32_t> headers;  // the sample header of each of bank.samples
};

// One sample and one zone per DAC key that plays a sample: key range 48 + m,
// the key's sample at its rate with original pitch 48 + m. A looping sample
// loops with its loop points; one that plays to its end regardless of
// note-off gets a volume-envelope release longer than the sample; one cut at
// note-off keeps the player's release. Keys without a sample get no zone.
SongSf2 buildSongSf2(int32_t song, const std::vector<DacKeySample>& keys);
