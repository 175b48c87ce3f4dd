#pragma once
// The GEMS byte-code interpreter: one pass over an output song.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "seqconv/interpreter/interpreter_budget.h"
#include "seqconv/interpreter/loop_alignment.h"
#include "seqconv/interpreter/seq_event.h"
#include "seqconv/interpreter/sequence_bank.h"

// The two passes over an output song.
enum class Pass {
    kMeasure,  // first: no end time; every infinite loop is played once and logged
    kRepeat,   // second: infinite loops repeat up to state.maxTime, nothing runs past it
};

// The command-line flags the interpreter reads.
struct InterpreterOptions {
    bool threeBytePointers = false;  // '3': channel pointers are 24 bits wide
    bool playOthers = false;         // 's': 0x6B starts other songs
    bool logEnabled = false;         // 'l': trace every byte read
    bool crtLoops = false;           // 'c': a long loop log is compacted for the alignment
};

// The lists of the output song being interpreted. They belong to no run:
// the caller empties and reuses them from song to song.
struct SongPassLists {
    std::vector<SeqEvent> events;    // per pass, in the order produced
    std::vector<int32_t> playSongs;  // the play list (per pass): song numbers
    std::vector<int32_t> playTimes;  // and their start times, parallel
    LoopLog loops;                   // per song: filled by the first pass
};

// What a pass reads and changes. The registers and the budget live as long as
// the run (tempo and the run totals carry from song to song), the lists as
// long as the song.
struct SongInterpreter {
    const SequenceBank& bank;
    InterpreterOptions options;
    std::FILE* trace;  // where flag l's lines go
    SeqState& state;
    InterpreterBudget& budget;
    SongPassLists& lists;
};

// One pass for output song `song` (0..65535; other numbers yield nothing):
// walks its play list (the song itself and, with flag 's', the songs its 0x6B
// commands start, at most kPlayListLimit entries) and interprets every channel
// of every entry into lists.events. Pass::kMeasure: repeated song numbers are
// skipped and infinite loops are played once and logged in lists.loops.
// Pass::kRepeat: every entry is played and infinite loops repeat until `time`
// reaches state.maxTime. Preconditions: lists.events emptied for the pass, the
// loop log emptied before the song's first pass. Updates state.tempo and the
// budget; stops early once a work bound is hit.
void interpretSongPass(SongInterpreter& in, int32_t song, Pass pass);
