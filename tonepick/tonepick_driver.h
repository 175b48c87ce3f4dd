#pragma once
// The tonepick program: command line, the run from start to exit.

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct TonepickRun;

// Exit codes of the program.
enum TonepickExit {
    kExitOk = 0,           // completed run (also after an invalid command), usage text asked for
    kExitCannotStart = 1,  // command line error, or the input cannot be opened
    kExitFailed = 2,       // VGM ended before its end command, an output file failed, or the
                           // output directory could not be made
};

// Runs the program with its arguments (argv[0] is the program name) and
// returns the exit code: 0, 1 (the run could not start) or 2 (the VGM ended
// early, or any output file or the output directory could not be made or
// written whole).
TonepickExit runTonepick(TonepickRun& run, int argc, const char* const argv[]);

// Everything after the command line and the opening of the input: reads the
// VGM from memory with run.settings already set, writes the outputs, and
// returns the exit code as runTonepick would (0 or 2). Tests and fuzzers use it.
TonepickExit convertVgmBytes(TonepickRun& run, const uint8_t* data, size_t size);

// The conversion of one log from an open file (read from its current
// position, left open), as runTonepick does it for a single log: writes the
// outputs and returns 0 or 2. A pack run calls it for each song.
TonepickExit convertVgmFile(TonepickRun& run, std::FILE* file);

// The usage text followed by the contact line.
void printTonepickUsage(TonepickRun& run);
