#pragma once
// The GEMS byte-code interpreter.

#include <cstdint>

struct SeqconvRun;

// One pass over output song `song`: its play list, every channel of every
// entry, into run.events. In the first pass (run.state.maxTime == 0) infinite
// loops are played once and measured into run.loopStarts / run.loopLengths.
void interpretSongPass(SeqconvRun& run, int32_t song);
