#include "seqconv/interpreter/interpreter.h"

#include "seqconv/seqconv_run.h"

// Skeleton: replaced by the interpreter.
void interpretSongPass(SeqconvRun&, int32_t) {}
