#pragma once
// The demo tune for tonepick: four bars in C with an FM lead, harmony, bass
// and a channel-3 special-mode chord (three FM instruments), PSG tones and a
// noise hi-hat, and kick and snare samples streamed to the YM2612 DAC from a
// PCM data block. Built from integer arithmetic only, so every platform makes
// the same bytes as the committed examples/demo.vgm.

#include <cstdint>
#include <vector>

std::vector<uint8_t> buildDemoVgm();
