#pragma once
// Which sample each DAC key of a song plays: the plain table the sampler map
// writers read (one entry per DAC line of the song's listing, in its order).

#include <cstdint>
#include <string>
#include <vector>

#include "seqconv/bank_files/sample_bank.h"
#include "seqconv/output/instrument_bank.h"

constexpr int32_t kFirstDacMidiKey = 48;  // DAC key m is MIDI note 48 + m

struct DacKeySample {
    int32_t midiKey = 0;   // 48 + the key's position in the listing
    int32_t dacKey = 0;    // patch * 256 + byte-code note, as listed
    int32_t header = 0;    // the sample header the note plays
    int32_t rateCode = 0;  // the header's, or the DAC patch's when it overrides it
    uint32_t rate = 0;     // Hz
    SampleProblem problem = SampleProblem::kNone;
    std::string file;      // WAV file name in the output directory; empty with a problem
    uint32_t frames = 0;
    SampleLoopFrames loop;
    bool cutAtNoteOff = false;
};

// The rate code patch `patch` plays its samples at: the second byte of a DAC
// patch unless that byte is 4, which leaves the sample header's code.
int effectiveRateCode(const InstrumentBank& instruments, int32_t patch, int headerCode);

// "sample_NN.wav" at the header's own rate code, "sample_NN_CC.wav" at another.
std::string sampleFileName(int32_t header, int rateCode, int headerCode);

// One entry per key of `dacKeys` (patch * 256 + note), in the same order.
std::vector<DacKeySample> mapDacKeys(const SampleBank& samples, const InstrumentBank& instruments,
                                     const std::vector<int32_t>& dacKeys, bool pal);
