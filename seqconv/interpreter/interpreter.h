#pragma once
// The GEMS byte-code interpreter: one pass over an output song.

#include <cstdint>

struct SeqconvRun;

// One pass for output song `song` (0..65535; other numbers yield nothing):
// walks its play list (the song itself and, with flag 's', the songs its 0x6B
// commands start, at most kPlayListLimit entries) and interprets every channel
// of every entry into run.events. First pass (run.state.maxTime == 0): repeated
// song numbers are skipped and infinite loops are played once and measured into
// run.loopStarts / run.loopLengths. Second pass: every entry is played and
// infinite loops repeat until `time` reaches maxTime. Preconditions: run.events
// emptied for the pass, loop lists emptied before the song's first pass.
// Updates run.state.tempo and run.budget; stops early once a work bound is hit.
void interpretSongPass(SeqconvRun& run, int32_t song);
