#pragma once
// The samples the songs of a run play: each written once as a WAV file per
// rate code it is played at, and all headers listed in samples.txt.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "seqconv/bank_files/dac_key_map.h"

struct SampleUse {
    std::set<int> rateCodes;     // the codes it is played at
    std::vector<int32_t> songs;  // ascending, each once
};

struct SampleUses {
    std::map<int32_t, SampleUse> byHeader;
    std::set<int32_t> silentKeys;  // DAC keys (patch * 256 + note) that play no sample
};

// Adds the keys of one song (songs are recorded in ascending order).
void recordSongSamples(SampleUses& uses, int32_t song, const std::vector<DacKeySample>& keys);

// The WAV files to write: (header, rate code) pairs that give a sample.
struct SampleFile {
    int32_t header = 0;
    int rateCode = 0;
};
std::vector<SampleFile> sampleFilesToWrite(const SampleBank& bank, const SampleUses& uses);

// The whole WAV file of one such pair, with a smpl chunk when it loops.
std::vector<uint8_t> buildSampleWav(const SampleBank& bank, const SampleFile& file, bool pal);

// samples.txt: a tab-separated header line, then one line per header of the
// table and one per played number past its end: number, offset, skip, bytes,
// loop, rate code, rate, 4-bit, cut, files (or why there is none), songs.
std::string buildSamplesListing(const SampleBank& bank, const SampleUses& uses, bool pal);
