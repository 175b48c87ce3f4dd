#pragma once
// The names of the files seqconv writes into its output folder, to find the
// ones an earlier run left there.

#include <string_view>

// Whether `name` is one that seqconv writes: "NNN.mid", "NNN.txt", "NNN.sfz"
// and "NNN.sf2" with a song number as "%03d" writes it (three digits, or more
// without a leading zero), "patch_*", "sample_*.wav" and "samples.txt".
bool isSeqconvOutputName(std::string_view name);
