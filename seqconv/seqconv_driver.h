#pragma once
// The seqconv program: arguments, flags, banks, and the loop over songs.

struct SeqconvRun;

// Runs the program with its arguments (argv[0] is the program name); the
// exit status is always 0.
int runSeqconv(SeqconvRun& run, int argc, const char* const argv[]);
