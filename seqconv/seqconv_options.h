#pragma once
// The options after the three paths and the optional flags word, in pairs
// ("-p tfi", "-pext bin", "-d samples.bin"), any order, the last of a
// repeated option winning.

#include <cstdio>
#include <string>

struct SeqconvOptions {
    bool patchFiles = false;     // -p or -pext given: write the used FM patches
    int patchFormat = 0;         // instrument format type (gems)
    std::string patchExtension;  // set from -pext or the format name
    const char* sampleBank = nullptr;  // -d: path of the sample bank
};

// Reads argv[first..argc-1] into `options`. On an error prints it (and an
// empty line) on `out` and returns false; the caller prints the usage text.
bool parseSeqconvOptions(int first, int argc, const char* const argv[], SeqconvOptions& options, std::FILE* out);
