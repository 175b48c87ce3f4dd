#pragma once
// The tonepick program: command line, the run from start to exit.

struct TonepickRun;

// Runs the program with its arguments (argv[0] is the program name) and
// returns the exit code: 0, 1 (input cannot be opened) or 2.
int runTonepick(TonepickRun& run, int argc, const char* const argv[]);
