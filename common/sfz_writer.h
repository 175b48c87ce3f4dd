#pragma once
// SFZ, the plain-text map from MIDI keys to sample files that software
// samplers load. A file is comment lines and <region> headers, each followed
// by its opcodes; one opcode a line, so that a sample name with spaces stays
// one value for every player.

#include <cstdint>
#include <string>
#include <string_view>

enum class SfzLoopMode {
    kNoLoop,          // no loop_mode opcode: the sample stops at note-off (the players' default)
    kOneShot,         // plays to its end whatever the note-off
    kLoopContinuous,  // loops between loopStart and loopEnd until the note and its release end
};

struct SfzRegion {
    std::string sample;  // path relative to the .sfz file, '/' between folders
    int key = 60;        // the one key that plays it
    int pitchKeycenter = 60;  // the key at which it plays at its own rate
    SfzLoopMode loopMode = SfzLoopMode::kNoLoop;
    uint32_t loopStart = 0;  // first sample frame of the loop (kLoopContinuous)
    uint32_t loopEnd = 0;    // last sample frame of the loop, inclusive as SFZ counts it
};

// "// TEXT\n"; a line break inside `text` starts another comment line.
void appendSfzComment(std::string& sfz, std::string_view text);

// "<region>\n" then "sample=..", "key=..", "pitch_keycenter=.." and, when
// looped or one-shot, "loop_mode=.." (with "loop_start=" and "loop_end=" for
// a loop), each on its own line.
void appendSfzRegion(std::string& sfz, const SfzRegion& region);
