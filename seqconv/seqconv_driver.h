#pragma once
// The seqconv program: arguments, flags, banks, and the loop over songs.

struct SeqconvRun;
struct SeqconvFlags;

// Exit codes of the program, the scheme tonepick uses too.
enum SeqconvExit {
    kSeqconvExitOk = 0,           // every song written (warnings allowed), or the usage text asked for
    kSeqconvExitCannotStart = 1,  // wrong argument count, or a bank cannot be opened
    kSeqconvExitIncomplete = 2,   // an output file or the output directory could not be made or written whole
};

// Runs the program with its arguments (argv[0] is the program name): checks
// the argument count, reads the flags, loads both banks, warns about pointers
// outside them and, for every song of the sequence bank, creates NNN.mid and
// NNN.txt in the output directory (made before the first song's files when
// missing) through run.files and converts the song into them. Returns a
// SeqconvExit: 2 when the output directory or any output file could not be
// made or written whole, 1 when the run could not start, else 0.
SeqconvExit runSeqconv(SeqconvRun& run, int argc, const char* const argv[]);

// Sets each flag whose character occurs anywhere in `word` ('3', 'p', 's',
// 'c', 'l'; case-sensitive, other characters ignored).
void parseSeqconvFlags(const char* word, SeqconvFlags& flags);
