#pragma once
// The seqconv program: arguments, flags, banks, and the loop over songs.

struct SeqconvRun;
struct SeqconvFlags;

// Exit codes of the program.
enum SeqconvExit {
    kSeqconvOk = 0,            // every song written, usage text, banks that cannot be opened
    kSeqconvOutputFailed = 2,  // an output file could not be created or written whole
};

// Runs the program with its arguments (argv[0] is the program name): checks
// the argument count, reads the flags, loads both banks and, for every song of
// the sequence bank, creates NNN.mid and NNN.txt in the output directory
// through run.files and converts the song into them. Returns a SeqconvExit:
// 2 when any output file could not be created or written whole, else 0.
int runSeqconv(SeqconvRun& run, int argc, const char* const argv[]);

// Sets each flag whose character occurs anywhere in `word` ('3', 'p', 's',
// 'c', 'l'; case-sensitive, other characters ignored).
void parseSeqconvFlags(const char* word, SeqconvFlags& flags);
