#include "seqconv/output/song_conversion.h"

#include "seqconv/seqconv_run.h"

// Skeleton: replaced by the two-pass conversion.
void convertSong(SeqconvRun&, int32_t, OutputFile&, OutputFile&) {}
