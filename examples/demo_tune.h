#pragma once
// The demo tune for tonepick: four bars in C with an FM lead, harmony, bass
// and a channel-3 special-mode chord (three FM instruments), PSG tones and a
// noise hi-hat, and kick and snare samples streamed to the YM2612 DAC from a
// PCM data block: by PCM commands, and in the last bar by a DAC stream. Built from integer arithmetic only, so every platform makes
// the same bytes as the committed examples/demo.vgm.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

std::vector<uint8_t> buildDemoVgm();

// What the tune plays, counted from its score, for tests that check what a
// MIDI or WAV reader finds in tonepick's output.
struct DemoTuneContent {
    std::array<int, 6> fmNotes{};   // key-ons per FM channel (channel 3's chord keys all operators at once)
    std::array<int, 4> psgNotes{};  // notes per PSG channel (tones 0-2, noise)
    uint32_t endTime = 0;           // sample time of the last key-off
    std::vector<size_t> samples;    // DAC sample lengths in bytes, in playing order
    std::vector<uint32_t> sampleSpans;  // samples from each one's first byte to its last
};
DemoTuneContent demoTuneContent();
