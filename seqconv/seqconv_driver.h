#pragma once
// The seqconv program: arguments, flags, banks, and the loop over songs.

struct SeqconvRun;
struct SeqconvFlags;

// Exit codes of the program, the scheme tonepick uses too.
enum SeqconvExit {
    kSeqconvExitOk = 0,           // every song written (warnings allowed), or the usage text asked for
    kSeqconvExitCannotStart = 1,  // wrong command line, a bank cannot be opened or is no bank
    kSeqconvExitIncomplete = 2,   // an output file or the output directory could not be made or written whole
};

// Runs the program with its arguments (argv[0] is the program name): checks
// the argument count, reads the flags, loads both banks, refuses files that
// are not banks (status 1, nothing created), warns about pointers
// outside them and, for every song of the sequence bank, creates NNN.mid and
// NNN.txt in the output directory (made before the first song's files when
// missing) through run.files and converts the song into them; last, warns
// about files of an earlier run left in the output directory. Returns a
// SeqconvExit: 2 when the output directory or any output file could not be
// made or written whole, 1 when the run could not start, else 0.
SeqconvExit runSeqconv(SeqconvRun& run, int argc, const char* const argv[]);

// Sets the flag of each character of `word` ('3', 'p', 's', 'c', 'l'; any
// order, repeats allowed, case-sensitive). Returns the first other character,
// or nullptr when there is none.
const char* parseSeqconvFlags(const char* word, SeqconvFlags& flags);
