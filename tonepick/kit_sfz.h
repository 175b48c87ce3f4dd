#pragma once
// kit.sfz and kit.sf2: the kit as an SFZ map and as a SoundFont, so that a
// sampler or any General MIDI player plays the DAC track of vgm.mid with the
// game's own drums without any mapping by hand.

#include <cstdint>
#include <string>
#include <vector>

#include "common/sf2_writer.h"

// How many samples, from number 0 on, are mapped to their notes: all but
// those from 91 on when two or more share note 127.
uint32_t kitMappedSampleCount(uint32_t sampleCount);

// The text of kit.sfz for a kit of `sampleCount` samples: a header comment,
// then per sample a one-shot region of sample_NNN.wav on its drum note, whose
// key centre is that note so it plays at its own rate. Samples from 91 on
// share note 127 when there are two or more of them; those get no region,
// and a comment line says which they are.
std::string kitSfzText(uint32_t sampleCount);

// kit.sf2's bank: bank 128, preset 0 (the General MIDI drum kit, which MIDI
// channel 10 plays), one zone per mapped sample on its note, each sample at
// its rate with its note as original pitch, unlooped. `bytes` and `rates` are
// the samples' by number.
Sf2Bank kitSf2Bank(const std::vector<uint64_t>& bytes, const std::vector<uint32_t>& rates);
