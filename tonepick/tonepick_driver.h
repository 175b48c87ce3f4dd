#pragma once
// The tonepick program: command line, the run from start to exit.

#include <cstddef>
#include <cstdint>

struct TonepickRun;

// Exit codes of the program.
enum TonepickExit {
    kExitOk = 0,           // completed run, usage text, command line errors
    kExitCannotOpen = 1,   // input file cannot be opened
    kExitFailed = 2,       // VGM ended before its end command, or an output file failed
};

// Runs the program with its arguments (argv[0] is the program name) and
// returns the exit code: 0, 1 (input cannot be opened) or 2 (the VGM ended
// early, or any output file could not be created or written whole).
int runTonepick(TonepickRun& run, int argc, const char* const argv[]);

// Everything after the command line and the opening of the input: reads the
// VGM from memory with run.settings already set, writes the outputs, and
// returns the exit code as runTonepick would (0 or 2). Tests and fuzzers use it.
int convertVgmBytes(TonepickRun& run, const uint8_t* data, size_t size);

// The usage text followed by the contact line.
void printTonepickUsage(TonepickRun& run);
