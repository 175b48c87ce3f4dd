#pragma once
// Everything one seqconv run knows, in one object owned by main (or by a test
// or fuzzer) and passed by reference: no mutable globals.

#include <cstdint>
#include <cstdio>
#include <set>

#include "common/output_directory.h"
#include "common/output_files.h"
#include "seqconv/bank_files/sample_bank.h"
#include "seqconv/bank_files/sample_uses.h"
#include "seqconv/output/instrument_bank.h"
#include "seqconv/interpreter/interpreter_budget.h"
#include "seqconv/interpreter/seq_event.h"
#include "seqconv/interpreter/sequence_bank.h"
#include "seqconv/seqconv_options.h"

struct SeqconvFlags {
    bool threeBytePointers = false;  // '3'
    bool palTempo = false;           // 'p'
    bool playOthers = false;         // 's'
    bool crtLoops = false;           // 'c'
    bool logEnabled = false;         // 'l'
};

// What the songs of the run use of the banks, for the files of -p and -d.
struct BankUse {
    std::set<int32_t> fmPatches;  // FM patch numbers any song's notes use
    SampleUses samples;
};

struct SeqconvRun {
    FILE* out = stdout;                 // trace and messages
    OutputFileSystem* files = nullptr;  // where output files are created
    SeqconvFlags flags;
    SeqconvOptions options;
    InstrumentBank instruments;
    SequenceBank sequences;
    SampleBank samples;  // with -d
    BankUse bankUse;
    SeqState state;  // the interpreter registers; tempo carries from song to song

    // Work bounds that keep hostile banks finite (see interpreter_budget.h);
    // the per-run totals carry over from song to song.
    InterpreterBudget budget;

    OutputDirectoryState outputDirState;  // made once, right before the first song's files
    bool outputFailed = false;  // an output file or the output directory could not be made or written whole
};
