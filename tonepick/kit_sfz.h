#pragma once
// kit.sfz: the kit as an SFZ map, so that a sampler plays the DAC track of
// vgm.mid with the game's own drums without any mapping by hand.

#include <cstdint>
#include <string>

// The text of kit.sfz for a kit of `sampleCount` samples: a header comment,
// then per sample a one-shot region of sample_NNN.wav on its drum note, whose
// key centre is that note so it plays at its own rate. Samples from 91 on
// share note 127 when there are two or more of them; those get no region,
// and a comment line says which they are.
std::string kitSfzText(uint32_t sampleCount);
